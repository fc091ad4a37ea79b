#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>

#include "platform/text_codec.h"

namespace quorvane {
namespace {

[[noreturn]] void ThrowErrno() { throw FileException{static_cast<uint32_t>(errno)}; }

// The file a path names: a symbolic link is followed, so the rename replaces what it
// points at; a dangling one is replaced itself.
std::string ResolveTarget(const std::string& native) {
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return native;
    char* resolved = ::realpath(native.c_str(), nullptr);
    if (!resolved) return native;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Creates a new hidden file beside `target`; its descriptor, or -1 with errno set.
int CreateTemp(const std::string& directory, const std::string& target, std::string& tempPath) {
    const size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string stem = "." + base.substr(0, 200) + std::string(kRewriteTempMarker);
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string name = stem;
        for (int i = 0; i < 8; ++i) name += kChars[random() % (sizeof kChars - 1)];
        tempPath = directory + "/" + name;
        // 0666 less the umask, as any new file the user makes.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

void SyncDirectory(const std::string& directory, SaveFaults* faults) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // The rename is done; a file system that cannot sync a directory still holds it.
    if (::fsync(fd) == 0 && faults) faults->After(SaveEvent::DirectorySynced, fd);
    ::close(fd);
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Open(std::u16string_view path, uint32_t& error, SaveFaults* faults) {
    Discard();
    faults_ = faults;
    targetPath_ = ResolveTarget(PathToNative(path));
    directory_ = DirectoryOf(targetPath_);
    struct stat existing {};
    const bool exists = ::stat(targetPath_.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        error = static_cast<uint32_t>(errno);
        return false;
    }
    if (exists && S_ISDIR(existing.st_mode)) {
        error = EISDIR;
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        // A pipe without a reader fails (ENXIO) rather than wait for one.
        fd_ = ::open(targetPath_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0 || ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0) {
            error = static_cast<uint32_t>(errno);
            Discard();
            return false;
        }
        direct_ = true;
        return true;
    }
    // Replacing by rename needs no write access to the file itself, but a read-only
    // file is one its owner wants left alone.
    if (exists && ::access(targetPath_.c_str(), W_OK) != 0) {
        error = static_cast<uint32_t>(errno);
        return false;
    }
    try {
        if (faults_) faults_->BeforeStep(SaveStep::CreateTemp);
    } catch (const FileException& e) {
        error = e.error;
        return false;
    }
    fd_ = CreateTemp(directory_, targetPath_, tempPath_);
    if (fd_ < 0) {
        error = static_cast<uint32_t>(errno);
        tempPath_.clear();
        return false;
    }
    if (exists) {
        // The new file takes the old one's owner where the process may, then its mode
        // (after the owner: a change of owner clears set-id bits).
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            if (::fchown(fd_, existing.st_uid, existing.st_gid) != 0) {
                (void)::fchown(fd_, static_cast<uid_t>(-1), existing.st_gid);
            }
        }
        if (::fchmod(fd_, existing.st_mode & 07777) != 0) {
            error = static_cast<uint32_t>(errno);
            Discard();
            return false;
        }
    }
    return true;
}

void AtomicFileWriter::Write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) throw FileException{EBADF};
    while (!bytes.empty()) {
        const size_t n = std::min<size_t>(bytes.size(), kMoveBlock);
        if (faults_) faults_->BeforeWrite(n);
        const ssize_t written = ::write(fd_, bytes.data(), n);
        if (written < 0) {
            if (errno == EINTR) continue;
            ThrowErrno();
        }
        bytes = bytes.subspan(static_cast<size_t>(written));
    }
}

void AtomicFileWriter::Commit() {
    if (fd_ < 0) throw FileException{EBADF};
    if (direct_) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) ThrowErrno();
        return;
    }
    if (faults_) faults_->BeforeStep(SaveStep::SyncTemp);
    if (::fsync(fd_) != 0) ThrowErrno();
    if (faults_) faults_->After(SaveEvent::FileSynced, fd_);
    if (faults_) faults_->BeforeStep(SaveStep::Rename);
    if (::rename(tempPath_.c_str(), targetPath_.c_str()) != 0) ThrowErrno();
    tempPath_.clear();
    if (faults_) faults_->After(SaveEvent::Renamed, fd_);
    ::close(fd_);
    fd_ = -1;
    SyncDirectory(directory_, faults_);
}

void AtomicFileWriter::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
    direct_ = false;
}

}  // namespace quorvane
