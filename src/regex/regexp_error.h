#pragma once
// The one failure a pattern can raise: a syntax error with its number. The numbers
// are what callers and users see; each names the first construct that raises it.
#include <stdexcept>

namespace quorvane {

enum class RegExpError : int {
    NulEscape = 0,         // \0; pattern ends inside flag letters
    BadEscape = 1,         // \ before a character without a meaning
    NoSuchGroup = 2,       // back-reference to no closed group; unknown group name
    NothingToRepeat = 3,   // quantifier with nothing before it
    OpenGroup = 4,         // group or comment not closed
    UnopenedGroup = 5,     // ) without (
    Unterminated = 6,      // (? or class or group name cut off by the end
    RangeToBracket = 7,    // class range ending in ]
    RangeOrder = 8,        // class range upper end below lower end
    CountDigit = 9,        // non-digit in {m,n}
    CountRange = 10,       // {m,n} with n < m, or beyond the size limit
    ExpectedChar = 11,     // (?P without <; {m,n without }
    TooManyGroups = 12,    // group number 256 or more; nesting too deep
    BadFlag = 13,          // letter other than i, m, x in (?...)
};

class RegExpException : public std::runtime_error {
public:
    explicit RegExpException(RegExpError error);
    RegExpError Error() const { return error_; }

private:
    RegExpError error_;
};

}  // namespace quorvane
