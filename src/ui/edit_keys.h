#pragma once
// The classic edit keys for the focused text field: Ctrl+Insert copies, Shift+Delete
// cuts, Shift+Insert pastes and Alt+Backspace undoes, besides Ctrl+C/X/V/Z that the
// fields know by themselves.
class QWidget;

namespace quorvane::ui {

void InstallEditKeys(QWidget& window);

}  // namespace quorvane::ui
