#include "platform/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/text_codec.h"

namespace quorvane {

std::u16string JoinPath(std::u16string_view directory, std::u16string_view name) {
    std::u16string path;
    path.reserve(directory.size() + 1 + name.size());
    path.append(directory);
    if (!directory.empty() && directory.back() != u'/') path.push_back(u'/');
    path.append(name);
    return path;
}

std::u16string ReplaceFileNameCharacters(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& c : out) {
        switch (c) {
            case u'\\':
            case u'/':
            case u':':
            case u'?':
            case u'"':
            case u'<':
            case u'>':
            case u'|':
                c = u' ';
                break;
            default:
                break;
        }
    }
    return out;
}

namespace {

// One rename that never replaces: 0 on success, else the system error.
int RenameOnce(const std::string& source, const std::string& target) {
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
    int error = errno;
    if (error != EINVAL && error != ENOSYS) return error;
    // The file system cannot rename without replacing: a hard link fails when the
    // target exists, and the old name goes only once the new one is there.
    if (link(source.c_str(), target.c_str()) == 0) {
        if (unlink(source.c_str()) == 0) return 0;
        error = errno;
        unlink(target.c_str());
        return error;
    }
    error = errno;
    if (error != EPERM && error != ENOSYS && error != EOPNOTSUPP) return error;
    // No hard links either (FAT): check, then rename; the window between is tiny.
    struct stat st {};
    if (lstat(target.c_str(), &st) == 0) return EEXIST;
    if (std::rename(source.c_str(), target.c_str()) == 0) return 0;
    return errno;
}

// The same directory, and names that differ in letter case only.
bool DiffersInCaseOnly(std::u16string_view from, std::u16string_view to) {
    const size_t slash = from.rfind(u'/');
    const size_t dirLength = slash == std::u16string_view::npos ? 0 : slash + 1;
    if (to.size() < dirLength || from.substr(0, dirLength) != to.substr(0, dirLength)) return false;
    const std::u16string_view a = from.substr(dirLength);
    const std::u16string_view b = to.substr(dirLength);
    return a != b && b.find(u'/') == std::u16string_view::npos && EqualsIgnoreCase(a, b);
}

// A rename that changes only the letter case, on a file system that ignores case:
// the new spelling finds the file itself, so a plain rename would either do nothing
// or drop the file as the "existing target". The file goes to a free name beside it
// first, then to its new name; every step refuses to replace, nothing is unlinked, and
// a failed last step puts the file back. Where both spellings are separate files (a
// file system that keeps case), the last step finds the other one and is refused.
// Whether the two spellings are one file is left to that last step rather than to the
// inode numbers: user-space drivers (fusefat, exfat-fuse) number each spelling apart,
// and two hard links share one number while being two names.
int RenameCaseOnly(const std::string& source, const std::string& target) {
    struct stat from {}, to {};
    if (lstat(source.c_str(), &from) != 0) return errno;
    if (lstat(target.c_str(), &to) != 0 || to.st_dev != from.st_dev) return EEXIST;
    const size_t slash = source.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : source.substr(0, slash + 1);
    static std::atomic<unsigned> counter{0};
    std::string temporary;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        temporary = directory + ".quorvane-rename-" + std::to_string(getpid()) + "-" +
                    std::to_string(counter.fetch_add(1)) + ".tmp";
        error = RenameOnce(source, temporary);
    }
    if (error != 0) return error;
    error = RenameOnce(temporary, target);
    if (error == 0) return 0;
    RenameOnce(temporary, source);
    return error;
}

}  // namespace

bool RenameNoReplace(std::u16string_view from, std::u16string_view to, int& error) {
    const std::string source = PathToNative(from);
    const std::string target = PathToNative(to);
    error = RenameOnce(source, target);
    if (error == EEXIST && DiffersInCaseOnly(from, to)) error = RenameCaseOnly(source, target);
    return error == 0;
}

}  // namespace quorvane
