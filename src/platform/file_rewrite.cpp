#include "platform/file_rewrite.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <set>
#include <random>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/text_codec.h"
#include "platform/unique_fd.h"
#include "platform/user_prompts.h"

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

// False (errno set) when the directory cannot be synced; a file system that has no
// such sync (EINVAL) counts as synced.
bool SyncDirectory(const std::string& directory, SaveFaults* faults) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const int rc = ::fsync(fd);
    const int error = errno;
    if (rc == 0 && faults) faults->After(SaveEvent::DirectorySynced, fd);
    ::close(fd);
    errno = error;
    return rc == 0 || error == EINVAL;
}

// The leading part of a copy's name: "." and the file's name cut to this many bytes,
// so that the longest copy name stays within NAME_MAX.
constexpr size_t kNameStemLimit = 200;
constexpr size_t kSuffixLength = 8;

// True when `path` (not followed if a link) is the file open as `fd`.
bool NamesDescriptor(const std::string& path, int fd) {
    struct stat named {}, open {};
    return ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &open) == 0 && named.st_dev == open.st_dev &&
           named.st_ino == open.st_ino;
}

// The temporary file of one rewrite, write-locked from its creation until it goes away:
// removed then unless it was renamed into place or is deliberately kept.
class TempFile {
public:
    TempFile(std::string directory, const std::string& base)
        : directory_(std::move(directory)), stem_("." + base.substr(0, kNameStemLimit)) {
        std::random_device random;
        static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        uint32_t error = EEXIST;
        for (int attempt = 0; attempt < 64; ++attempt) {
            suffix_.clear();
            for (size_t i = 0; i < kSuffixLength; ++i) suffix_ += kChars[random() % (sizeof kChars - 1)];
            path_ = directory_ + "/" + stem_ + std::string(kRewriteTempMarker) + suffix_;
            if (!file_.Open(PathFromNative(path_), OpenMode::CreateNew, error)) {
                // Taken, or locked for a moment by a cleaner that found it unlocked
                // between its creation and our lock (that cleaner removes it).
                if (error == EEXIST || error == kErrorSharingViolation) continue;
                break;
            }
            // Our lock now keeps cleaners off; one that came before it may have removed
            // the name already.
            if (NamesDescriptor(path_, file_.Descriptor())) return;
            file_.Close();
            error = ESTALE;
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
    // Renames the synced copy to the name that marks it complete and names the inode of
    // the file it belongs to; the rename is made durable before this returns.
    void MarkComplete(uint64_t inode, SaveFaults* faults) {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(inode));
        const std::string complete = directory_ + "/" + stem_ + std::string(kRewriteCopyMarker) + suffix_ + "-" + hex;
        int error = 0;
        if (!RenameNoReplace(PathFromNative(path_), PathFromNative(complete), error)) throw FileException{uint32_t(error)};
        path_ = complete;
        if (faults) faults->After(SaveEvent::Renamed, file_.Descriptor());
        // Until the new name is on disk a power cut could bring back the old one, which
        // a cleaner takes for a partial copy: the old file must not change before.
        if (!SyncDirectory(directory_, faults)) throw FileException{uint32_t(errno)};
    }
    // The name is no longer ours to remove (renamed into place, or kept on purpose).
    void Release() { path_.clear(); }

private:
    std::string directory_;
    std::string stem_;
    std::string suffix_;
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
        // The rename is done and visible; a directory that cannot be synced still holds
        // it, so this is best effort.
        (void)SyncDirectory(directory, faults);
        // The old file's descriptor and lock go; the caller goes on with the new file.
        file = std::move(copy);
        return;
    }

