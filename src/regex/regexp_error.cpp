#include "regex/regexp_error.h"

#include <string>

namespace quorvane {

namespace {

const char* Describe(RegExpError error) {
    switch (error) {
    case RegExpError::NulEscape: return "\\0, or the pattern ends inside flag letters";
    case RegExpError::BadEscape: return "backslash before a character without a meaning";
    case RegExpError::NoSuchGroup: return "no such group";
    case RegExpError::NothingToRepeat: return "quantifier with nothing to repeat";
    case RegExpError::OpenGroup: return "group or comment not closed";
    case RegExpError::UnopenedGroup: return "closing parenthesis without an opening one";
    case RegExpError::Unterminated: return "pattern ends inside (?, a group name or a class";
    case RegExpError::RangeToBracket: return "class range ending in ]";
    case RegExpError::RangeOrder: return "class range out of order";
    case RegExpError::CountDigit: return "non-digit in a counted quantifier";
    case RegExpError::CountRange: return "counted quantifier out of order or too large";
    case RegExpError::ExpectedChar: return "expected < after (?P, or } after a count";
    case RegExpError::TooManyGroups: return "too many groups, or nested too deep";
    case RegExpError::BadFlag: return "unknown flag letter";
    }
    return "unknown error";
}

std::string Message(RegExpError error) {
    return "regular expression error " + std::to_string(static_cast<int>(error)) + ": " + Describe(error);
}

}  // namespace

RegExpException::RegExpException(RegExpError error) : std::runtime_error(Message(error)), error_(error) {}

}  // namespace quorvane
