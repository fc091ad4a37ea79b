#pragma once
// Writing and removing the ID3v2 tag at the start of an MP3 file.
//
// A tag that fits into the old tag's space is written over it (only the tag's bytes
// change). Whenever the audio must move (no tag before, a tag that grows, surplus
// padding cut out, a tag removed) the file is rebuilt beside itself and renamed over
// the old one (RewriteFile), so a failure never leaves partly moved audio behind.
//
// `path` is the name under which `file` was opened; the rebuild needs it, and after a
// rebuild `file` refers to the new file (same mode and lock).
#include <cstdint>
#include <span>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/binary_file.h"
#include "platform/file_rewrite.h"
#include "tags/id3v2_write_plan.h"
#include "tags/tag_options.h"

namespace quorvane {

class Id3Tag;

// Files this large are refused: tag sizes and moves are reckoned for files below 4 GiB.
inline constexpr uint64_t kV2MaxFileSize = uint64_t{1} << 32;

// Writes the tag when it IsChanged: renders its frames in the version and encoding the
// options give and writes them with the padding rule (and the tag's unread bytes behind
// the padding), then marks the frames and the tag unchanged (not the ID3v1 record). Throws FileException; after a failure the marks stay
// set, so the record still needs saving. A file of 4 GiB or more is refused.
void WriteV2(Id3Tag& tag, BinaryFile& file, std::u16string_view path, const TagWriteOptions& options);

// What a removal found at the start of the file.
struct V2Removal {
    int tags = 0;        // tags taken off: the first and those stacked behind it
    uint64_t bytes = 0;  // bytes taken off the front
    // A header whose tag claims more bytes than the file holds from where it starts.
    // Its size may be damaged and the bytes behind it may be audio, so it and everything
    // after it are left as they are.
    struct Overlong {
        uint64_t offset = 0;  // where its header starts
        uint64_t claimed = 0;  // header, size field and footer
        uint64_t available = 0;  // bytes from the header to the end of the file
    };
    std::optional<Overlong> overlong;
};

// Removes the ID3v2 tags at the start of the file, then marks the tag unchanged.
// Throws FileException.
V2Removal RemoveV2(Id3Tag& tag, BinaryFile& file, std::u16string_view path, const TagWriteOptions& options);

// Writes a rendered frames area as the file's tag, with the padding rule, and the bytes
// the reader could not read behind the padding; returns what was done. Throws
// FileException.
V2WritePlan WriteV2Frames(const std::vector<uint8_t>& frames, BinaryFile& file, std::u16string_view path,
                          const TagWriteOptions& options, std::span<const uint8_t> unread = {});

// Takes the ID3v2 tag (with a v2.4 footer) off the start of the file, and the tags
// stacked directly behind it (up to kMaxStackedV2Tags in all), so that no tag is left
// to show up as the file's. A file that is nothing but tags becomes empty.
V2Removal RemoveV2Tags(BinaryFile& file, std::u16string_view path, SaveFaults* faults = nullptr);

}  // namespace quorvane
