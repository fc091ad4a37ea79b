#pragma once
// The expression boxes of the rename and generation dialogs: an editable combo box whose
// list holds a history, the most recently used entry first, and whose edit part starts
// empty. The pattern box also completes what the user types from its list.
#include <QComboBox>
#include <QLineEdit>

#include <string>
#include <vector>

namespace quorvane::ui {

// The box's edit part: tells typing apart from other changes of the text, and whether
// the last key erased.
class HistoryEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit HistoryEdit(QWidget* parent = nullptr);
    bool Erasing() const { return erasing_; }
    bool InKeyPress() const { return inKeyPress_; }

signals:
    // The user changed the text: once per key press that changed it, after the key's
    // whole effect, and for edits without a key (pasting with the mouse).
    void Typed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool erasing_ = false;
    bool inKeyPress_ = false;
    bool editedInKeyPress_ = false;
};

class HistoryCombo final : public QComboBox {
    Q_OBJECT
public:
    explicit HistoryCombo(QWidget* parent = nullptr);

    // The entries as listed, the most recently used first; the edit part is emptied.
    void SetHistory(const std::vector<std::u16string>& entries);
    std::vector<std::u16string> History() const;
    // Typing completes from the list (the first entry that begins with the typed text,
    // letter case ignored), except right after Backspace or Delete, so that a text that
    // is the start of an entry can be typed.
    void SetCompletesFromHistory(bool on) { completes_ = on; }

    std::u16string Text() const;
    HistoryEdit& Edit() const { return *edit_; }

signals:
    // The text changed: typed (after its completion), picked from the list, or set.
    // Once per change.
    void TextChanged();

private:
    void OnTyped();

    HistoryEdit* edit_;
    bool completes_ = false;
    bool completing_ = false;
};

}  // namespace quorvane::ui
