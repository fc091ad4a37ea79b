#include "operations/text_cleanup.h"

#include <algorithm>

#include "platform/text_codec.h"

namespace quorvane {
namespace {

bool IsWordSeparator(char16_t c) {
    return c == u'_' || c == u'-' || c == 0x2010 || c == 0x2011 || IsWhiteSpaceChar(c);
}

// Lower-case in the sense that matters here: a letter with an upper-case form of its own.
// Surrogates are never letters to the platform's per-character functions, so a pair is
// left whole.
bool IsLowerCaseLetter(char16_t c) { return IsLetterChar(c) && ToUpperChar(c) != c; }

// The form a letter takes at the start of a word. It differs from the upper-case form
// only for the four Latin digraphs (which have a title-case letter of their own) and for
// Georgian Mkhedruli, whose upper-case Mtavruli letters are for all-capital text only.
char16_t ToTitleChar(char16_t c) {
    if (c >= 0x01C4 && c <= 0x01CC) return static_cast<char16_t>(0x01C5 + (c - 0x01C4) / 3 * 3);
    if (c >= 0x01F1 && c <= 0x01F3) return 0x01F2;
    if ((c >= 0x10D0 && c <= 0x10FA) || (c >= 0x10FD && c <= 0x10FF)) return c;
    return ToUpperChar(c);
}

void RaiseIfLower(char16_t& c) {
    if (IsLowerCaseLetter(c)) c = ToTitleChar(c);
}

}  // namespace

std::u16string Capitalize(std::u16string_view text) {
    std::u16string out(text);
    if (out.empty()) return out;
    RaiseIfLower(out[0]);
    // The walk includes the first character, so text that opens with a blank or an
    // underscore still has its first word raised.
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        if (IsWordSeparator(out[i]) && IsLowerCaseLetter(out[i + 1])) {
            RaiseIfLower(out[i + 1]);
            ++i;
        }
    }
    return out;
}

std::u16string ConvertUnderscores(std::u16string_view text) {
    std::u16string out(text);
    std::replace(out.begin(), out.end(), u'_', u' ');
    return out;
}

void TrackCounter::Press() {
    down_ = true;
    next_ = 1;
}

void TrackCounter::Release() { down_ = false; }

std::u16string TrackCounter::Caption() const {
    return down_ ? u"Track " + U16(std::to_string(next_)) : std::u16string(u"Track #");
}

std::optional<std::u16string> TrackCounter::TakeNumber() {
    if (!down_) return std::nullopt;
    return U16(std::to_string(next_++));
}

}  // namespace quorvane
