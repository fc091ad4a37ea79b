#include "operations/rename_from_tags.h"

#include <algorithm>

#include "library/edit_gate.h"
#include "operations/history.h"
#include "operations/tag_variables.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "platform/user_prompts.h"
#include "tags/id3_tag.h"

namespace quorvane {
namespace {

void AppendLiteral(std::vector<NameExpression::Token>& tokens, std::u16string_view text) {
    if (tokens.empty() || tokens.back().kind != NameExpression::TokenKind::Literal) {
        tokens.push_back({NameExpression::TokenKind::Literal, {}, 0});
    }
    tokens.back().text.append(text);
}

NameExpression::Token VariableToken(FrameId frame) {
    if (frame == kFrameTRCK) return {NameExpression::TokenKind::Track, {}, 0};
    if (frame == kFrameTCON) return {NameExpression::TokenKind::Genre, {}, 0};
    return {NameExpression::TokenKind::Frame, {}, frame};
}

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

std::optional<NameExpression> NameExpression::Compile(std::u16string_view expression, UserPrompts& prompts) {
    NameExpression compiled;
    for (size_t i = 0; i < expression.size(); ++i) {
        if (expression[i] != u'<') {
            AppendLiteral(compiled.tokens_, expression.substr(i, 1));
            continue;
        }
        const size_t close = expression.find(u'>', i + 1);
        if (close == std::u16string_view::npos) break;  // an unfinished variable is dropped
        const std::u16string_view name = expression.substr(i + 1, close - i - 1);
        const std::optional<FrameId> frame = FindTagVariable(name);
        if (!frame) {
            prompts.ShowError(u"Error", std::u16string(kUnrecognizedField) + std::u16string(name));
            return std::nullopt;
        }
        compiled.tokens_.push_back(VariableToken(*frame));
        i = close;
    }
    AppendLiteral(compiled.tokens_, u".mp3");
    return compiled;
}

std::u16string NameExpression::Expand(const Id3Tag& tag) const {
    std::u16string name;
    for (const Token& token : tokens_) {
        switch (token.kind) {
            case TokenKind::Literal:
                name += token.text;
                break;
            case TokenKind::Frame:
                name += tag.GetText(token.frame);
                break;
            case TokenKind::Track: {
                const std::u16string track = tag.GetText(kFrameTRCK);
                if (track.size() == 1) name += u'0';
                name += track;
                break;
            }
            case TokenKind::Genre:
                name += tag.GetGenre();
                break;
        }
    }
    return name;
}

std::u16string ConvertOlderNotation(std::u16string_view expression) {
    std::u16string converted(expression);
    for (const std::u16string_view field : {u"artist", u"album", u"title", u"track", u"genre", u"year"}) {
        ReplaceAll(converted, u"%" + std::u16string(field), u"<" + std::u16string(field) + u">");
    }
    return converted;
}

std::vector<std::u16string> ConvertRenameHistory(std::vector<std::u16string> entries) {
    // Each entry found in the older notation is added anew in the new one (equal entries
    // going, as for any addition) and its old form removed; the walk then starts over,
    // until no entry changes. Every change removes a "%", so the walk ends.
    for (bool changed = true; changed;) {
        changed = false;
        for (const std::u16string& entry : entries) {
            std::u16string converted = ConvertOlderNotation(entry);
            if (converted == entry) continue;
            const std::u16string old = entry;
            std::erase(entries, converted);
            entries.push_back(std::move(converted));
            std::erase(entries, old);
            changed = true;
            break;
        }
    }
    return entries;
}

std::vector<std::u16string> LoadRenameHistory(SettingsStore& store) {
    const std::vector<std::u16string> stored = store.ReadStringList(kRenamesHistory);
    const std::vector<std::u16string> converted = ConvertRenameHistory(stored);
    if (converted != stored) store.WriteStringList(kRenamesHistory, converted);
    return LoadHistory(store, kRenamesHistory, kDefaultRenameExpression);
}

std::u16string RenamePreview(std::u16string_view expression, std::span<const RecordPtr> targets,
                             UserPrompts& prompts) {
    if (targets.empty() || !targets.front()) return {};
    const std::optional<NameExpression> compiled = NameExpression::Compile(expression, prompts);
    return compiled ? compiled->Expand(targets.front()->Tag()) : std::u16string();
}

RenamePlan PlanRenames(const NameExpression& expression, std::span<const RecordPtr> targets) {
    RenamePlan plan;
    for (const RecordPtr& record : targets) {
        std::u16string newName = ReplaceFileNameCharacters(expression.Expand(record->Tag()));
        if (newName != record->FileName()) plan.push_back({record, record->FileName(), std::move(newName)});
    }
    return plan;
}

std::optional<RenamePlan> PrepareRename(std::u16string_view expression, std::span<const RecordPtr> targets,
                                        const EditGate& gate, UserPrompts& prompts, SettingsStore* history) {
    if (RefuseWhileSaving(gate, targets, prompts)) return std::nullopt;
    // Stored before it is compiled: a mistyped expression can be picked and mended.
    if (history) AddToHistory(*history, kRenamesHistory, expression);
    const std::optional<NameExpression> compiled = NameExpression::Compile(expression, prompts);
    if (!compiled) return std::nullopt;
    return PlanRenames(*compiled, targets);
}

void ApplyRenames(const RenamePlan& plan) {
    for (auto rename = plan.rbegin(); rename != plan.rend(); ++rename) rename->record->SetFileName(rename->newName);
}

}  // namespace quorvane
