#pragma once
// A single-line edit that stands for one field of many files: it shows their common
// value, or nothing with a grey "(empty)" or "(multiple)" until the user types, and
// tells whether the user changed it, so a field left alone keeps each file's own value.
// It may offer inline completion from the selection's values and may take digits only.
#include <QLineEdit>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "operations/common_value.h"
#include "operations/completion.h"

namespace quorvane::ui {

class MultiValueEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit MultiValueEdit(QWidget* parent = nullptr);

    // Typed characters other than digits are refused (pasted text is taken as it is).
    void SetDigitsOnly(bool digitsOnly) { digitsOnly_ = digitsOnly; }

    // The values completion offers, asked for at the first key typed after each Show.
    using CompletionValuesSource = std::function<std::vector<std::u16string>()>;
    void SetCompletionSource(CompletionValuesSource source) { source_ = std::move(source); }

    // Shows the field of a new selection; the modified flag is cleared.
    void Show(const FieldDisplay& display);
    DisplayState State() const { return state_; }
    // The grey text painted now: "(empty)" or "(multiple)" until the user types.
    QString Placeholder() const;
    // The text when the user changed it since Show; none when untouched.
    std::optional<std::u16string> Edited() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void OnTextEdited(const QString& text);

    DisplayState state_ = DisplayState::Empty;
    InlineCompleter completer_;
    CompletionValuesSource source_;
    std::optional<std::vector<std::u16string>> values_;  // taken at the first key
    bool completing_ = false;
    bool digitsOnly_ = false;
};

}  // namespace quorvane::ui
