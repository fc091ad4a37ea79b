// quorvane: the desktop program. `quorvane DIR...` adds the directories given.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <string>

#include "platform/settings_store.h"
#include "ui/desktop_launcher.h"
#include "ui/main_window.h"
#include "ui/qt_prompts.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setDesktopFileName(QStringLiteral("quorvane"));

    quorvane::SettingsStore& store = quorvane::SettingsStore::Instance();
    std::string error;
    if (!store.OpenSettingsKey(&error)) {
        std::fprintf(stderr, "quorvane: cannot open the settings file %s: %s\n", store.Path().c_str(), error.c_str());
        return 1;
    }
    quorvane::ui::QtPrompts prompts;
    store.SetPrompts(&prompts);
    quorvane::ui::SystemLauncher launcher;
    int status = 0;
    {
        quorvane::ui::MainWindow window(prompts, launcher);
        const uint32_t startup = window.Start();
        bool added = false;
        for (const QString& argument : app.arguments().mid(1)) {
            // As a desktop entry's %F passes them: folders are added, anything else ignored.
            if (QFileInfo(argument).isDir()) {
                window.AddDirectoryPath(QFileInfo(argument).absoluteFilePath());
                added = true;
            }
        }
        window.show();
        if (startup == 1 && !added) QTimer::singleShot(0, &window, &quorvane::ui::MainWindow::AddDirectory);
        status = app.exec();
        prompts.Dismiss();
    }
    store.SetPrompts(nullptr);
    return status;
}
