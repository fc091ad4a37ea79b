#pragma once
// A small XML writer: elements with ordered attributes and children, written with one
// tab per level of depth, in UTF-8.
//
// Whatever a tag holds, the document is well-formed XML 1.0 and parses back to the
// values given: "&", "<", ">" and the double quote are written as entity references;
// in attribute values tab, line feed and carriage return as character references
// (a parser would turn them into blanks otherwise); the control characters XML 1.0
// does not allow, and U+FFFE and U+FFFF, are left out; an unpaired surrogate (as a
// file-name byte that is not UTF-8 is held) becomes U+FFFD.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quorvane {

class XmlAttribute {
public:
    // String attribute: the text as given.
    static XmlAttribute String(std::string name, std::u16string value);
    // Number attribute: an unsigned 32-bit value in decimal.
    static XmlAttribute Number(std::string name, uint32_t value);
    // Boolean attribute: "true" or "false".
    static XmlAttribute Boolean(std::string name, bool value);

    const std::string& Name() const { return name_; }
    // name="value", the value escaped.
    void Render(std::string& out) const;

private:
    using Value = std::variant<std::u16string, uint32_t, bool>;
    XmlAttribute(std::string name, Value value) : name_(std::move(name)), value_(std::move(value)) {}

    std::string name_;
    Value value_;
};

class XmlElement {
public:
    explicit XmlElement(std::string name) : name_(std::move(name)) {}

    const std::string& Name() const { return name_; }
    const std::vector<XmlAttribute>& Attributes() const { return attributes_; }
    const std::vector<XmlElement>& Children() const { return children_; }

    void AddAttribute(XmlAttribute attribute) { attributes_.push_back(std::move(attribute)); }
    // The new child; the reference holds until the next child is added here.
    XmlElement& AddChild(std::string name);
    XmlElement& AddChild(XmlElement child);
    // Character data between the tags of an element without children.
    void SetText(std::u16string text) { text_ = std::move(text); }

    // At `depth` tabs: "<name attr="..." />" without children, else the start tag, a line
    // feed, each child one level deeper followed by a line feed, and the end tag.
    void Write(std::string& out, unsigned depth = 0) const;

private:
    std::string name_;
    std::vector<XmlAttribute> attributes_;
    std::vector<XmlElement> children_;
    std::u16string text_;
};

// The declaration line and the root element, without a line feed after the end tag.
std::string XmlDocument(const XmlElement& root);

// Appends a text as UTF-8, escaped as described above (`inAttribute`: the characters a
// parser would normalize in an attribute value are written as references).
void AppendXmlEscaped(std::u16string_view text, std::string& out, bool inAttribute = true);

}  // namespace quorvane
