#include "platform/binary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/text_codec.h"
#include "platform/user_prompts.h"

namespace quorvane {
namespace {

[[noreturn]] void ThrowLastError() { throw FileException{static_cast<uint32_t>(errno)}; }

// Open-file-description locks stand in for the sharing modes: a writer holds a write
// lock, a reader that lets others only read holds a read lock, so a second writer (in
// this process or another Quorvane) is refused while a file is being written.
bool TakeLock(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // the whole file, however it grows
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

std::u16string FileException::FormatFileError() const {
    switch (error) {
        case kErrorSharingViolation:
            return u"The file is being used by another process.";
        case kErrorFileTooLarge:
            return u"The file is too large for this operation (4 GiB or more).";
        default:
            break;
    }
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not be in buffer.
    const char* text = strerror_r(static_cast<int>(error), buffer, sizeof buffer);
    return Utf8ToUtf16Lossy(text);
}

// The head of a file and then whatever piece a read lands in: big enough for a typical
// tag plus the start of the audio, small enough that copying it costs little.
constexpr uint32_t kReadAheadSize = 4096;

struct BinaryFile::ReadAhead {
    std::array<unsigned char, kReadAheadSize> bytes;  // not zero-filled: only `filled` count
    uint64_t start = 0;      // file offset of bytes[0]
    uint32_t filled = 0;     // valid bytes
    bool reachesEnd = false;  // the read that filled it stopped at the end of the file
    uint64_t position = 0;   // the file position callers see
};

BinaryFile::BinaryFile() = default;
BinaryFile::~BinaryFile() { Close(); }

BinaryFile::BinaryFile(BinaryFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), readOnlyRegular_(std::exchange(other.readOnlyRegular_, false)),
      openSize_(other.openSize_), identity_(std::exchange(other.identity_, {})), ahead_(std::move(other.ahead_)) {}

BinaryFile& BinaryFile::operator=(BinaryFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        readOnlyRegular_ = std::exchange(other.readOnlyRegular_, false);
        openSize_ = other.openSize_;
        identity_ = std::exchange(other.identity_, {});
        ahead_ = std::move(other.ahead_);
    }
    return *this;
}

bool BinaryFile::Open(std::u16string_view path, OpenMode mode, uint32_t& error) {
    Close();
    int flags = O_CLOEXEC;
    int disposition = 0;  // open an existing file
    switch (mode) {
        case OpenMode::Read:
            flags |= O_RDONLY;
            break;
        case OpenMode::Update:
            flags |= O_RDWR;
            break;
        case OpenMode::Replace:
            flags |= O_WRONLY;
            disposition = O_CREAT | O_TRUNC;
            break;
        case OpenMode::CreateNew:
            flags |= O_RDWR;
            disposition = O_CREAT | O_EXCL;
            break;
    }
    const bool writes = (flags & O_ACCMODE) != O_RDONLY;
    // Truncation must wait until the lock is held, or a refused writer would still
    // have emptied the file.
    const bool truncate = (disposition & O_TRUNC) != 0;
    flags |= disposition & ~O_TRUNC;

    const std::string native = PathToNative(path);
    int fd;
    // Without O_NONBLOCK, opening a FIFO that carries an .mp3 name would wait for a
    // writer forever; the flag is taken off again below.
    do {
        fd = ::open(native.c_str(), flags | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = static_cast<uint32_t>(errno);
        return false;
    }
    // The lock comes before the size is taken, so the size is that of the file as no
    // other Quorvane writes it.
    const bool locked = TakeLock(fd, writes ? F_WRLCK : F_RDLCK);
    const int lockError = locked ? 0 : errno;
    struct stat st {};
    const bool statOk = fstat(fd, &st) == 0;
    if (statOk && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = EISDIR;
        return false;
    }
    // The flag means nothing for regular files; spare them the two calls.
    if (!S_ISREG(st.st_mode)) {
        const int statusFlags = fcntl(fd, F_GETFL);
        if (statusFlags == -1 || fcntl(fd, F_SETFL, statusFlags & ~O_NONBLOCK) == -1) {
            error = static_cast<uint32_t>(errno);
            ::close(fd);
            return false;
        }
    }
    // A reader cannot hold a write lock, so an exclusive reader only keeps writers out.
    if (!locked) {
        const int e = lockError;
        // A file system without lock support cannot share-check; the file is still
        // opened, as it would be by any other program.
        if (e != ENOLCK && e != EOPNOTSUPP && e != EINVAL) {
            ::close(fd);
            error = (e == EAGAIN || e == EACCES) ? kErrorSharingViolation : static_cast<uint32_t>(e);
            return false;
        }
    }
    if (truncate && ::ftruncate(fd, 0) != 0) {
        error = static_cast<uint32_t>(errno);
        ::close(fd);
        return false;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    // Saves and exports stream whole files; loads read a few pieces, where the hint
    // would only widen the read-ahead of a cold cache.
    if (writes) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    readOnlyRegular_ = !writes && statOk && S_ISREG(st.st_mode);
    openSize_ = statOk ? static_cast<uint64_t>(st.st_size) : 0;
    identity_ = statOk ? FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)}
                       : FileIdentity{};
    fd_ = fd;
    error = 0;
    return true;
}

bool BinaryFile::Close() {
    ahead_.reset();
    readOnlyRegular_ = false;
    identity_ = {};
    if (fd_ < 0) return false;
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0;
}

bool BinaryFile::OpenForLoading(std::u16string_view path, uint32_t& error) {
    if (!Open(path, OpenMode::Read, error)) return false;
    // At position 0, as opened; the buffer is left uninitialised.
    if (readOnlyRegular_) ahead_ = std::make_unique_for_overwrite<ReadAhead>();
    return true;
}

void BinaryFile::DropReadAhead() {
    if (!ahead_) return;
    const uint64_t position = ahead_->position;
    ahead_.reset();
    Seek(position);
}

uint64_t BinaryFile::GetSize() const {
    if (ahead_) return openSize_;
    struct stat st {};
    if (fstat(fd_, &st) != 0) ThrowLastError();
    return static_cast<uint64_t>(st.st_size);
}

uint64_t BinaryFile::GetPosition() const {
    if (ahead_) return ahead_->position;
    const off_t pos = ::lseek(fd_, 0, SEEK_CUR);
    if (pos < 0) ThrowLastError();
    return static_cast<uint64_t>(pos);
}

void BinaryFile::Seek(uint64_t position) {
    if (position > static_cast<uint64_t>(INT64_MAX)) throw FileException{EINVAL};
    if (ahead_) {
        ahead_->position = position;
        return;
    }
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) ThrowLastError();
}

namespace {

// pread until `count` bytes or the end of the file.
uint32_t ReadAt(int fd, unsigned char* out, uint32_t count, uint64_t offset) {
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowLastError();
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    return done;
}

}  // namespace

uint32_t BinaryFile::ReadAheadRead(unsigned char* out, uint32_t count) {
    ReadAhead& a = *ahead_;
    uint32_t done = 0;
    while (done < count) {
        const uint64_t position = a.position;
        if (position >= a.start && position < a.start + a.filled) {
            const uint32_t offset = static_cast<uint32_t>(position - a.start);
            const uint32_t take = std::min(count - done, a.filled - offset);
            std::memcpy(out + done, a.bytes.data() + offset, take);
            done += take;
            a.position += take;
            continue;
        }
        if (a.reachesEnd && position >= a.start + a.filled) break;  // behind the known end of the file
        const uint32_t rest = count - done;
        if (rest >= kReadAheadSize) {
            const uint32_t got = ReadAt(fd_, out + done, rest, position);
            done += got;
            a.position += got;
            break;
        }
        a.filled = 0;  // a failing read leaves nothing stale behind
        a.start = position;
        // Not past the size taken at the open: the read of a file's last bytes then needs
        // no second call to learn where the file ends. Should the file have grown since,
        // a read beyond that size still goes to the file.
        const uint32_t wanted = position < openSize_ && openSize_ - position < kReadAheadSize
                                    ? static_cast<uint32_t>(openSize_ - position)
                                    : kReadAheadSize;
        const uint32_t got = ReadAt(fd_, a.bytes.data(), wanted, position);
        a.filled = got;
        a.reachesEnd = got < wanted;
        if (got == 0) break;
    }
    return done;
}

uint32_t BinaryFile::Read(void* buffer, uint32_t count) {
    if (ahead_) return ReadAheadRead(static_cast<unsigned char*>(buffer), count);
    auto* out = static_cast<unsigned char*>(buffer);
    uint32_t done = 0;
    // One system call as a rule; more only when the kernel hands back less than asked
    // before the end of the file (signals, pipes).
    while (done < count) {
        const ssize_t n = ::read(fd_, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowLastError();
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    return done;
}

uint32_t BinaryFile::Write(const void* buffer, uint32_t count) {
    DropReadAhead();
    const auto* in = static_cast<const unsigned char*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowLastError();
        }
        if (n == 0) throw FileException{ENOSPC};
        done += static_cast<uint32_t>(n);
    }
    return done;
}

uint32_t BinaryFile::WriteString(std::string_view bytes) {
    return Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void BinaryFile::SetLength(uint64_t length) {
    DropReadAhead();
    Seek(length);
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) ThrowLastError();
}

void BinaryFile::Flush() {
    if (::fsync(fd_) != 0) ThrowLastError();
}

std::u16string FileErrorText(std::u16string_view prefix, std::u16string_view path,
                             const FileException& error) {
    std::u16string text(prefix);
    text += u" \"";
    text += path;
    text += u"\":\n";
    text += error.FormatFileError();
    return text;
}

void ShowFileError(UserPrompts& prompts, std::u16string_view prefix, std::u16string_view path,
                   const FileException& error) {
    prompts.ShowError(ProgramTitle(), FileErrorText(prefix, path, error));
}

}  // namespace quorvane
