#include "operations/temp_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "operations/image_file.h"
#include "platform/binary_file.h"
#include "platform/text_codec.h"
#include "platform/unique_fd.h"
#include "platform/user_prompts.h"

namespace quorvane {
namespace {

std::string DefaultBase() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && tmp[0] == '/' ? std::string(tmp) : std::string("/tmp");
}

}  // namespace

TempImageDirectory::TempImageDirectory() : base_(DefaultBase()) {}

TempImageDirectory::TempImageDirectory(std::string base) : base_(std::move(base)) {}

TempImageDirectory::~TempImageDirectory() {
    if (directory_ < 0) return;
    for (const std::string& name : written_) ::unlinkat(directory_, name.c_str(), 0);
    ::close(directory_);
    ::rmdir(path_.c_str());
}

bool TempImageDirectory::MakeDirectory(UserPrompts& prompts) {
    if (directory_ >= 0) return true;
    std::string pattern = base_ + "/quorvane-XXXXXX";
    // mkdtemp makes a new directory of mode 0700 under a name nobody could guess.
    if (!::mkdtemp(pattern.data())) {
        ShowFileError(prompts, kImageOpenError, PathFromNative(pattern), FileException{static_cast<uint32_t>(errno)});
        return false;
    }
    directory_ = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory_ < 0) {
        ShowFileError(prompts, kImageOpenError, PathFromNative(pattern), FileException{static_cast<uint32_t>(errno)});
        ::rmdir(pattern.c_str());
        return false;
    }
    path_ = pattern;
    return true;
}

std::optional<std::u16string> TempImageDirectory::Write(std::span<const uint8_t> bytes, PictureFormat format,
                                                        UserPrompts& prompts) {
    if (bytes.empty()) {
        prompts.ShowError(ProgramTitle(), kImageEmpty);
        return std::nullopt;
    }
    if (!MakeDirectory(prompts)) return std::nullopt;
    const std::string name = "tempimage." + std::string(PictureExtension(format));
    const std::u16string path = PathFromNative(path_ + "/" + name);
    // The viewer may still show the picture of an earlier click: it keeps its copy, and
    // the new picture is a new file.
    ::unlinkat(directory_, name.c_str(), 0);
    UniqueFd file(::openat(directory_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.Get() < 0) {
        ShowFileError(prompts, kImageOpenError, path, FileException{static_cast<uint32_t>(errno)});
        return std::nullopt;
    }
    if (std::find(written_.begin(), written_.end(), name) == written_.end()) written_.push_back(name);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ShowFileError(prompts, kImageWriteError, path, FileException{static_cast<uint32_t>(n < 0 ? errno : EIO)});
            ::unlinkat(directory_, name.c_str(), 0);
            return std::nullopt;
        }
        done += static_cast<size_t>(n);
    }
    if (!file.Close()) {
        ShowFileError(prompts, kImageWriteError, path, FileException{static_cast<uint32_t>(errno)});
        ::unlinkat(directory_, name.c_str(), 0);
        return std::nullopt;
    }
    return path;
}

}  // namespace quorvane
