#include "tags/id3_tag.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

#include "platform/text_codec.h"

namespace quorvane {
namespace {

constexpr std::array<std::u16string_view, kPictureTypeCount> kPictureTypeNames = {
    u"Other",
    u"32x32 pixels 'file icon' (PNG only)",
    u"Other file icon",
    u"Cover (front)",
    u"Cover (back)",
    u"Leaflet page",
    u"Media (e.g. lable side of CD)",
    u"Lead artist/lead performer/soloist",
    u"Artist/performer",
    u"Conductor",
    u"Band/Orchestra",
    u"Composer",
    u"Lyricist/text writer",
    u"Recording Location",
    u"During recording",
    u"During performance",
    u"Movie/video screen capture",
    u"A bright coloured fish",
    u"Illustration",
    u"Band/artist logotype",
    u"Publisher/Studio logotype",
};

std::u16string Decimal(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%u", value);
    return U16(buffer);
}

std::u16string GenreReference(unsigned number) { return u"(" + Decimal(number) + u")"; }

std::u16string_view TrimV1(std::u16string_view text) {
    constexpr std::u16string_view kBlanks = u" \r\n\t";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::u16string_view::npos) return {};
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// A signed decimal number at the start of the text, as atoi reads it: no digits give 0.
long long LeadingNumber(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > std::numeric_limits<int>::max()) value = std::numeric_limits<int>::max();
    }
    return negative ? -value : value;
}

}  // namespace

std::u16string_view PictureTypeName(uint8_t type) {
    return kPictureTypeNames[type < kPictureTypeCount ? type : 0];
}

uint8_t PictureTypeOf(const Id3Frame& frame) {
    const DataField* type = frame.Data(FieldRole::PictureType);
    if (!type || type->Data().empty() || type->Data()[0] >= kPictureTypeCount) return 0;
    return type->Data()[0];
}

Id3Tag::~Id3Tag() = default;

Id3Frame* Id3Tag::FindFrame(FrameId id, const Id3Frame* after) const {
    auto it = frames_.begin();
    if (after) {
        // The search walks the frames of this id only; a frame of another id is never met.
        if (after->Id() != id) return nullptr;
        it = std::find_if(frames_.begin(), frames_.end(), [after](const auto& f) { return f.get() == after; });
        if (it == frames_.end()) return nullptr;
        ++it;
    }
    for (; it != frames_.end(); ++it)
        if ((*it)->Id() == id) return it->get();
    return nullptr;
}

void Id3Tag::AddFrame(std::unique_ptr<Id3Frame> frame) {
    if (!frame) return;
    // A typical tag has five to ten frames: room for eight at once, not four regrowths.
    if (frames_.capacity() == 0) frames_.reserve(8);
    frames_.push_back(std::move(frame));
    changed_ = true;
}

void Id3Tag::RemoveFrame(const Id3Frame* frame) {
    const auto it = std::find_if(frames_.begin(), frames_.end(), [frame](const auto& f) { return f.get() == frame; });
    if (it == frames_.end()) return;
    frames_.erase(it);
    changed_ = true;
}

bool Id3Tag::RemoveFrameById(FrameId id) {
    Id3Frame* frame = FindFrame(id);
    if (!frame) return false;
    RemoveFrame(frame);
    return true;
}

void Id3Tag::RemoveAllFrames() {
    frames_.clear();
    kept_.reset();
    changed_ = true;
}

std::span<const uint8_t> Id3Tag::UnreadBytes() const {
    return kept_ ? std::span<const uint8_t>(kept_->unread) : std::span<const uint8_t>();
}

Id3Tag::Kept& Id3Tag::KeptBytes() {
    if (!kept_) kept_ = std::make_unique<Kept>();
    return *kept_;
}

void Id3Tag::SetKeptFrames(std::unique_ptr<KeptFrames> frames) {
    if (frames || kept_) KeptBytes().frames = std::move(frames);
}

void Id3Tag::SetUnreadBytes(std::vector<uint8_t> bytes) {
    if (!bytes.empty() || kept_) KeptBytes().unread = std::move(bytes);
}

bool Id3Tag::IsChanged() const {
    return changed_ || id3v1_.IsChanged() ||
           std::any_of(frames_.begin(), frames_.end(), [](const auto& f) { return f->HasChanged(); });
}

void Id3Tag::ClearChanged() {
    for (auto& frame : frames_) frame->SetChanged(false);
    changed_ = false;
}

bool Id3Tag::GetText(FrameId id, std::u16string& text) const {
    text.clear();
    const Id3Frame* frame = FindFrame(id);
    const TextField* field = frame ? frame->Text() : nullptr;
    if (!field) return false;
    text = field->Text();
    return true;
}

