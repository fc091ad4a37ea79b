// Compile and Search over arbitrary input: "pattern \xFF subject \xFF subject ...",
// each part decoded as UTF-8. Every search must end (the step budget is in force)
// and its results must lie inside the subject.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_codec.h"
#include "regex/regexp.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::u16string> parts;
    size_t from = 0;
    for (;;) {
        const size_t cut = input.find('\xFF', from);
        parts.push_back(quorvane::Utf8ToUtf16Lossy(input.substr(from, cut == std::string_view::npos ? cut : cut - from)));
        if (cut == std::string_view::npos) break;
        from = cut + 1;
    }

    quorvane::RegExp re;
    try {
        re.Compile(parts[0]);
    } catch (const quorvane::RegExpException& e) {
        const int error = static_cast<int>(e.Error());
        Check(error >= 0 && error <= 13);
        return 0;
    }
    // A small budget keeps each input fast; the mechanism is the same at any size.
    re.SetStepLimit(30'000);
    const unsigned groups = re.GroupCount();
    Check(groups <= 255);
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::u16string& subject = parts[i];
        const char16_t* pos = subject.c_str();
        const bool matched = re.Search(pos);
        const size_t length = std::u16string(subject.c_str()).size();  // up to the first NUL
        if (!matched) {
            Check(pos == subject.c_str());
            Check(!re.GroupSpan(0));
            continue;
        }
        const auto whole = re.GroupSpan(0);
        Check(whole && whole->first <= whole->second && whole->second <= length);
        Check(static_cast<size_t>(pos - subject.c_str()) == whole->second);
        for (unsigned n = 1; n <= groups; ++n) {
            const auto span = re.GroupSpan(n);
            const std::u16string text = re.GroupTextByNumber(n);
            if (!span) {
                Check(text.empty());
                continue;
            }
            Check(span->first <= span->second && span->second <= length);
            Check(text == subject.substr(span->first, span->second - span->first));
            Check(re.HasGroup(re.GroupName(n)));
            (void)re.GetGroupText(re.GroupName(n));
        }
    }
    return 0;
}
