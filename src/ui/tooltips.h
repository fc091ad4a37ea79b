#pragma once
// Tool tips of dialogs and panes: shown when the setting "Tooltips" was on when the
// dialog was made (a change applies to dialogs made afterwards).
#include <QString>

class QWidget;

namespace quorvane::ui {

// Read once per dialog, when it is built.
bool TooltipsOn();

// Gives `widget` the tip when `on`; leaves it without one otherwise.
void SetTooltip(QWidget& widget, const QString& text, bool on);

}  // namespace quorvane::ui
