// Frame bodies as data: one row per frame family, a crafted body that is read into
// fields found by their role and rendered back byte for byte, under every identifier of
// the family in both versions. A family without a row fails the first test.
#include <functional>
#include <set>
#include <variant>

#include "tag_test_util.h"

namespace quorvane::tagtest {
namespace {

using Value = std::variant<std::u16string, std::string, Bytes>;  // Text, Ascii, Data fields

struct LayoutRow {
    FrameFamily family;
    uint8_t encoding;  // of the body
    Bytes body;
    std::vector<std::pair<FieldRole, Value>> values;  // every field that holds a value
    std::function<std::unique_ptr<Id3Frame>(FrameId)> make;  // the same frame built in memory
};

const std::vector<LayoutRow>& Rows() {
    static const Bytes picture = B({0x89, 'P', 'N', 'G', 0, 0xFF, 0});
    static const std::vector<LayoutRow> rows = {
        {FrameFamily::Text, 3, Cat({B({3}), B("Gr\xC3\xBC\xC3\x9F" "e \xE0\xA0\x80")}),
         {{FieldRole::Text, u"Grüße \u0800"}},
         [](FrameId id) { return MakeTextFrame(id, u"Grüße \u0800"); }},
        // An empty description in encoding 1 still has its byte-order mark.
        {FrameFamily::Comment, 1, Cat({B({1}), B("deu"), B({0xFF, 0xFE, 0, 0, 0xFF, 0xFE}), Utf16(u"Hi €")}),
         {{FieldRole::Language, "deu"}, {FieldRole::Description, u""}, {FieldRole::Text, u"Hi €"}},
         [](FrameId) { return MakeCommentFrame("deu", u"", u"Hi €"); }},
        {FrameFamily::Picture, 0, Cat({B({0}), B("image/png"), B({0, 3}), B("Cover \xE9"), B({0}), picture}),
         {{FieldRole::MimeType, "image/png"}, {FieldRole::PictureType, B({3})},
          {FieldRole::Description, u"Cover é"}, {FieldRole::PictureData, picture}},
         [](FrameId) { return MakePictureFrame(3, "image/png", u"Cover é", picture); }},
        {FrameFamily::Raw, 0, B({0, 1, 2, 0xFF, 0, 'r', 'a', 'w'}),
         {{FieldRole::Body, B({0, 1, 2, 0xFF, 0, 'r', 'a', 'w'})}},
         [](FrameId id) {
             auto frame = Id3Frame::Make(id, 0, FrameFamily::Raw);
             frame->Data(FieldRole::Body)->SetData(B({0, 1, 2, 0xFF, 0, 'r', 'a', 'w'}));
             return frame;
         }},
    };
    return rows;
}

const LayoutRow* RowOf(FrameFamily family) {
    for (const auto& row : Rows())
        if (row.family == family) return &row;
    return nullptr;
}

// The value of the field with that role, read through the frame's typed accessors.
std::optional<Value> ValueOf(const Id3Frame& frame, FieldRole role, const Value& like) {
    if (std::holds_alternative<std::u16string>(like)) {
        if (const TextField* f = frame.Text(role)) return f->Text();
    } else if (std::holds_alternative<std::string>(like)) {
        if (const AsciiField* f = frame.Ascii(role)) return f->Value();
    } else if (const DataField* f = frame.Data(role)) {
        return f->Data();
    }
    return std::nullopt;
}

TEST(FrameLayout, EveryFamilyHasARowThatCoversEachOfItsFields) {
    std::set<FrameFamily> families;
    for (int f = 0; f <= int(FrameFamily::Raw); ++f) families.insert(FrameFamily(f));
    for (FrameId id = 0; id < kFrameIdCount; ++id) families.insert(FamilyOf(id));
    for (FrameFamily family : families) {
        const LayoutRow* row = RowOf(family);
        ASSERT_NE(row, nullptr) << "no row for family " << int(family);
        for (const FieldSpec& spec : LayoutOf(family).fields) {
            if (spec.kind == FieldKind::Encoding || spec.role == FieldRole::Terminator) continue;
            const bool covered = std::any_of(row->values.begin(), row->values.end(),
                                             [&](const auto& v) { return v.first == spec.role; });
            EXPECT_TRUE(covered) << "family " << int(family) << " field " << spec.name;
        }
    }
}

// Every known identifier, written as each version names it, with its family's body.
TEST(FrameLayout, EveryIdentifierReadsByRoleAndRendersBackByteForByte) {
    test::TempDir dir;
    for (FrameId id = 0; id < kFrameIdCount; ++id) {
        for (const bool v24 : {false, true}) {
            const FrameId written = v24 ? ToV24Id(id) : ToV23Id(id);
            // The body's layout follows the identifier as written: a v2.3 IPLS stays raw.
            const LayoutRow* found = RowOf(FamilyOf(written));
            ASSERT_NE(found, nullptr);
            const LayoutRow& row = *found;
            const int major = v24 ? 4 : 3;
            const Bytes frameBytes = Frame(major, FrameIdName(written), row.body);
            SCOPED_TRACE(std::string(FrameIdName(written)) + (v24 ? " v2.4" : " v2.3"));
            Id3Tag tag;
            ReadTagBytes(dir, WithAudio(Tag(major, frameBytes, 8)), tag);
            ASSERT_EQ(tag.Frames().size(), 1u);
            const Id3Frame& frame = *tag.Frames()[0];
            EXPECT_EQ(frame.Id(), ToV24Id(id));
            EXPECT_EQ(frame.Family(), row.family);
            for (const auto& [role, value] : row.values) EXPECT_EQ(ValueOf(frame, role, value), value) << int(role);

            const RenderContext context{row.encoding, v24};
            const bool leftOut = written == kFrameTSIZ ||
                                 (v24 && (written == kFrameTDAT || written == kFrameTIME || written == kFrameTRDA));
            EXPECT_EQ(RenderFrameBytes(tag, context), leftOut ? Bytes() : frameBytes);
            // The frame the model builds renders the same.
            Id3Tag built;
            built.AddFrame(row.make(written));
            EXPECT_EQ(RenderFrameBytes(built, context), leftOut ? Bytes() : frameBytes);
        }
    }
}

}  // namespace
}  // namespace quorvane::tagtest