    // Several hard links: a rename would give only this name the new content and leave
    // the other names with the old. So the old file itself is rewritten from the
    // synced copy. Space for the longer content is reserved first, so a full disk
    // fails before a byte of the old file changes. Before the copy back begins the copy
    // takes the name that marks it complete: from then on a failure keeps it, and a
    // save killed here is finished from it by the next clean-up of the directory.
    if (newSize > oldSize) {
        const int rc = ::fallocate(file.Descriptor(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(newSize));
        if (rc != 0 && errno != EOPNOTSUPP && errno != ENOSYS) ThrowErrno();
    }
    if (faults) faults->BeforeStep(SaveStep::CopyBack);
    temp.MarkComplete(static_cast<uint64_t>(original.st_ino), faults);
    const std::string keptPath = temp.Path();
    temp.Release();
    file.Seek(0);
    CopyRange(copy, 0, file, newSize, faults);
    file.SetLength(newSize);
    Sync(file, faults);
    copy.Close();
    ::unlink(keptPath.c_str());
    (void)SyncDirectory(directory, faults);
}

namespace {

// What a copy's name tells.
struct LeftoverName {
    std::string stem;     // the file's name, possibly cut
    bool complete = false;
    uint64_t inode = 0;   // of the file a complete copy belongs to
};

bool IsSuffixChar(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

std::optional<LeftoverName> ParseLeftover(std::string_view name) {
    if (name.size() < 2 || name[0] != '.') return std::nullopt;
    for (const bool complete : {false, true}) {
        const std::string_view marker = complete ? kRewriteCopyMarker : kRewriteTempMarker;
        const size_t at = name.rfind(marker);
        if (at == std::string_view::npos || at < 1) continue;
        const std::string_view rest = name.substr(at + marker.size());
        if (rest.size() < kSuffixLength || !std::all_of(rest.begin(), rest.begin() + kSuffixLength, IsSuffixChar)) {
            continue;
        }
        const std::string_view after = rest.substr(kSuffixLength);
        LeftoverName parsed{std::string(name.substr(1, at - 1)), complete, 0};
        if (!complete) {
            if (!after.empty()) continue;
            return parsed;
        }
        if (after.size() < 2 || after.size() > 17 || after[0] != '-') continue;
        for (const char c : after.substr(1)) {
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0) return std::nullopt;
            parsed.inode = parsed.inode * 16 + static_cast<uint64_t>(digit);
        }
        return parsed;
    }
    return std::nullopt;
}

std::vector<std::string> ListNames(int directory) {
    std::vector<std::string> names;
    const int fd = ::dup(directory);
    if (fd < 0) return names;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
    ::closedir(dir);
    return names;
}

// Each kept copy is reported once in the life of the process, however often its
// directory is scanned.
void ReportOnce(UserPrompts& prompts, const std::string& copyPath, const std::u16string& text) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    {
        std::lock_guard lock(mutex);
        if (!reported.insert(copyPath).second) return;
    }
    prompts.ShowError(ProgramTitle(), text);
}

std::u16string KeptText(const std::string& copyPath) {
    return u"Its only complete copy is kept as \"" + PathFromNative(copyPath) + u"\".";
}

// Overwrites the original that a complete copy (open as `copy`, read-locked, of status
// `st`) belongs to, then removes the copy. False when the copy stays.
bool FinishSave(int directory, const std::string& directoryPath, const std::string& name, const LeftoverName& left,
                int copy, const struct stat& st, const std::vector<std::string>& names, UserPrompts& prompts) {
    const std::string copyPath = directoryPath + "/" + name;
    // The original: a regular file of the inode that the name records, under the name
    // the copy's name begins with (or a longer one, when that was cut).
    auto isOriginal = [&](const std::string& candidate) {
        struct stat cst {};
        return !IsRewriteLeftover(candidate) && ::fstatat(directory, candidate.c_str(), &cst, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISREG(cst.st_mode) && cst.st_dev == st.st_dev && static_cast<uint64_t>(cst.st_ino) == left.inode;
    };
    std::string original;
    if (isOriginal(left.stem)) {
        original = left.stem;
    } else if (left.stem.size() >= kNameStemLimit) {
        for (const std::string& candidate : names) {
            if (candidate.starts_with(left.stem) && isOriginal(candidate)) {
                original = candidate;
                break;
            }
        }
    }
    if (original.empty()) {
        ReportOnce(prompts, copyPath,
                   u"A save was interrupted, and the file it was writing (\"" +
                       PathFromNative(directoryPath + "/" + left.stem) + u"\") was not found. " + KeptText(copyPath));
        return false;
    }
    const std::string originalPath = directoryPath + "/" + original;
    BinaryFile target;
    uint32_t error = 0;
    // Another Quorvane writing the file now: try again at the next clean-up.
    if (!target.Open(PathFromNative(originalPath), OpenMode::Update, error)) {
        if (error != kErrorSharingViolation) {
            ReportOnce(prompts, copyPath,
                       FileErrorText(u"Error when finishing an interrupted save of", PathFromNative(originalPath),
                                     FileException{error}) +
                           u"\n" + KeptText(copyPath));
        }
        return false;
    }
    try {
        struct stat opened {};
        // The name was given to another file since it was looked at.
        if (::fstat(target.Descriptor(), &opened) != 0 || static_cast<uint64_t>(opened.st_ino) != left.inode) return false;
        const auto size = static_cast<uint64_t>(st.st_size);
        std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(size, 8 * kMoveBlock)));
        target.Seek(0);
        for (uint64_t done = 0; done < size;) {
            const auto n = static_cast<size_t>(std::min<uint64_t>(size - done, buffer.size()));
            const ssize_t got = ::pread(copy, buffer.data(), n, static_cast<off_t>(done));
            if (got < 0) ThrowErrno();
            if (static_cast<size_t>(got) != n) throw FileException{EIO};
            WriteBytes(target, buffer.data(), n);
            done += n;
        }
        target.SetLength(size);
        target.Flush();
    } catch (const FileException& failure) {
        ReportOnce(prompts, copyPath,
                   FileErrorText(u"Error when finishing an interrupted save of", PathFromNative(originalPath), failure) +
                       u"\n" + KeptText(copyPath));
        return false;
    }
    target.Close();
    return ::unlinkat(directory, name.c_str(), 0) == 0;
}

