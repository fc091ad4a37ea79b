#pragma once
// Opening files, folders and the manual with the desktop's programs, and running the
// enqueue command. Behind an interface so the tests see what would be opened.
#include <QString>
#include <QStringList>
#include <QUrl>

#include <string>
#include <string_view>
#include <vector>

#include "library/mp3_file_record.h"

namespace quorvane {
class UserPrompts;
}

namespace quorvane::ui {

class DesktopLauncher {
public:
    virtual ~DesktopLauncher() = default;
    // The desktop's default program for the URL (xdg-open). False when none ran.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // Runs the program with these arguments, without a shell. False when it did not start.
    virtual bool StartDetached(const QString& program, const QStringList& arguments) = 0;
};

class SystemLauncher final : public DesktopLauncher {
public:
    bool OpenUrl(const QUrl& url) override;
    bool StartDetached(const QString& program, const QStringList& arguments) override;
};

// The file: URL of a path as the core holds it; a name that is not UTF-8 keeps its bytes.
QUrl LocalFileUrl(std::u16string_view path);
// The file where it is on disk now (a pending rename has not happened yet).
QUrl FileUrl(const Mp3FileRecord& record);

// "Play": opens each file with the desktop's default program.
void PlayFiles(DesktopLauncher& launcher, const std::vector<RecordPtr>& records);
// "Enqueue": runs the "EnqueueCommand" setting (a program and its own arguments, split
// like a command line but never given to a shell) with the file's path appended as one
// more argument (its file: URL when the name is not UTF-8, which no QString carries); with
// no command set, or one that does not start, the file is opened.
void EnqueueFiles(DesktopLauncher& launcher, const std::vector<RecordPtr>& records);
// "Explore directory": each distinct directory once, in the order first met.
void ExploreDirectories(DesktopLauncher& launcher, const std::vector<RecordPtr>& records);

// The user manual: beside the program, in the installed documentation folder, or in the
// source tree of a build. Empty when none exists.
QString FindManual();
// "Contents...": opens the manual found (FindManual), or tells "Couldn't open help file"
// when there is none or it cannot be opened.
void OpenManual(DesktopLauncher& launcher, UserPrompts& prompts, const QString& manual);

}  // namespace quorvane::ui
