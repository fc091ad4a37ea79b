#pragma once
// The variables of name expressions and generation patterns: a field name between "<"
// and ">", standing for an ID3v2 text frame.
#include <optional>
#include <string>
#include <string_view>

#include "tags/frame_id.h"

namespace quorvane {

// The message for a name that is none of the six (followed by the name as typed).
inline constexpr std::u16string_view kUnrecognizedField = u"Unrecognized field: ";

// "title" TIT2, "album" TALB, "artist" TPE1, "year" TDRC, "track" TRCK, "genre" TCON;
// letter case does not matter, anything else (blanks, "<>") is no variable.
std::optional<FrameId> FindTagVariable(std::u16string_view name);

// True when `text` ends in ".mp3" (any letter case) and has more than those four
// characters: the extension a captured file name gives up.
bool EndsInMp3Extension(std::u16string_view text);

}  // namespace quorvane
