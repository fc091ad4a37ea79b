#pragma once
// One entry of a playlist, as both formats write it: the file's name, its duration and
// its title and artist, each already in the bytes the line holds.
//
// A playlist is read line by line, so no text may start a line of its own: a title
// "x\n/home/me/other.mp3" would add an entry, and in a PLS file "x\nFile1=..." would
// rewrite one. Every control character therefore becomes a blank.
#include <cstdint>
#include <string>
#include <string_view>

#include "library/mp3_file_record.h"
#include "platform/text_codec.h"

namespace quorvane {

struct PlaylistEntry {
    std::string fileName;  // the name's bytes on disk
    std::string title;     // in the code page
    std::string artist;    // in the code page
    uint32_t duration = 0;  // seconds
};

// The text with every control character (C0, DEL, C1, and the Unicode line and
// paragraph separators) replaced by a blank.
std::u16string BlankControlCharacters(std::u16string_view text);

// A tag text for a playlist line: blanks for control characters, then the code page
// (characters it cannot hold become '?').
std::string PlaylistText(std::u16string_view text, const CodePage& codePage);

// A file name for a playlist line: the bytes the name has on disk, so a player finds
// the file whatever the code page could write; control characters become blanks.
std::string PlaylistFileName(std::u16string_view name);

// The entry of a record: its FileName() (the name a pending rename gives it), TIT2,
// TPE1 and the duration.
PlaylistEntry MakePlaylistEntry(const Mp3FileRecord& record, const CodePage& codePage);

}  // namespace quorvane
