#pragma once
// The histories of the rename and generation dialogs: string lists in the settings,
// oldest first, each shown in its dialog's box with the most recently used first; and
// the completion that the pattern box offers from its list.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

class SettingsStore;

inline constexpr std::string_view kRenamesHistory = "Renames";
inline constexpr std::string_view kGenNormalsHistory = "GenNormals";
inline constexpr std::string_view kRegExpsHistory = "RegExps";

// The entries of a history as the box lists them, the most recently used first. When
// the history is empty and `defaultEntry` is given, that entry is stored as the whole
// history first and is the only one listed.
std::vector<std::u16string> LoadHistory(SettingsStore& store, std::string_view name,
                                        std::u16string_view defaultEntry = {});

// Equal entries (exact comparison) go, the entry is appended as the newest; no limit.
void AddToHistory(SettingsStore& store, std::string_view name, std::u16string_view entry);

// What the box shows after the user typed: its text and the selected range in it.
struct Completion {
    std::u16string text;
    size_t selectionStart = 0;
    size_t selectionEnd = 0;
    bool operator==(const Completion&) const = default;
};

// The first entry of `entries` (in the box's order) that begins with `typed`, letter
// case ignored, becomes the text in its own spelling; when the caret (the selection's
// end) stood at or after the end of the typed text, the completed part is selected so
// that typing on replaces it, otherwise the selection stays. Without such an entry, or
// when nothing is typed, the typed text and its selection stay as they were.
Completion CompleteFromHistory(std::u16string_view typed, size_t selectionStart, size_t selectionEnd,
                               std::span<const std::u16string> entries);

}  // namespace quorvane
