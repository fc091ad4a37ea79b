#include "platform/file_rewrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/text_codec.h"

namespace quorvane {
namespace {

[[noreturn]] void ThrowErrno() { throw FileException{static_cast<uint32_t>(errno)}; }

void ReadExactly(BinaryFile& file, uint64_t position, uint8_t* buffer, uint32_t count) {
    file.Seek(position);
    // The size was taken just before; a short read means the file changed under us.
    if (file.Read(buffer, count) != count) throw FileException{EIO};
}

struct stat StatDescriptor(const BinaryFile& file) {
    struct stat st {};
    if (fstat(file.Descriptor(), &st) != 0) ThrowErrno();
    return st;
}

// The path of the file itself: symbolic links followed, so the rename replaces the
// target and the link keeps pointing at it.
std::string ResolvePath(std::u16string_view path) {
    const std::string native = PathToNative(path);
    char* resolved = realpath(native.c_str(), nullptr);
    if (!resolved) ThrowErrno();
    std::string result(resolved);
    free(resolved);
    return result;
}

void Sync(BinaryFile& file, SaveFaults* faults) {
    file.Flush();
    if (faults) faults->After(SaveEvent::FileSynced, file.Descriptor());
}

void SyncDirectory(const std::string& directory, SaveFaults* faults) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // The rename is done and visible; a file system that cannot sync a directory
    // (EINVAL) still holds it, so this is best effort.
    if (::fsync(fd) == 0 && faults) faults->After(SaveEvent::DirectorySynced, fd);
    ::close(fd);
}

// The temporary file of one rewrite: removed when it goes away unless it was renamed
// into place or is deliberately kept.
class TempFile {
public:
    TempFile(const std::string& directory, const std::string& base) {
        // Hidden, beside the original, recognisable; short enough for NAME_MAX.
        const std::string stem = "." + base.substr(0, 200) + std::string(kRewriteTempMarker);
        std::random_device random;
        static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        uint32_t error = EEXIST;
        for (int attempt = 0; attempt < 64 && error == EEXIST; ++attempt) {
            std::string name = stem;
            for (int i = 0; i < 8; ++i) name += kChars[random() % (sizeof kChars - 1)];
            path_ = directory + "/" + name;
            if (file_.Open(PathFromNative(path_),
                           OpenMode::CreateNew, error)) {
                return;
            }
        }
        path_.clear();
        throw FileException{error};
    }
    ~TempFile() {
        if (path_.empty()) return;
        file_.Close();
        ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    BinaryFile& File() { return file_; }
    const std::string& Path() const { return path_; }
    // The name is no longer ours to remove (renamed into place, or kept on purpose).
    void Release() { path_.clear(); }

private:
    std::string path_;
    BinaryFile file_;
};

// Gives the copy the original's owner where the process may, then its permission bits
// (after the owner: changing the owner clears set-id bits).
void CopyOwnerAndMode(int fd, const struct stat& original) {
    struct stat own {};
    if (fstat(fd, &own) != 0) ThrowErrno();
    if (own.st_uid != original.st_uid || own.st_gid != original.st_gid) {
        if (fchown(fd, original.st_uid, original.st_gid) != 0) {
            // Not root: the group may still be ours to give.
            (void)fchown(fd, static_cast<uid_t>(-1), original.st_gid);
        }
    }
    if (fchmod(fd, original.st_mode & 07777) != 0) ThrowErrno();
}

// Copies `count` bytes from `from` at `fromPos` to the position of `to`.
void CopyRange(BinaryFile& from, uint64_t fromPos, BinaryFile& to, uint64_t count, SaveFaults* faults) {
    constexpr uint32_t kCopyBlock = 8 * kMoveBlock;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(count, kCopyBlock)));
    uint64_t toPos = to.GetPosition();
    while (count > 0) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(count, kCopyBlock));
        ReadExactly(from, fromPos, buffer.data(), n);
        to.Seek(toPos);
        WriteBytes(to, buffer.data(), n, faults);
        fromPos += n;
        toPos += n;
        count -= n;
    }
}

}  // namespace

