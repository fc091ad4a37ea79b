#include "export/playlist_entry.h"

namespace quorvane {
namespace {

bool IsControlCharacter(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::u16string BlankControlCharacters(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if (IsControlCharacter(c)) c = u' ';
    }
    return out;
}

std::string PlaylistText(std::u16string_view text, const CodePage& codePage) {
    return codePage.Encode(BlankControlCharacters(text));
}

std::string PlaylistFileName(std::u16string_view name) {
    // A byte that is not UTF-8 is held as U+DC80 + byte (0x80 and above) and comes back
    // as itself; only the characters blanked here change.
    return PathToNative(BlankControlCharacters(name));
}

PlaylistEntry MakePlaylistEntry(const Mp3FileRecord& record, const CodePage& codePage) {
    PlaylistEntry entry;
    entry.fileName = PlaylistFileName(record.FileName());
    entry.title = PlaylistText(record.Tag().GetText(kFrameTIT2), codePage);
    entry.artist = PlaylistText(record.Tag().GetText(kFrameTPE1), codePage);
    entry.duration = record.Stream().duration;
    return entry;
}

}  // namespace quorvane
