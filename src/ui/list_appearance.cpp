#include "ui/list_appearance.h"

#include <algorithm>

#include "platform/settings_store.h"

namespace quorvane::ui {

ListAppearance ListAppearance::FromSettings() {
    SettingsStore& store = SettingsStore::Instance();
    ListAppearance a;
    a.redText = store.ReadBool("ShowRedText", true);
    a.icons = store.ReadBool("ShowIcons", false);
    a.alternateBg = store.ReadBool("AlternateBg", true);
    a.gridlines = store.ReadBool("ShowGridlines", false);
    return a;
}

QRgb AlternateRowColor(QRgb window) {
    const int r = qRed(window), g = qGreen(window), b = qBlue(window);
    const int step = std::max({r, g, b}) >= 0xF7 ? -8 : 8;
    auto move = [step](int channel) { return std::clamp(channel + step, 0, 255); };
    return qRgb(move(r), move(g), move(b));
}

}  // namespace quorvane::ui