void WriteBytes(BinaryFile& file, const uint8_t* data, uint64_t count, SaveFaults* faults) {
    while (count > 0) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(count, kMoveBlock));
        if (faults) faults->BeforeWrite(n);
        file.Write(data, n);
        data += n;
        count -= n;
    }
}

void WriteZeros(BinaryFile& file, uint64_t count, SaveFaults* faults) {
    if (count == 0) return;
    const std::vector<uint8_t> zeros(static_cast<size_t>(std::min<uint64_t>(count, kMoveBlock)), 0);
    while (count > 0) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(count, zeros.size()));
        WriteBytes(file, zeros.data(), n, faults);
        count -= n;
    }
}

void RewriteFile(BinaryFile& file, std::u16string_view path, std::span<const uint8_t> head,
                 uint64_t keepFrom, SaveFaults* faults) {
    const struct stat original = StatDescriptor(file);
    // Only a regular file can be replaced by a copy; a FIFO or device under an .mp3
    // name would be swapped for a plain file.
    if (!S_ISREG(original.st_mode)) {
        throw FileException{static_cast<uint32_t>(S_ISFIFO(original.st_mode) ? ESPIPE : EINVAL)};
    }
    const uint64_t oldSize = static_cast<uint64_t>(original.st_size);
    const uint64_t kept = oldSize > keepFrom ? oldSize - keepFrom : 0;
    const uint64_t newSize = head.size() + kept;

    const std::string target = ResolvePath(path);
    // The name must still be the file we hold open, or the rename would replace some
    // other file and leave ours unchanged.
    struct stat named {};
    if (::stat(target.c_str(), &named) != 0) ThrowErrno();
    if (named.st_dev != original.st_dev || named.st_ino != original.st_ino) {
        throw FileException{ESTALE};
    }
    const size_t slash = target.rfind('/');
    const std::string directory = slash == 0 ? std::string("/") : target.substr(0, slash);
    const std::string base = target.substr(slash + 1);

    if (faults) faults->BeforeStep(SaveStep::CreateTemp);
    TempFile temp(directory, base);
    BinaryFile& copy = temp.File();
    copy.Seek(0);
    WriteBytes(copy, head.data(), head.size(), faults);
    CopyRange(file, keepFrom, copy, kept, faults);
    CopyOwnerAndMode(copy.Descriptor(), original);
    if (faults) faults->BeforeStep(SaveStep::SyncTemp);
    Sync(copy, faults);

    if (original.st_nlink <= 1) {
        if (faults) faults->BeforeStep(SaveStep::Rename);
        if (::rename(temp.Path().c_str(), target.c_str()) != 0) ThrowErrno();
        temp.Release();
        if (faults) faults->After(SaveEvent::Renamed, copy.Descriptor());
        SyncDirectory(directory, faults);
        // The old file's descriptor and lock go; the caller goes on with the new file.
        file = std::move(copy);
        return;
    }

    // Several hard links: a rename would give only this name the new content and leave
    // the other names with the old. So the old file itself is rewritten from the
    // synced copy. Space for the longer content is reserved first, so a full disk
    // fails before a byte of the old file changes; once the copy back has begun, a
    // failure keeps the temporary file (the complete new file) for recovery instead
    // of removing it.
    if (newSize > oldSize) {
        const int rc = ::fallocate(file.Descriptor(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(newSize));
        if (rc != 0 && errno != EOPNOTSUPP && errno != ENOSYS) ThrowErrno();
    }
    if (faults) faults->BeforeStep(SaveStep::CopyBack);
    const std::string tempPath = temp.Path();
    temp.Release();
    file.Seek(0);
    CopyRange(copy, 0, file, newSize, faults);
    file.SetLength(newSize);
    Sync(file, faults);
    copy.Close();
    ::unlink(tempPath.c_str());
    SyncDirectory(directory, faults);
}

}  // namespace quorvane
