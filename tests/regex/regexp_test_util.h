#pragma once
// Small helpers for the regular-expression tests.
#include <optional>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "regex/regexp.h"

namespace quorvane::test {

using Match = std::optional<std::string>;

// The error value a pattern raises, or -1 when it compiles.
inline int CompileError(const std::string& pattern) {
    try {
        RegExp().Compile(U16(pattern));
    } catch (const RegExpException& e) {
        return static_cast<int>(e.Error());
    }
    return -1;
}

// The text of the first match, or nullopt; the search must leave `pos` at its end.
inline Match FirstMatch(RegExp& re, const std::u16string& subject) {
    const char16_t* pos = subject.c_str();
    if (!re.Search(pos)) return std::nullopt;
    const auto span = re.GroupSpan(0);
    if (!span || span->second != static_cast<size_t>(pos - subject.c_str())) return "<end differs>";
    return U8(subject.substr(span->first, span->second - span->first));
}

inline Match FirstMatch(const std::string& pattern, const std::string& subject) {
    RegExp re;
    re.Compile(U16(pattern));
    return FirstMatch(re, U16(subject));
}

// Every group of the last search by number, 0 first; nullopt for one that took no part.
inline std::vector<Match> Groups(const RegExp& re) {
    std::vector<Match> groups;
    for (unsigned n = 0; n <= re.GroupCount(); ++n) {
        const std::string text = U8(re.GroupTextByNumber(n));
        groups.push_back(re.GroupSpan(n) || !text.empty() ? Match(text) : std::nullopt);
    }
    return groups;
}

}  // namespace quorvane::test
