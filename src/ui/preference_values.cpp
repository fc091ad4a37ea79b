#include "ui/preference_values.h"

#include "platform/settings_store.h"

namespace quorvane::ui {

std::vector<PaddingChoice> PaddingChoices(uint32_t stored) {
    std::vector<PaddingChoice> choices = {
        {QString(), settings::kNeverDecreasePadding},
        {QStringLiteral("128 KB"), 131072},
        {QStringLiteral("256 KB"), 262144},
        {QStringLiteral("512 KB"), 524288},
        {QStringLiteral("1 MB"), 1048576},
        {QStringLiteral("2 MB"), 2097152},
        {QStringLiteral("4 MB"), 4194304},
    };
    bool listed = false;
    for (const PaddingChoice& choice : choices) listed |= choice.value == stored;
    if (!listed) choices.push_back({QStringLiteral("%1 bytes").arg(stored), stored});
    return choices;
}

const std::vector<QString>& EncodingNames23() {
    static const std::vector<QString> names = {QStringLiteral("ISO-8859-1 (8 bits)"),
                                               QStringLiteral("16-bit Unicode 2.0")};
    return names;
}

const std::vector<QString>& EncodingNames24() {
    static const std::vector<QString> names = {
        QStringLiteral("ISO-8859-1 (8 bits)"), QStringLiteral("16-bit Unicode 2.0 with BOM"),
        QStringLiteral("16-bit Unicode 2.0 without BOM"), QStringLiteral("UTF-8")};
    return names;
}

PreferenceValues PreferenceValues::Read() {
    SettingsStore& store = SettingsStore::Instance();
    PreferenceValues v;
    v.recurse = settings::Recurse();
    v.autoDeleteV1 = settings::AutoDeleteV1();
    v.autoConvertToV2 = settings::AutoConvertToV2();
    const uint32_t startup = settings::StartupAction();
    v.startupAction = startup <= 1 ? startup : 2;
    v.showIcons = store.ReadBool("ShowIcons", false);
    v.showRedText = store.ReadBool("ShowRedText", true);
    v.showGridlines = store.ReadBool("ShowGridlines", false);
    v.alternateBg = store.ReadBool("AlternateBg", true);
    v.tooltips = store.ReadBool("Tooltips", true);
    v.saveEmpty = settings::SaveEmpty();
    v.use24 = settings::Use24();
    // The raw number: an index the chosen list lacks shows its first entry.
    const uint32_t encoding = store.ReadNumber("Encoding", 0);
    const size_t listSize = v.use24 ? EncodingNames24().size() : EncodingNames23().size();
    (v.use24 ? v.encoding24 : v.encoding23) = encoding < listSize ? encoding : 0;
    v.padding = settings::DecreasePaddingVal();
    return v;
}

void WriteChangedPreferences(const PreferenceValues& before, const PreferenceValues& after) {
    SettingsStore& store = SettingsStore::Instance();
    auto boolean = [&](const char* name, bool PreferenceValues::*field) {
        if (before.*field != after.*field) store.WriteBool(name, after.*field);
    };
    boolean("Recurse", &PreferenceValues::recurse);
    boolean("AutoDeleteV1", &PreferenceValues::autoDeleteV1);
    boolean("AutoConvertToV2", &PreferenceValues::autoConvertToV2);
    if (before.startupAction != after.startupAction) store.WriteNumber("StartupAction", after.startupAction);
    boolean("ShowIcons", &PreferenceValues::showIcons);
    boolean("ShowRedText", &PreferenceValues::showRedText);
    boolean("ShowGridlines", &PreferenceValues::showGridlines);
    boolean("AlternateBg", &PreferenceValues::alternateBg);
    boolean("Tooltips", &PreferenceValues::tooltips);
    boolean("SaveEmpty", &PreferenceValues::saveEmpty);
    boolean("Use2.4", &PreferenceValues::use24);
    if (before.use24 != after.use24 || before.Encoding() != after.Encoding()) {
        store.WriteNumber("Encoding", after.Encoding());
    }
    if (before.padding != after.padding) store.WriteNumber("DecreasePaddingVal", after.padding);
}

}  // namespace quorvane::ui