std::u16string Id3Tag::GetText(FrameId id) const {
    std::u16string text;
    GetText(id, text);
    return text;
}

void Id3Tag::SetText(FrameId id, std::u16string_view text) {
    std::u16string value(text);
    if (id == kFrameTRCK) {
        // "007" gives "7", "0" stays "0", "0/12" gives "/12".
        while (value.size() >= 2 && value[0] == u'0') value.erase(0, 1);
    }
    if (id == kFrameTCON) {
        bool found = false;
        const uint8_t genre = GenreIndex(text, &found);
        if (found) value = GenreReference(genre);
    }
    if (Id3Frame* frame = FindFrame(id)) {
        if (TextField* field = frame->Text()) {
            // A TCON frame that already names the genre by "(n)" keeps it; otherwise the
            // genre is stored as the user typed it.
            if (id == kFrameTCON && field->Text() != value) value = std::u16string(text);
            field->SetText(value);
            return;
        }
        RemoveFrame(frame);
    }
    AddFrame(MakeTextFrame(id, text));
}

std::u16string Id3Tag::GetGenre() const {
    const std::u16string t = GetText(kFrameTCON);
    // v2.4 refers to a genre of the list by its bare number ("35"); a number without a
    // name, or one followed by more text, is the genre's text as it stands.
    if (!t.empty() && t.size() <= 3 && std::all_of(t.begin(), t.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
        const auto n = static_cast<uint32_t>(LeadingNumber(t));
        return n < kGenreCount ? std::u16string(GenreName(n)) : t;
    }
    if (t.empty() || t[0] != u'(') return t;
    const long long n = LeadingNumber(std::u16string_view(t).substr(1));
    const size_t close = t.find(u')', 1);
    const std::u16string rest = close == std::u16string::npos ? std::u16string() : t.substr(close + 1);
    if (!rest.empty()) return rest;
    if (n >= 0 && n < kGenreCount) return std::u16string(GenreName(static_cast<uint32_t>(n)));
    return {};
}

void Id3Tag::CopyFromV1() {
    const uint8_t genre = id3v1_.Genre();
    const std::u16string genreText = genre < kGenreCount ? GenreReference(genre) : std::u16string();
    SetText(kFrameTIT2, TrimV1(id3v1_.GetString(Id3v1Record::kTitle)));
    SetText(kFrameTPE1, TrimV1(id3v1_.GetString(Id3v1Record::kArtist)));
    SetText(kFrameTALB, TrimV1(id3v1_.GetString(Id3v1Record::kAlbum)));
    SetText(kFrameTDRC, TrimV1(id3v1_.GetString(Id3v1Record::kYear)));
    SetText(kFrameTCON, genreText);
    if (id3v1_.Track() != 0) SetText(kFrameTRCK, Decimal(id3v1_.Track()));
}

Id3Frame* Id3Tag::FindComment(std::u16string_view description) const {
    for (Id3Frame* frame = FindFrame(kFrameCOMM); frame; frame = FindFrame(kFrameCOMM, frame)) {
        const TextField* field = frame->Text(FieldRole::Description);
        if (field && field->Text() == description) return frame;
    }
    return nullptr;
}

void Id3Tag::AddComment(std::string_view language, std::u16string_view description, std::u16string_view text) {
    AddFrame(MakeCommentFrame(language.size() == 3 ? std::string(language) : std::string("eng"), description, text));
}

Id3Frame* Id3Tag::FindPicture(uint8_t pictureType) const {
    for (Id3Frame* frame = FindFrame(kFrameAPIC); frame; frame = FindFrame(kFrameAPIC, frame))
        if (PictureTypeOf(*frame) == pictureType) return frame;
    return nullptr;
}

void Id3Tag::SetPicture(uint8_t pictureType, std::string_view mimeType, std::u16string_view description,
                         std::span<const uint8_t> data) {
    if (Id3Frame* frame = FindPicture(pictureType)) {
        if (data.empty() && description.empty()) {
            RemoveFrame(frame);
            return;
        }
        AsciiField* mime = frame->Ascii(FieldRole::MimeType);
        TextField* text = frame->Text(FieldRole::Description);
        DataField* type = frame->Data(FieldRole::PictureType);
        DataField* picture = frame->Data(FieldRole::PictureData);
        if (!mime || !text || !type || !picture) return;
        mime->SetValue(mimeType);
        text->SetText(description);
        type->SetData(std::span<const uint8_t>(&pictureType, 1));
        picture->SetData(data);
        return;
    }
    if (!data.empty() || !description.empty())
        AddFrame(MakePictureFrame(pictureType, std::string(mimeType), description, data));
}

}  // namespace quorvane
