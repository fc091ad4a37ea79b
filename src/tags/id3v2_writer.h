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

// Removes the file's ID3v2 tag (a v2.4 footer with it), then marks the tag unchanged.
// Throws FileException.
void RemoveV2(Id3Tag& tag, BinaryFile& file, std::u16string_view path, const TagWriteOptions& options);

// Writes a rendered frames area as the file's tag, with the padding rule, and the bytes
// the reader could not read behind the padding; returns what was done. Throws
// FileException.
V2WritePlan WriteV2Frames(const std::vector<uint8_t>& frames, BinaryFile& file, std::u16string_view path,
                          const TagWriteOptions& options, std::span<const uint8_t> unread = {});

// Takes the ID3v2 tag (and a v2.4 footer) off the start of the file. A header that
// claims the whole file or more is left alone. True when a tag was removed.
bool RemoveV2Tag(BinaryFile& file, std::u16string_view path, SaveFaults* faults = nullptr);

}  // namespace quorvane
