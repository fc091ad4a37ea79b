#pragma once
// Small helpers for the regular-expression tests.
#include <optional>
#include <string>

#include "platform/text_codec.h"
#include "regex/regexp.h"

namespace quorvane::test {

// The error value a pattern raises, or -1 when it compiles.
inline int CompileError(const std::string& pattern) {
    RegExp re;
    try {
        re.Compile(U16(pattern));
    } catch (const RegExpException& e) {
        return static_cast<int>(e.Error());
    }
    return -1;
}

// The text of the first match, or nullopt.
inline std::optional<std::string> FirstMatch(RegExp& re, const std::u16string& subject) {
    const char16_t* pos = subject.c_str();
    if (!re.Search(pos)) return std::nullopt;
    const auto span = re.GroupSpan(0);
    if (!span) return std::string("<no span>");
    if (static_cast<size_t>(pos - subject.c_str()) != span->second) return std::string("<end differs>");
    return U8(subject.substr(span->first, span->second - span->first));
}

inline std::optional<std::string> FirstMatch(const std::string& pattern, const std::string& subject) {
    RegExp re;
    re.Compile(U16(pattern));
    return FirstMatch(re, U16(subject));
}

inline std::string Group(const RegExp& re, const std::string& name) { return U8(re.GetGroupText(U16(name))); }

}  // namespace quorvane::test
