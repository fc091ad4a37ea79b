#pragma once
// What the preferences sheet shows and writes, apart from its widgets. Every value is
// read as the program uses it (a missing "Use2.4" or "AutoDeleteV1" is on, as for the
// tag writers), and only the values the user changed are written back: confirming the
// sheet without a change leaves the settings file as it was.
#include <cstdint>
#include <vector>

#include <QString>

namespace quorvane::ui {

struct PaddingChoice {
    QString text;
    uint32_t value;
};
// The padding list: the empty "never" entry, then 128 KB to 4 MB; a stored value that is
// none of these is offered as one more entry, so it survives the sheet.
std::vector<PaddingChoice> PaddingChoices(uint32_t stored);

// The entries of the two encoding lists.
const std::vector<QString>& EncodingNames23();
const std::vector<QString>& EncodingNames24();

struct PreferenceValues {
    // General
    bool recurse = true;
    bool autoDeleteV1 = true;
    bool autoConvertToV2 = false;
    uint32_t startupAction = 2;  // 0, 1, or 2 for "Do nothing" (any other stored value)
    // User Interface
    bool showIcons = false;
    bool showRedText = true;
    bool showGridlines = false;
    bool alternateBg = true;
    bool tooltips = true;
    // ID3v2
    bool saveEmpty = true;
    bool use24 = true;
    uint32_t encoding23 = 0;  // selected index of each version's list
    uint32_t encoding24 = 0;
    uint32_t padding = 4294967295u;

    bool operator==(const PreferenceValues&) const = default;

    // The values as the settings give them now.
    static PreferenceValues Read();
    // The "Encoding" the sheet stands for: the index in the chosen version's list.
    uint32_t Encoding() const { return use24 ? encoding24 : encoding23; }
};

// Writes each value of `after` that differs from `before` (the values shown when the
// sheet opened). "Encoding" is written when the version or its list's choice changed.
void WriteChangedPreferences(const PreferenceValues& before, const PreferenceValues& after);

}  // namespace quorvane::ui
