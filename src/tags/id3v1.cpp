#include "tags/id3v1.h"

#include <algorithm>
#include <cstring>

#include "platform/binary_file.h"
#include "platform/text_codec.h"

namespace quorvane {
namespace {

constexpr std::array<std::u16string_view, kGenreCount> kGenreNames = {
    u"Blues", u"Classic Rock", u"Country", u"Dance", u"Disco", u"Funk", u"Grunge", u"Hip-Hop",
    u"Jazz", u"Metal", u"New Age", u"Oldies", u"Other", u"Pop", u"R&B", u"Rap", u"Reggae",
    u"Rock", u"Techno", u"Industrial", u"Alternative", u"Ska", u"Death Metal", u"Pranks",
    u"Soundtrack", u"Euro-Techno", u"Ambient", u"Trip-Hop", u"Vocal", u"Jazz+Funk", u"Fusion",
    u"Trance", u"Classical", u"Instrumental", u"Acid", u"House", u"Game", u"Sound Clip",
    u"Gospel", u"Noise", u"AlternRock", u"Bass", u"Soul", u"Punk", u"Space", u"Meditative",
    u"Instrumental Pop", u"Instrumental Rock", u"Ethnic", u"Gothic", u"Darkwave",
    u"Techno-Industrial", u"Electronic", u"Pop-Folk", u"Eurodance", u"Dream", u"Southern Rock",
    u"Comedy", u"Cult", u"Gangsta", u"Top 40", u"Christian Rap", u"Pop/Funk", u"Jungle",
    u"Native American", u"Cabaret", u"New Wave", u"Psychadelic", u"Rave", u"Showtunes",
    u"Trailer", u"Lo-Fi", u"Tribal", u"Acid Punk", u"Acid Jazz", u"Polka", u"Retro", u"Musical",
    u"Rock & Roll", u"Hard Rock", u"Folk", u"Folk-Rock", u"National Folk", u"Swing",
    u"Fast Fusion", u"Bebob", u"Latin", u"Revival", u"Celtic", u"Bluegrass", u"Avantgarde",
    u"Gothic Rock", u"Progressive Rock", u"Psychedelic Rock", u"Symphonic Rock", u"Slow Rock",
    u"Big Band", u"Chorus", u"Easy Listening", u"Acoustic", u"Humour", u"Speech", u"Chanson",
    u"Opera", u"Chamber Music", u"Sonata", u"Symphony", u"Booty Bass", u"Primus",
    u"Porn Groove", u"Satire", u"Slow Jam", u"Club", u"Tango", u"Samba", u"Folklore", u"Ballad",
    u"Power Ballad", u"Rhythmic Soul", u"Freestyle", u"Duet", u"Punk Rock", u"Drum Solo",
    u"A capella", u"Euro-House", u"Dance Hall",
};

constexpr uint64_t kRecordSize = 128;

// Offsets of the five strings in the record.
constexpr std::array<size_t, Id3v1Record::kStringCount> kOffsets = {3, 33, 63, 93, 97};

// True when the file's last 128 bytes start with "TAG".
bool HasRecord(BinaryFile& file, uint64_t size) {
    if (size < kRecordSize) return false;
    char marker[3] = {};
    file.Seek(size - kRecordSize);
    return file.Read(marker, 3) == 3 && std::memcmp(marker, "TAG", 3) == 0;
}

std::u16string TrimTrailingWhiteSpace(std::u16string text) {
    while (!text.empty() && IsWhiteSpaceChar(text.back())) text.pop_back();
    return text;
}

}  // namespace

Id3v1Record::Id3v1Record(const Id3v1Record& other)
    : strings_(other.strings_ ? std::make_unique<Strings>(*other.strings_) : nullptr), track_(other.track_),
      genre_(other.genre_), changed_(other.changed_) {}

Id3v1Record& Id3v1Record::operator=(const Id3v1Record& other) {
    if (this != &other) *this = Id3v1Record(other);
    return *this;
}

const std::u16string& Id3v1Record::GetString(size_t index) const {
    static const std::u16string kEmpty;
    return strings_ ? (*strings_)[index] : kEmpty;
}

void Id3v1Record::SetString(size_t index, std::u16string_view value) {
    if (index >= kStringCount || GetString(index) == value) return;
    if (!strings_) strings_ = std::make_unique<Strings>();
    (*strings_)[index] = std::u16string(value);
    changed_ = true;
}

void Id3v1Record::SetTrack(uint8_t track) {
    if (track_ == track) return;
    track_ = track;
    changed_ = true;
}

void Id3v1Record::SetGenre(uint8_t genre) {
    if (genre_ == genre) return;
    genre_ = genre;
    changed_ = true;
}

bool Id3v1Record::IsEmpty() const {
    const bool noText =
        !strings_ || std::all_of(strings_->begin(), strings_->end(), [](const auto& s) { return s.empty(); });
    return noText && track_ == 0 && genre_ == kNoGenre;
}

bool ReadV1(BinaryFile& file, Id3v1Record& record, const CodePage& codePage) {
    const uint64_t size = file.GetSize();
    if (size < kRecordSize) return false;
    std::array<uint8_t, kRecordSize> bytes{};
    file.Seek(size - kRecordSize);
    if (file.Read(bytes.data(), kRecordSize) != kRecordSize) return false;
    if (std::memcmp(bytes.data(), "TAG", 3) != 0) return false;
    for (size_t i = 0; i < Id3v1Record::kStringCount; ++i) {
        const char* start = reinterpret_cast<const char*>(bytes.data() + kOffsets[i]);
        const size_t width = Id3v1Record::kWidths[i];
        const size_t length = std::find(start, start + width, '\0') - start;
        record.SetString(i, TrimTrailingWhiteSpace(codePage.Decode({start, length})));
    }
    record.SetTrack(bytes[126]);
    record.SetGenre(bytes[127]);
    return true;
}

std::array<uint8_t, 128> EncodeV1(const Id3v1Record& record, const CodePage& codePage) {
    std::array<uint8_t, kRecordSize> bytes{};
    std::memcpy(bytes.data(), "TAG", 3);
    for (size_t i = 0; i < Id3v1Record::kStringCount; ++i) {
        const std::string text = codePage.Encode(record.GetString(i));
        std::memcpy(bytes.data() + kOffsets[i], text.data(), std::min(text.size(), Id3v1Record::kWidths[i]));
    }
    bytes[126] = record.Track();
    bytes[127] = record.Genre();
    return bytes;
}

V1Outcome WriteV1(Id3v1Record& record, BinaryFile& file, const TagWriteOptions& options) {
    if (!record.IsChanged()) return V1Outcome::Unchanged;
    const uint64_t size = file.GetSize();
    const bool had = HasRecord(file, size);
    const uint64_t position = had ? size - kRecordSize : size;
    V1Outcome outcome = V1Outcome::Written;
    if (options.autoDeleteV1 && record.IsEmpty()) {
        if (had) file.SetLength(position);
        outcome = V1Outcome::Removed;
    } else {
        const auto bytes = EncodeV1(record, *options.codePage);
        file.Seek(position);
        file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    record.SetChanged(false);
    return outcome;
}

bool RemoveV1(Id3v1Record& record, BinaryFile& file) {
    const uint64_t size = file.GetSize();
    const bool had = HasRecord(file, size);
    if (had) file.SetLength(size - kRecordSize);
    record.SetChanged(false);
    return had;
}

void ClearV1(Id3v1Record& record) {
    for (size_t i = 0; i < Id3v1Record::kStringCount; ++i) record.SetString(i, u"");
    record.SetTrack(0);
    record.SetGenre(Id3v1Record::kNoGenre);
    record.SetChanged(true);
}

std::u16string_view GenreName(uint32_t number) {
    return number < kGenreCount ? kGenreNames[number] : std::u16string_view{};
}

uint8_t GenreIndex(std::u16string_view text, bool* found) {
    for (uint32_t i = 0; i < kGenreCount; ++i) {
        if (EqualsIgnoreCase(text, kGenreNames[i])) {
            if (found) *found = true;
            return static_cast<uint8_t>(i);
        }
    }
    if (found) *found = false;
    return Id3v1Record::kNoGenre;
}

}  // namespace quorvane
