#include "operations/history.h"

#include <algorithm>

#include "platform/settings_store.h"
#include "platform/text_codec.h"

namespace quorvane {

std::vector<std::u16string> LoadHistory(SettingsStore& store, std::string_view name, std::u16string_view defaultEntry) {
    std::vector<std::u16string> entries = store.ReadStringList(name);
    if (entries.empty() && !defaultEntry.empty()) {
        store.WriteStringList(name, {std::u16string(defaultEntry)});
        return {std::u16string(defaultEntry)};
    }
    std::reverse(entries.begin(), entries.end());
    return entries;
}

void AddToHistory(SettingsStore& store, std::string_view name, std::u16string_view entry) {
    store.AppendToList(name, entry);
}

Completion CompleteFromHistory(std::u16string_view typed, size_t selectionStart, size_t selectionEnd,
                               std::span<const std::u16string> entries) {
    Completion unchanged{std::u16string(typed), selectionStart, selectionEnd};
    if (typed.empty()) return unchanged;
    for (const std::u16string& entry : entries) {
        if (entry.size() < typed.size() || !EqualsIgnoreCase(std::u16string_view(entry).substr(0, typed.size()), typed))
            continue;
        if (selectionEnd >= typed.size()) return {entry, typed.size(), entry.size()};
        return {entry, selectionStart, selectionEnd};
    }
    return unchanged;
}

}  // namespace quorvane
