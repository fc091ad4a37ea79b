#pragma once
// The crash-safe rewrite that the tag writer uses whenever audio must move.
//
// A crash-safe rewrite builds the complete new file beside the old one under a
// temporary name, syncs it, gives it the old file's permissions and owner, and renames
// it over the old one. Until that rename the old file is untouched, so a full disk, an
// I/O error or a killed process loses nothing; a failure the process survives also
// removes the temporary file.
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/binary_file.h"

namespace quorvane {

class UserPrompts;

// Moves go through one block of this size at a time.
inline constexpr uint32_t kMoveBlock = 131072;

// The points at which a save can fail, for the failure seam below.
enum class SaveStep {
    CreateTemp,  // before the temporary file is created
    SyncTemp,    // before the temporary file is flushed to disk
    Rename,      // before the temporary file replaces the old one
    CopyBack,    // before the old file (with other hard links) is overwritten from the copy
};

// What a rewrite has just done to make itself durable: the copy must be synced before
// it is renamed into place, and the directory synced after.
enum class SaveEvent { FileSynced, Renamed, DirectorySynced };

// Failure seam: every write of a save and every step above pass here first. The
// default does nothing; tests derive from it and throw FileException (for example
// ENOSPC after N bytes) or end the process to prove that nothing is lost. Killing a
// process cannot show a missing sync, so the events above are reported too, each
// after it happened, with the descriptor of the file or directory it concerned.
class SaveFaults {
public:
    virtual ~SaveFaults() = default;
    virtual void BeforeWrite(uint64_t count) { (void)count; }
    virtual void BeforeStep(SaveStep step) { (void)step; }
    virtual void After(SaveEvent event, int descriptor) { (void)event, (void)descriptor; }
};

// Writes `count` bytes at the file's position, in blocks, each announced to `faults`.
void WriteBytes(BinaryFile& file, const uint8_t* data, uint64_t count, SaveFaults* faults = nullptr);
// Writes `count` zero bytes from one zeroed block.
void WriteZeros(BinaryFile& file, uint64_t count, SaveFaults* faults = nullptr);

// Gives the file at `path`, open for reading and writing in `file`, the content `head`
// followed by its old bytes from `keepFrom` to the end, without any moment at which
// the file on disk holds partly moved data.
//
// The new file is written under a hidden temporary name in the directory of the file
// that `path` finally names (symbolic links are followed, so the link survives), then
// renamed over it; afterwards `file` refers to the new file, open in the same mode and
// holding the same lock, its position unspecified.
//
// A file with more than one hard link cannot be replaced by a rename without detaching
// its other names: it is overwritten from the synced copy instead, and for that time the
// copy, renamed to a "complete copy" name, may be the only whole version of the file.
//
// The temporary file is write-locked for its whole life, so a cleaner that can lock it
// knows that its writer is gone.
//
// Throws FileException; on any failure before the old file is touched the old file
// is byte for byte as it was and the temporary file is gone.
void RewriteFile(BinaryFile& file, std::u16string_view path, std::span<const uint8_t> head,
                 uint64_t keepFrom, SaveFaults* faults = nullptr);

// The names a rewrite gives its copy, beside the file NAME (cut to 200 bytes):
//   .NAME.qvsave-XXXXXXXX          being written; the original is intact
//   .NAME.qvcopy-XXXXXXXX-INODE    synced whole; the original (of that inode, hex) may
//                                  be partly overwritten from it
inline constexpr std::string_view kRewriteTempMarker = ".qvsave-";
inline constexpr std::string_view kRewriteCopyMarker = ".qvcopy-";

// True for a name that a rewrite gives its copy.
bool IsRewriteLeftover(std::string_view name);

// Deals with the copies that rewrites killed in `directory` left behind, once no live
// process holds them: a partial copy is removed; a complete copy finishes its save (the
// original is overwritten from it, then it is removed). A complete copy whose original
// cannot be found or written is kept, and its path is reported once per process. Never
// throws; a directory that cannot be read is left alone.
void CleanStaleRewrites(std::u16string_view directory, UserPrompts& prompts);

}  // namespace quorvane
