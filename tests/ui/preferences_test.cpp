// The preferences sheet: what it shows for stored and missing values, and what OK and
// Cancel write.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include "ui/preferences_dialog.h"
#include "window_fixture.h"

namespace quorvane::test {
namespace {

constexpr std::u16string_view kRestartNotice = u"Some settings will not take effect until the program is restarted.";

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SettingsStore::Instance().OpenAt(SettingsPath())); }
    std::string SettingsPath() const { return (dir_ / "settings.ini").string(); }
    std::map<std::string, SettingValue> Stored() { return SettingsStore::Instance().ReadAll(); }

    template <typename Widget>
    static Widget* Find(const QWidget& dialog, const QString& text) {
        for (Widget* widget : dialog.findChildren<Widget*>()) {
            if (widget->text() == text) return widget;
        }
        ADD_FAILURE() << "no control " << text.toStdString();
        return nullptr;
    }
    static QComboBox* Padding(const QWidget& dialog) {
        for (QComboBox* box : dialog.findChildren<QComboBox*>()) {
            if (box->findText(QStringLiteral("4 MB")) >= 0) return box;
        }
        return nullptr;
    }
    static QComboBox* EncodingList(const QWidget& dialog, bool v24) {
        for (QComboBox* box : dialog.findChildren<QComboBox*>()) {
            if (box->findText(QStringLiteral("ISO-8859-1 (8 bits)")) >= 0 &&
                (box->count() == 4) == v24) {
                return box;
            }
        }
        return nullptr;
    }

    TempDir dir_;
    RecordingPrompts prompts_;
};

// Values the sheet shows otherwise than stored (a version-2.3 list without index 3, a
// padding it does not offer, a startup action it shows as "Do nothing") are kept: OK
// writes only what changed, and shows the notice every time.
TEST_F(PreferencesTest, StoredValuesTheListsLackAreShownAndKept) {
    SettingsStore::Instance().WriteNumber("Encoding", 3);
    SettingsStore::Instance().WriteBool("Use2.4", false);
    SettingsStore::Instance().WriteNumber("DecreasePaddingVal", 100000);
    SettingsStore::Instance().WriteNumber("StartupAction", 7);
    const auto stored = Stored();
    const std::vector<uint8_t> bytes = ReadFileBytes(SettingsPath());
    {
        ui::PreferencesDialog dialog(prompts_);
        QComboBox* padding = Padding(dialog);
        EXPECT_EQ(padding->count(), 8);
        EXPECT_EQ(padding->currentText(), QStringLiteral("100000 bytes"));
        EXPECT_EQ(EncodingList(dialog, false)->currentIndex(), 0);  // 2.3 has no index 3
        EXPECT_TRUE(EncodingList(dialog, false)->isEnabled());
        EXPECT_TRUE(Find<QRadioButton>(dialog, QStringLiteral("Do nothing"))->isChecked());
        dialog.accept();
    }
    EXPECT_EQ(Stored(), stored);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), bytes);
    {
        ui::PreferencesDialog dialog(prompts_);
        Find<QCheckBox>(dialog, QStringLiteral("Show gridlines"))->click();
        dialog.accept();
    }
    EXPECT_EQ(SettingsStore::Instance().ReadNumber("DecreasePaddingVal", 0), 100000u);
    EXPECT_EQ(SettingsStore::Instance().ReadNumber("Encoding", 0), 3u);
    EXPECT_TRUE(SettingsStore::Instance().ReadBool("ShowGridlines", false));
    EXPECT_EQ(Stored().size(), 5u);  // only the changed value was added
    {
        ui::PreferencesDialog dialog(prompts_);
        Padding(dialog)->setCurrentIndex(Padding(dialog)->findText(QStringLiteral("1 MB")));
        dialog.accept();
    }
    EXPECT_EQ(SettingsStore::Instance().ReadNumber("DecreasePaddingVal", 0), 1048576u);
    ASSERT_EQ(prompts_.Count(), 3u);
    for (const RecordedPrompt& prompt : prompts_.Prompts()) {
        EXPECT_EQ(prompt.kind, "information");
        EXPECT_EQ(prompt.text, kRestartNotice);
        EXPECT_EQ(prompt.caption, u"Quorvane 1.7");
    }
}

