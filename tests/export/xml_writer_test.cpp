// The XML writer: layout, attribute kinds, and escaping that keeps every document
// well-formed and every value as given, checked by xmllint and Python's parser.
#include <gtest/gtest.h>

#include <cstdio>

#include "export/xml_writer.h"
#include "export_test_support.h"

namespace quorvane::test {
namespace {

TEST(XmlWriter, ElementsNestWithOneTabPerLevel) {
    XmlElement root("R");
    root.AddChild("Empty");
    XmlElement& group = root.AddChild("G");
    group.AddAttribute(XmlAttribute::String("name", u"g"));
    XmlElement& leaf = group.AddChild("L");
    leaf.AddAttribute(XmlAttribute::Number("n", 4294967295u));
    leaf.AddAttribute(XmlAttribute::Boolean("yes", true));
    leaf.AddAttribute(XmlAttribute::Boolean("no", false));
    group.AddChild("T").SetText(u"a < \"b\"\r\n");
    EXPECT_EQ(XmlDocument(root), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<R>\n\t<Empty />\n\t<G name=\"g\">\n"
                                 "\t\t<L n=\"4294967295\" yes=\"true\" no=\"false\" />\n"
                                 "\t\t<T>a &lt; &quot;b&quot;&#13;\n</T>\n\t</G>\n</R>");
}

// Markup characters become references; tab, line feed and carriage return too (a parser
// would read blanks otherwise); what XML 1.0 cannot carry is left out (C0 controls,
// U+FFFE, U+FFFF) or replaced (an unpaired surrogate, as a name byte that is not UTF-8).
TEST(XmlWriter, EveryValueParsesBackAsGiven) {
    const struct {
        std::u16string value;
        std::string written;
        std::string parsed;  // as JSON
    } cases[] = {
        {u"Rock & <Roll>", "Rock &amp; &lt;Roll&gt;", "\"Rock & <Roll>\""},
        {u"\"/><Evil a=\"'", "&quot;/&gt;&lt;Evil a=&quot;'", "\"\\\"/><Evil a=\\\"'\""},
        {u"\t\n\r", "&#9;&#10;&#13;", "\"\\t\\n\\r\""},
        {std::u16string(u"a\0\x01\x08\x0b\x1f\uFFFE\uFFFFb", 10), "ab", "\"ab\""},
        {u"\x7f\x80\x9f\u07ff\u0800", "\x7f\xc2\x80\xc2\x9f\xdf\xbf\xe0\xa0\x80",
         "\"\\u007f\\u0080\\u009f\\u07ff\\u0800\""},
        {u"\U00010000\U0010FFFF", "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", "\"\\ud800\\udc00\\udbff\\udfff\""},
        {u"\xdcff.mp3 \xd800", "\xef\xbf\xbd.mp3 \xef\xbf\xbd", "\"\\ufffd.mp3 \\ufffd\""},
    };
    XmlElement root("L");
    std::string parsed = "0 L \n";
    for (const auto& c : cases) {
        std::string out;
        AppendXmlEscaped(c.value, out);
        EXPECT_EQ(out, c.written);
        root.AddChild("F").AddAttribute(XmlAttribute::String("v", c.value));
        parsed += "1 F v=" + c.parsed + "\n";
    }
    // Every 8-bit character: the controls but tab, line feed and carriage return go.
    std::string all = "1 F v=\"\\t\\n\\r";
    std::u16string value = u"\t\n\r";
    for (char16_t c = 0x20; c < 0x100; ++c) {
        value.push_back(c);
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        const char ascii = static_cast<char>(c);
        all += c == '"' || c == '\\' ? std::string{'\\', ascii} : c < 0x7f ? std::string(1, ascii) : escape;
    }
    root.AddChild("F").AddAttribute(XmlAttribute::String("v", std::u16string(u"\x01\x1f", 2) + value));
    const std::string document = XmlDocument(root);
    EXPECT_EQ(XmllintErrors(document), "");
    EXPECT_EQ(ParseWithPython(document), parsed + all + "\"\n");
}

}  // namespace
}  // namespace quorvane::test
