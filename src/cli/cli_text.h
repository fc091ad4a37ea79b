#pragma once
// How quorvane-cli prints file names: as JSON strings, and as one field of a
// tab-separated line.
#include <string>
#include <string_view>

namespace quorvane::cli {

// A JSON string literal (with its quotes) for a file name given as bytes on disk.
// Valid UTF-8 is kept as it is; quotes, backslashes and control characters are escaped.
// A byte that is not part of valid UTF-8 is written as the escape of its lone
// surrogate U+DC80 + byte (the program's own mapping of such names, and Python's
// "surrogateescape"), so the output stays valid UTF-8 and loses nothing:
// json.loads followed by os.fsencode gives the original bytes back.
std::string JsonPathString(std::string_view nativePath);

// A file name as one field of a tab-separated line: the bytes on disk, except that a
// backslash becomes "\\", tab, line feed and carriage return "\t", "\n", "\r" and any
// other control byte "\xHH", so that every file stays on one line.
std::string TabFieldPath(std::string_view nativePath);

}  // namespace quorvane::cli
