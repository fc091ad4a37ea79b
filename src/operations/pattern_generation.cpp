#include "operations/pattern_generation.h"

#include "library/edit_gate.h"
#include "operations/history.h"
#include "operations/tag_variables.h"
#include "platform/user_prompts.h"
#include "tags/id3_tag.h"

namespace quorvane {
namespace {

void AppendLiteral(std::vector<GenerationPattern::Token>& tokens, std::u16string_view text) {
    if (tokens.empty() || tokens.back().variable) tokens.push_back({false, {}, 0});
    tokens.back().literal.append(text);
}

std::optional<size_t> PreviewIndex(FrameId frame) {
    switch (frame) {
        case kFrameTPE1: return static_cast<size_t>(PreviewField::Artist);
        case kFrameTALB: return static_cast<size_t>(PreviewField::Album);
        case kFrameTIT2: return static_cast<size_t>(PreviewField::Title);
        case kFrameTRCK: return static_cast<size_t>(PreviewField::Track);
        case kFrameTDRC: return static_cast<size_t>(PreviewField::Year);
        case kFrameTCON: return static_cast<size_t>(PreviewField::Genre);
        default: return std::nullopt;
    }
}

}  // namespace

GenerationPattern GenerationPattern::Compile(std::u16string_view pattern, UserPrompts& prompts) {
    GenerationPattern compiled;
    size_t at = 0;
    while (true) {
        const size_t open = pattern.find(u'<', at);
        if (open == std::u16string_view::npos) {
            AppendLiteral(compiled.tokens_, pattern.substr(at));
            break;
        }
        AppendLiteral(compiled.tokens_, pattern.substr(at, open - at));
        const size_t close = pattern.find(u'>', open + 1);
        if (close == std::u16string_view::npos) break;  // an unfinished variable is dropped
        const std::u16string_view name = pattern.substr(open + 1, close - open - 1);
        if (const std::optional<FrameId> frame = FindTagVariable(name)) {
            compiled.tokens_.push_back({true, {}, *frame});
        } else {
            prompts.ShowError(ProgramTitle(), std::u16string(kUnrecognizedField) + std::u16string(name));
        }
        at = close + 1;
    }
    // A pattern that ends with ">" has no final literal (nor one left by a skipped name),
    // so its last variable takes the rest of the name.
    std::vector<Token>& tokens = compiled.tokens_;
    if (tokens.size() > 1 && !tokens.back().variable && tokens.back().literal.empty() && tokens[tokens.size() - 2].variable)
        tokens.pop_back();
    return compiled;
}

std::vector<GenerationPattern::Capture> GenerationPattern::Match(std::u16string_view subject) const {
    std::vector<Capture> captures;
    size_t at = 0;
    bool failed = false;
    for (size_t i = 0; i < tokens_.size(); ++i) {
        const Token& token = tokens_[i];
        if (!token.variable) {
            if (!failed && subject.substr(at).starts_with(token.literal)) {
                at += token.literal.size();
            } else {
                failed = true;
            }
            continue;
        }
        Capture& capture = captures.emplace_back(Capture{token.frame, std::nullopt});
        if (failed) continue;
        if (i + 1 == tokens_.size()) {
            std::u16string_view rest = subject.substr(at);
            if (EndsInMp3Extension(rest)) rest.remove_suffix(4);
            capture.text = std::u16string(rest);
            at = subject.size();
            continue;
        }
        // The next token is a literal: the first place it appears ends the capture. It is
        // tried before each character, so not at the very end of the name.
        const std::u16string& next = tokens_[i + 1].literal;
        for (size_t end = at; end < subject.size(); ++end) {
            if (subject.substr(end).starts_with(next)) {
                capture.text = std::u16string(subject.substr(at, end - at));
                at = end;
                break;
            }
        }
        if (!capture.text) failed = true;
    }
    return captures;
}

PatternPreviewFields PatternPreview(std::u16string_view pattern, std::u16string_view subject, UserPrompts& prompts) {
    PatternPreviewFields fields;
    for (const GenerationPattern::Capture& capture : GenerationPattern::Compile(pattern, prompts).Match(subject)) {
        const std::optional<size_t> index = PreviewIndex(capture.frame);
        if (capture.text && index) fields[*index] = *capture.text;
    }
    return fields;
}

GenerationPlan PlanPatternGeneration(const GenerationPattern& pattern, std::span<const RecordPtr> targets) {
    GenerationPlan plan;
    for (const RecordPtr& record : targets) {
        FileGeneration file{record, {}};
        for (GenerationPattern::Capture& capture : pattern.Match(record->FileName())) {
            if (!capture.text) continue;
            std::optional<std::u16string> old;
            if (std::u16string text; record->Tag().GetText(capture.frame, text)) old = std::move(text);
            file.changes.push_back({capture.frame, std::move(old), std::move(*capture.text)});
        }
        if (!file.changes.empty()) plan.push_back(std::move(file));
    }
    return plan;
}

std::optional<GenerationPlan> PreparePatternGeneration(std::u16string_view pattern,
                                                       std::span<const RecordPtr> targets, const EditGate& gate,
                                                       UserPrompts& prompts, SettingsStore* history) {
    if (RefuseWhileSaving(gate, targets, prompts)) return std::nullopt;
    const GenerationPattern compiled = GenerationPattern::Compile(pattern, prompts);
    if (history) AddToHistory(*history, kGenNormalsHistory, pattern);
    return PlanPatternGeneration(compiled, targets);
}

}  // namespace quorvane