TEST_F(PreferencesTest, MissingValuesShowWhatTheProgramUsesAndCancelWritesNothing) {
    const auto stored = Stored();
    ui::PreferencesDialog dialog(prompts_);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Quorvane Preferences"));
    ASSERT_EQ(dialog.Pages().count(), 3);
    EXPECT_EQ(dialog.Pages().tabText(0), QStringLiteral("General"));
    EXPECT_EQ(dialog.Pages().tabText(1), QStringLiteral("User Interface"));
    EXPECT_EQ(dialog.Pages().tabText(2), QStringLiteral("ID3v2"));
    const struct {
        const char* text;
        bool checked;
    } boxes[] = {
        {"Recurse Subdirectories", true},
        {"Automatically remove empty IDv1 tags", true},  // the ID3v1 writer's default
        {"Automatically convert from ID3v1 to ID3v2 if ID3v2 tag is empty", false},
        {"Show icons for updated files", false},
        {"Show updated files with red text", true},
        {"Show gridlines", false},
        {"Alternate item background color", true},
        {"Show tooltips", true},
        {"Save empty frames", true},
    };
    for (const auto& box : boxes) {
        QCheckBox* check = Find<QCheckBox>(dialog, QString::fromUtf8(box.text));
        ASSERT_TRUE(check);
        EXPECT_EQ(check->isChecked(), box.checked) << box.text;
    }
    EXPECT_TRUE(Find<QRadioButton>(dialog, QStringLiteral("Do nothing"))->isChecked());
    // The writer's default is 2.4.
    QRadioButton* v24 = Find<QRadioButton>(
        dialog,
        QStringLiteral("Save files in ID3v2.4\n(more flexible, but may create\nproblems with older media players)"));
    ASSERT_TRUE(v24);
    EXPECT_TRUE(v24->isChecked());
    EXPECT_TRUE(EncodingList(dialog, true)->isEnabled());
    EXPECT_FALSE(EncodingList(dialog, false)->isEnabled());
    EXPECT_EQ(Padding(dialog)->currentText(), QString());  // never
    EXPECT_EQ(Padding(dialog)->count(), 7);

    Find<QCheckBox>(dialog, QStringLiteral("Recurse Subdirectories"))->click();
    Find<QRadioButton>(dialog, QStringLiteral("Load last loaded directories"))->click();
    dialog.reject();
    EXPECT_EQ(Stored(), stored);
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(PreferencesTest, ChangingTheVersionWritesItsListsChoice) {
    {
        ui::PreferencesDialog dialog(prompts_);
        EncodingList(dialog, true)->setCurrentIndex(3);  // UTF-8
        dialog.accept();
    }
    EXPECT_EQ(SettingsStore::Instance().ReadNumber("Encoding", 9), 3u);
    EXPECT_FALSE(SettingsStore::Instance().ReadRaw("Use2.4").has_value());  // unchanged: not written
    {
        ui::PreferencesDialog dialog(prompts_);
        EXPECT_EQ(EncodingList(dialog, true)->currentIndex(), 3);
        Find<QRadioButton>(dialog, QStringLiteral("Save files in ID3v2.3\n(more compatible)"))->click();
        EXPECT_FALSE(EncodingList(dialog, true)->isEnabled());
        EncodingList(dialog, false)->setCurrentIndex(1);
        Find<QRadioButton>(dialog, QStringLiteral("Prompt for directory to load"))->click();
        dialog.accept();
    }
    EXPECT_FALSE(SettingsStore::Instance().ReadBool("Use2.4", true));
    EXPECT_EQ(SettingsStore::Instance().ReadNumber("Encoding", 9), 1u);
    EXPECT_EQ(SettingsStore::Instance().ReadNumber("StartupAction", 9), 1u);
}

class PreferencesWindowTest : public WindowTest {};

TEST_F(PreferencesWindowTest, TheListTakesTheSettingsWhenTheSheetCloses) {
    EXPECT_FALSE(window_->List().showGrid());
    // Answer the modal sheet as a user would: tick "Show gridlines", press OK.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<ui::PreferencesDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) {
            if (box->text() == QStringLiteral("Show gridlines")) box->click();
        }
        dialog->accept();
    });
    window_->CommandAction(ui::Command::Preferences)->trigger();
    EXPECT_TRUE(window_->List().showGrid());
    EXPECT_EQ(CountPrompts("information", kRestartNotice), 1u);

    // Cancel still re-applies what is stored (changed meanwhile elsewhere).
    SettingsStore::Instance().WriteBool("ShowGridlines", false);
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    window_->CommandAction(ui::Command::Preferences)->trigger();
    EXPECT_FALSE(window_->List().showGrid());
}

}  // namespace
}  // namespace quorvane::test
