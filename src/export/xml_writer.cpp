#include "export/xml_writer.h"

#include "platform/text_codec.h"

namespace quorvane {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

}  // namespace

void AppendXmlEscaped(std::u16string_view text, std::string& out, bool inAttribute) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacementCharacter;
        }
        switch (c) {
            case U'&': out += "&amp;"; continue;
            case U'<': out += "&lt;"; continue;
            case U'>': out += "&gt;"; continue;
            case U'"': out += "&quot;"; continue;
            case U'\t': out += inAttribute ? "&#9;" : "\t"; continue;
            case U'\n': out += inAttribute ? "&#10;" : "\n"; continue;
            // A parser turns a carriage return into a line feed even in character data.
            case U'\r': out += "&#13;"; continue;
            default: break;
        }
        // Not characters of XML 1.0: no reference can stand for them either.
        if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) continue;
        AppendUtf8(out, c);
    }
}

XmlAttribute XmlAttribute::String(std::string name, std::u16string value) {
    return XmlAttribute(std::move(name), Value(std::move(value)));
}

XmlAttribute XmlAttribute::Number(std::string name, uint32_t value) {
    return XmlAttribute(std::move(name), Value(value));
}

XmlAttribute XmlAttribute::Boolean(std::string name, bool value) {
    return XmlAttribute(std::move(name), Value(value));
}

void XmlAttribute::Render(std::string& out) const {
    out += name_;
    out += "=\"";
    if (const auto* text = std::get_if<std::u16string>(&value_)) {
        AppendXmlEscaped(*text, out);
    } else if (const auto* number = std::get_if<uint32_t>(&value_)) {
        out += std::to_string(*number);
    } else {
        out += std::get<bool>(value_) ? "true" : "false";
    }
    out += '"';
}

XmlElement& XmlElement::AddChild(std::string name) { return children_.emplace_back(std::move(name)); }

XmlElement& XmlElement::AddChild(XmlElement child) { return children_.emplace_back(std::move(child)); }

void XmlElement::Write(std::string& out, unsigned depth) const {
    out.append(depth, '\t');
    out += '<';
    out += name_;
    for (const XmlAttribute& attribute : attributes_) {
        out += ' ';
        attribute.Render(out);
    }
    if (children_.empty()) {
        if (text_.empty()) {
            out += " />";
            return;
        }
        out += '>';
        AppendXmlEscaped(text_, out, false);
    } else {
        out += ">\n";
        for (const XmlElement& child : children_) {
            child.Write(out, depth + 1);
            out += '\n';
        }
        out.append(depth, '\t');
    }
    out += "</";
    out += name_;
    out += '>';
}

std::string XmlDocument(const XmlElement& root) {
    std::string out;
    out.reserve(16384);
    out += "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";
    root.Write(out);
    return out;
}

}  // namespace quorvane
