#include "operations/tag_variables.h"

#include <algorithm>

namespace quorvane {
namespace {

struct Variable {
    std::u16string_view name;
    FrameId frame;
};

constexpr Variable kVariables[] = {
    {u"title", kFrameTIT2}, {u"album", kFrameTALB}, {u"artist", kFrameTPE1},
    {u"year", kFrameTDRC},  {u"track", kFrameTRCK}, {u"genre", kFrameTCON},
};

// The names are ASCII, so only ASCII letters fold: no other character can make one.
char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool EqualsAsciiIgnoreCase(std::u16string_view a, std::u16string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

}  // namespace

std::optional<FrameId> FindTagVariable(std::u16string_view name) {
    for (const Variable& variable : kVariables) {
        if (EqualsAsciiIgnoreCase(name, variable.name)) return variable.frame;
    }
    return std::nullopt;
}

bool EndsInMp3Extension(std::u16string_view text) {
    return text.size() > 4 && EqualsAsciiIgnoreCase(text.substr(text.size() - 4), u".mp3");
}

}  // namespace quorvane
