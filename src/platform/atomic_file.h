#pragma once
// A file replaced as a whole: the new content goes into a temporary file beside the
// target, is synced and then renamed over it. A reader, a full disk or a crash sees the
// old file or the complete new one, never a half-written one.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_rewrite.h"

namespace quorvane {

class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    // Without Commit the temporary file goes and the old file stays as it was.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Prepares the replacement of the file `path` names (symbolic links followed, so a
    // link keeps pointing at the new file): the temporary file is created in its
    // directory. False with the system error in `error` when the directory takes no new
    // file, or when the existing file is read-only (its mode says it must not change).
    // A target that exists but is not a regular file (a device, a pipe) cannot be
    // replaced; it is opened and written directly.
    bool Open(std::u16string_view path, uint32_t& error, SaveFaults* faults = nullptr);
    bool IsOpen() const { return fd_ >= 0; }

    // Appends bytes to the new content. Throws FileException.
    void Write(std::span<const uint8_t> bytes);
    // Syncs the new content and renames it over the old file. Throws FileException;
    // the old file is then as it was and the temporary file gone.
    void Commit();
    // Drops the new content, as the destructor does.
    void Discard();

private:
    int fd_ = -1;
    bool direct_ = false;       // writing the target itself (not a regular file)
    std::string tempPath_;      // empty once renamed or removed
    std::string targetPath_;
    std::string directory_;
    SaveFaults* faults_ = nullptr;
};

}  // namespace quorvane
