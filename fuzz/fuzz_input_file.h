#pragma once
// The tag readers work on files: a fuzz input becomes an anonymous in-memory file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "platform/binary_file.h"
#include "platform/text_codec.h"

namespace quorvane::fuzz {

class InputFile {
public:
    InputFile(const uint8_t* data, size_t size) : fd_(memfd_create("quorvane-fuzz", 0)) {
        if (fd_ < 0) return;
        size_t done = 0;
        while (done < size) {
            const ssize_t n = write(fd_, data + done, size - done);
            if (n <= 0) return;
            done += static_cast<size_t>(n);
        }
        uint32_t error = 0;
        file_.Open(PathFromNative("/proc/self/fd/" + std::to_string(fd_)), OpenMode::Read, error);
    }
    ~InputFile() {
        file_.Close();
        if (fd_ >= 0) close(fd_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool IsOpen() const { return file_.IsOpen(); }
    // The same bytes opened a second time, the way a load opens a file.
    bool OpenForLoading(BinaryFile& file) const {
        uint32_t error = 0;
        return file.OpenForLoading(PathFromNative("/proc/self/fd/" + std::to_string(fd_)), error);
    }
    BinaryFile& File() { return file_; }

private:
    int fd_;
    BinaryFile file_;
};

}  // namespace quorvane::fuzz
