// Name expressions and generation patterns over arbitrary input: "text \xFF name",
// decoded as UTF-8. The text is compiled both ways; the name is matched by the pattern
// and also stands for every tag field the expression expands. Captures must be pieces of
// the name, and an expansion must end in the extension.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "operations/pattern_generation.h"
#include "operations/rename_from_tags.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"
#include "tags/id3_tag.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

class QuietPrompts final : public quorvane::UserPrompts {
public:
    void ShowError(std::u16string_view, std::u16string_view) override {}
    void ShowInformation(std::u16string_view, std::u16string_view) override {}
    bool AskYesNo(std::u16string_view, std::u16string_view) override { return false; }
    quorvane::PromptAnswer AskYesNoCancel(std::u16string_view, std::u16string_view) override {
        return quorvane::PromptAnswer::Cancel;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quorvane;
    if (size > 4096) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t cut = input.find('\xFF');
    const std::u16string text = Utf8ToUtf16Lossy(input.substr(0, cut));
    const std::u16string name = cut == std::string_view::npos ? std::u16string() : Utf8ToUtf16Lossy(input.substr(cut + 1));
    QuietPrompts prompts;

    const GenerationPattern pattern = GenerationPattern::Compile(text, prompts);
    bool failed = false;
    for (const auto& capture : pattern.Match(name)) {
        if (!capture.text) {
            failed = true;
            continue;
        }
        Check(!failed);  // nothing is captured after a failure
        Check(name.find(*capture.text) != std::u16string::npos);
    }

    if (const auto expression = NameExpression::Compile(text, prompts)) {
        Id3Tag tag;
        for (const FrameId frame : {kFrameTIT2, kFrameTALB, kFrameTPE1, kFrameTDRC, kFrameTRCK, kFrameTCON}) {
            tag.SetText(frame, name);
        }
        const std::u16string expanded = expression->Expand(tag);
        Check(expanded.size() >= 4 && expanded.ends_with(u".mp3"));
    }
    return 0;
}
