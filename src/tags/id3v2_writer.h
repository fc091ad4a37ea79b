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
#include <string_view>
#include <vector>

#include "mp3/binary_file.h"
#include "mp3/file_rewrite.h"
#include "tags/id3v2_write_plan.h"

namespace quorvane {

class CId3Tag;

// Writes the tag when it IsChanged: renders its frames as "Use2.4" says and writes
// them with the padding rule and "DecreasePaddingVal", then marks the frames and the
// tag unchanged (not the ID3v1 record). Throws CFileExceptionEx; after a failure the
// marks stay set, so the record still needs saving. A file of 4 GiB or more is refused.
void WriteV2(CId3Tag& tag, BinaryFile& file, std::u16string_view path, SaveFaults* faults = nullptr);

// Removes the file's ID3v2 tag (a v2.4 footer with it), then marks the tag unchanged.
// Throws CFileExceptionEx.
void RemoveV2(CId3Tag& tag, BinaryFile& file, std::u16string_view path, SaveFaults* faults = nullptr);

// Files this large are refused: tag sizes and moves are reckoned for files below 4 GiB.
inline constexpr uint64_t kV2MaxFileSize = uint64_t{1} << 32;

struct V2WriteOptions {
    bool use24 = true;                        // "Use2.4"
    uint32_t decreasePaddingVal = 4294967295u;  // "DecreasePaddingVal": never, by default
    SaveFaults* faults = nullptr;             // failure seam for tests
};

// Throws CFileExceptionEx{kErrorFileTooLarge} for a file of 4 GiB or more.
void RefuseHugeFile(uint64_t fileSize);

// Writes a rendered frames area as the file's tag, with the padding rule, and returns
// what was done. Throws CFileExceptionEx.
V2WritePlan WriteV2Frames(const std::vector<uint8_t>& frames, BinaryFile& file, std::u16string_view path,
                          const V2WriteOptions& options);

// Takes the ID3v2 tag (and a v2.4 footer) off the start of the file. A header that
// claims the whole file or more is left alone. True when a tag was removed.
bool RemoveV2Tag(BinaryFile& file, std::u16string_view path, SaveFaults* faults = nullptr);

}  // namespace quorvane
