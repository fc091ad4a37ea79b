#pragma once
// The 128-byte ID3v1 "TAG" record at the end of a file, and the genre list that both
// tag versions share.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tags/tag_options.h"

namespace quorvane {

class BinaryFile;

class Id3v1Record {
public:
    enum StringIndex : size_t { kTitle = 0, kArtist = 1, kAlbum = 2, kYear = 3, kComment = 4 };
    static constexpr size_t kStringCount = 5;
    // Bytes each string takes in the file.
    static constexpr std::array<size_t, kStringCount> kWidths = {30, 30, 30, 4, 29};
    static constexpr uint8_t kNoGenre = 255;

    Id3v1Record() = default;
    Id3v1Record(const Id3v1Record& other);
    Id3v1Record& operator=(const Id3v1Record& other);
    Id3v1Record(Id3v1Record&&) noexcept = default;
    Id3v1Record& operator=(Id3v1Record&&) noexcept = default;

    const std::u16string& GetString(size_t index) const;
    uint8_t Track() const { return track_; }
    uint8_t Genre() const { return genre_; }
    bool IsChanged() const { return changed_; }

    // Each setter marks the record changed only when the value differs.
    void SetString(size_t index, std::u16string_view value);
    void SetTrack(uint8_t track);
    void SetGenre(uint8_t genre);
    void SetChanged(bool changed) { changed_ = changed; }

    // All strings empty, track 0 and no genre.
    bool IsEmpty() const;

private:
    using Strings = std::array<std::u16string, kStringCount>;
    // Held only once a string is set: most files of a list have no ID3v1 text, and
    // every listed file carries a record.
    std::unique_ptr<Strings> strings_;
    uint8_t track_ = 0;
    uint8_t genre_ = kNoGenre;
    bool changed_ = false;
};

// Fills the record from the file's last 128 bytes, texts in `codePage`; false when there
// is no "TAG" record. File failures pass as FileException.
bool ReadV1(BinaryFile& file, Id3v1Record& record, const CodePage& codePage = CodePage::System());

// What a write left at the end of the file.
enum class V1Outcome { Unchanged, Written, Removed };
// Writes, replaces or (an empty record with autoDeleteV1) drops the record when it has
// changed; clears the changed flag. Throws FileException.
V1Outcome WriteV1(Id3v1Record& record, BinaryFile& file, const TagWriteOptions& options);
// Cuts a "TAG" record off the end of the file and clears the changed flag; the fields in
// memory stay. True when there was one.
bool RemoveV1(Id3v1Record& record, BinaryFile& file);
// Empties every field and marks the record changed.
void ClearV1(Id3v1Record& record);
inline bool IsEmpty(const Id3v1Record& record) { return record.IsEmpty(); }

// The 128 bytes a record is written as.
std::array<uint8_t, 128> EncodeV1(const Id3v1Record& record, const CodePage& codePage = CodePage::System());

inline constexpr uint32_t kGenreCount = 126;
// The genre's name; empty for numbers without one (126 and above).
std::u16string_view GenreName(uint32_t number);
// The first genre whose name equals the text ignoring case; 255 with found false when none.
uint8_t GenreIndex(std::u16string_view text, bool* found = nullptr);

}  // namespace quorvane