// One leftover: nothing while a live process holds it (or locks cannot tell); else
// removed, or its save finished. True when the directory changed.
bool CleanLeftover(int directory, const std::string& directoryPath, const std::string& name,
                   const LeftoverName& left, const std::vector<std::string>& names, UserPrompts& prompts) {
    const UniqueFd fd(::openat(directory, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return false;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // The writer holds a write lock for the copy's whole life: a read lock granted
    // means it is gone. No lock at all (a file system without them) proves nothing.
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd.Get(), F_OFD_SETLK, &lock) != 0) return false;
    // The name must still be the file locked: a writer whose new file was removed
    // before it could lock it has moved on to another name.
    struct stat named {};
    if (::fstatat(directory, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || named.st_dev != st.st_dev ||
        named.st_ino != st.st_ino) {
        return false;
    }
    if (!left.complete) return ::unlinkat(directory, name.c_str(), 0) == 0;
    return FinishSave(directory, directoryPath, name, left, fd.Get(), st, names, prompts);
}

}  // namespace

bool IsRewriteLeftover(std::string_view name) { return ParseLeftover(name).has_value(); }

void CleanStaleRewrites(std::u16string_view directory, UserPrompts& prompts) {
    const std::string path = PathToNative(directory);
    const UniqueFd dir(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return;
    const std::vector<std::string> names = ListNames(dir.Get());
    bool changed = false;
    for (const std::string& name : names) {
        if (const auto left = ParseLeftover(name)) {
            changed |= CleanLeftover(dir.Get(), path == "/" ? "" : path, name, *left, names, prompts);
        }
    }
    if (changed) (void)::fsync(dir.Get());
}

}  // namespace quorvane
