#include "ui/tooltips.h"

#include <QWidget>

#include "platform/settings_store.h"

namespace quorvane::ui {

bool TooltipsOn() { return SettingsStore::Instance().ReadBool("Tooltips", true); }

void SetTooltip(QWidget& widget, const QString& text, bool on) { widget.setToolTip(on ? text : QString()); }

}  // namespace quorvane::ui
