#include "operations/regex_generation.h"

#include "library/edit_gate.h"
#include "operations/history.h"
#include "operations/tag_variables.h"
#include "platform/user_prompts.h"
#include "regex/regexp.h"
#include "tags/id3_tag.h"

namespace quorvane {
namespace {

struct GroupFrame {
    std::u16string_view name;
    FrameId frame;
};

// Applied in this order.
constexpr GroupFrame kGroupFrames[] = {
    {u"artist", kFrameTPE1}, {u"album", kFrameTALB}, {u"title", kFrameTIT2},
    {u"year", kFrameTDRC},   {u"track", kFrameTRCK}, {u"genre", kFrameTCON},
};

// The first group of that name (names compare exactly) that took part in the last
// match, with its span; none when no such group took part. A group that did not (an
// optional one, or one in an alternative not taken) leaves its frame alone.
struct TakenGroup {
    unsigned number = 0;
    std::pair<size_t, size_t> span;
};
std::optional<TakenGroup> FirstTakenGroup(const RegExp& expression, std::u16string_view name) {
    for (unsigned number = 1; number <= expression.GroupCount(); ++number) {
        if (expression.GroupName(number) != name) continue;
        if (const auto span = expression.GroupSpan(number)) return TakenGroup{number, *span};
    }
    return std::nullopt;
}

}  // namespace

std::u16string RegExpNoMatchMessage(std::u16string_view expression, std::u16string_view subject) {
    return u"The regular expression \"" + std::u16string(expression) + u"\" didn't match the filename \"" +
           std::u16string(subject) + u"\"";
}

std::optional<std::vector<FieldChange>> MatchRegExpGroups(RegExp& expression, std::u16string_view subject) {
    const std::u16string name(subject);
    if (!expression.Search(name)) return std::nullopt;
    std::vector<FieldChange> changes;
    for (const GroupFrame& group : kGroupFrames) {
        const std::optional<TakenGroup> taken = FirstTakenGroup(expression, group.name);
        if (!taken) continue;
        std::u16string text = expression.GroupTextByNumber(taken->number);
        if (taken->span.second == name.size() && EndsInMp3Extension(text)) text.resize(text.size() - 4);
        changes.push_back({group.frame, std::nullopt, std::move(text)});
    }
    return changes;
}

std::vector<std::u16string> LoadRegExpHistory(SettingsStore& store) {
    return LoadHistory(store, kRegExpsHistory, kDefaultRegExp);
}

std::optional<GenerationPlan> PrepareRegexGeneration(std::u16string_view expression,
                                                     std::span<const RecordPtr> targets, const EditGate& gate,
                                                     UserPrompts& prompts, SettingsStore* history) {
    if (RefuseWhileSaving(gate, targets, prompts)) return std::nullopt;
    RegExp compiled;
    try {
        compiled.Compile(std::u16string(expression));
    } catch (const RegExpException&) {
        prompts.ShowError(ProgramTitle(), kRegExpParseError);
        return std::nullopt;
    }
    if (history) AddToHistory(*history, kRegExpsHistory, expression);
    GenerationPlan plan;
    for (const RecordPtr& record : targets) {
        std::optional<std::vector<FieldChange>> changes = MatchRegExpGroups(compiled, record->FileName());
        if (!changes) {
            prompts.ShowError(ProgramTitle(), RegExpNoMatchMessage(expression, record->FileName()));
            continue;
        }
        for (FieldChange& change : *changes) {
            if (std::u16string text; record->Tag().GetText(change.frame, text)) change.oldText = std::move(text);
        }
        if (!changes->empty()) plan.push_back({record, std::move(*changes)});
    }
    return plan;
}

}  // namespace quorvane
