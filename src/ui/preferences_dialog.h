#pragma once
// "Quorvane Preferences": the pages General, User Interface and ID3v2 over the settings
// store, with OK and Cancel. Each control shows its setting's effective value; OK writes
// only what the user changed (see preference_values.h).
#include <QDialog>

#include <vector>

#include "ui/preference_values.h"

class QCheckBox;
class QComboBox;
class QRadioButton;
class QTabWidget;

namespace quorvane {
class UserPrompts;
}

namespace quorvane::ui {

class PreferencesDialog final : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(UserPrompts& prompts, QWidget* parent = nullptr);

    // What the controls show now.
    PreferenceValues Shown() const;
    QTabWidget& Pages() const { return *pages_; }

public slots:
    // OK: the restart notice, then the changed values.
    void accept() override;

private:
    QWidget* MakeGeneralPage();
    QWidget* MakeInterfacePage();
    QWidget* MakeId3v2Page();
    void Show(const PreferenceValues& values);
    void UpdateEncodingLists();

    UserPrompts& prompts_;
    const PreferenceValues initial_;
    std::vector<PaddingChoice> paddingChoices_;
    QTabWidget* pages_;

    QCheckBox* recurse_;
    QCheckBox* autoDeleteV1_;
    QCheckBox* autoConvert_;
    QRadioButton* startupLoad_;
    QRadioButton* startupPrompt_;
    QRadioButton* startupNothing_;

    QCheckBox* showIcons_;
    QCheckBox* showRedText_;
    QCheckBox* showGridlines_;
    QCheckBox* alternateBg_;
    QCheckBox* tooltips_;

    QCheckBox* saveEmpty_;
    QRadioButton* version23_;
    QRadioButton* version24_;
    QComboBox* encoding23_;
    QComboBox* encoding24_;
    QComboBox* padding_;
};

}  // namespace quorvane::ui
