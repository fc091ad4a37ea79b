#pragma once
// File names and paths as the program holds them (UTF-16, '/' as separator), and the
// rename that never replaces a file.
#include <string>
#include <string_view>

namespace quorvane {

// Directory + separator + name; no separator is added when the directory is empty or
// already ends in one (the root "/").
std::u16string JoinPath(std::u16string_view directory, std::u16string_view name);

// A file name made safe from tag texts: each of \ / : ? " < > | becomes a blank.
std::u16string ReplaceFileNameCharacters(std::u16string_view name);

// Renames `from` to `to` without ever replacing an existing file. False with the system
// error in `error` on failure. A rename that changes only the letter case works also on
// file systems that ignore case.
bool RenameNoReplace(std::u16string_view from, std::u16string_view to, int& error);

}  // namespace quorvane
