#include "platform/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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

bool RenameNoReplace(std::u16string_view from, std::u16string_view to, int& error) {
    const std::string source = PathToNative(from);
    const std::string target = PathToNative(to);
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    error = errno;
    if (error != EINVAL && error != ENOSYS) return false;
    // The file system cannot rename without replacing: a hard link fails when the
    // target exists, and the old name goes only once the new one is there.
    if (link(source.c_str(), target.c_str()) == 0) {
        if (unlink(source.c_str()) == 0) return true;
        error = errno;
        unlink(target.c_str());
        return false;
    }
    error = errno;
    if (error != EPERM && error != ENOSYS && error != EOPNOTSUPP) return false;
    // No hard links either (FAT): check, then rename; the window between is tiny.
    struct stat st {};
    if (lstat(target.c_str(), &st) == 0) {
        error = EEXIST;
        return false;
    }
    if (std::rename(source.c_str(), target.c_str()) == 0) return true;
    error = errno;
    return false;
}

}  // namespace quorvane
