#pragma once
// The "Generate ID3 Tags" dialog: the page "Simple" fills the tags by a pattern of
// variables and separators, with a preview of the six fields for the first target
// file; the page "Regular Expressions" by a regular expression with named groups. The
// page showing when "Generate" is pressed plans the generation; the window applies the
// plan once the dialog closes confirmed.
#include <QDialog>

#include <array>
#include <vector>

#include "library/mp3_file_record.h"
#include "operations/generation_plan.h"
#include "operations/pattern_generation.h"
#include "ui/preview_prompts.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace quorvane {
class EditGate;
}

namespace quorvane::ui {

class HistoryCombo;

class GenerateDialog final : public QDialog {
    Q_OBJECT
public:
    enum class Page { Simple = 0, RegularExpressions = 1 };

    // Loads the "GenNormals" and "RegExps" histories from the settings.
    GenerateDialog(std::vector<RecordPtr> targets, const EditGate& gate, UserPrompts& prompts,
                   QWidget* parent = nullptr);

    // What the confirmed page planned.
    const GenerationPlan& Plan() const { return plan_; }

    void ShowPage(Page page);
    Page CurrentPage() const;
    HistoryCombo& PatternBox() const { return *pattern_; }
    HistoryCombo& RegExpBox() const { return *regexp_; }
    QString PreviewName() const;
    QString PreviewText(PreviewField field) const;
    QPushButton& GenerateButton() const { return *generate_; }
    QPushButton& CancelButton() const { return *cancel_; }

    // "Generate": the page showing plans; a regular expression that does not compile
    // keeps the dialog open on its page.
    void accept() override;

private:
    QWidget* MakeSimplePage();
    QWidget* MakeRegExpPage();
    void UpdatePreview();

    std::vector<RecordPtr> targets_;
    const EditGate& gate_;
    UserPrompts& prompts_;
    PreviewPrompts previewPrompts_;
    GenerationPlan plan_;
    bool tips_;

    QTabWidget* pages_;
    HistoryCombo* pattern_;
    HistoryCombo* regexp_;
    QLabel* previewName_;
    std::array<QLineEdit*, kPreviewFieldCount> previewFields_{};
    QPushButton* generate_;
    QPushButton* cancel_;
};

}  // namespace quorvane::ui
