// The real program under Xvfb, driven with xdotool as a person would: start it on a
// directory, select the rows, remove their ID3v1 tags from the Edit menu, save with
// Ctrl+S, quit from the File menu; then mutagen reads the files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <chrono>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace quorvane::test {
namespace {

using namespace std::chrono_literals;

class Xvfb {
public:
    // Starts a server on the first free display from :91; false when none started.
    bool Start() {
        for (int display = 91; display < 110; ++display) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) ||
                QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display))) {
                continue;
            }
            name_ = QStringLiteral(":%1").arg(display);
            server_.setProgram(QStringLiteral("Xvfb"));
            server_.setArguments({name_, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24"),
                                  QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            server_.start();
            if (!server_.waitForStarted(5000)) continue;
            for (int i = 0; i < 100; ++i) {
                if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) return true;
                if (server_.state() != QProcess::Running) break;
                std::this_thread::sleep_for(50ms);
            }
            server_.kill();
            server_.waitForFinished();
        }
        return false;
    }
    ~Xvfb() {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            if (!server_.waitForFinished(5000)) server_.kill();
        }
    }
    const QString& Name() const { return name_; }

private:
    QProcess server_;
    QString name_;
};

class EndToEnd : public ::testing::Test {
protected:
    CommandResult Xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), {"env", "DISPLAY=" + xvfb_.Name().toStdString(), "xdotool"});
        return RunCommand(args);
    }
    void Keys(const std::string& keys) {
        const CommandResult r = Xdotool({"key", "--delay", "80", keys});
        ASSERT_EQ(r.status, 0) << r.err;
        std::this_thread::sleep_for(300ms);
    }
    Xvfb xvfb_;
};

TEST_F(EndToEnd, RemoveV1SaveAndQuitThroughTheWindow) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        GTEST_SKIP() << "Xvfb or xdotool is not installed";
    }
    ASSERT_TRUE(xvfb_.Start());

    TempDir tree, settings, runtime;
    const char* names[] = {"01 one.mp3", "02 two.mp3", "03 three.mp3"};
    std::vector<std::string> paths;
    for (const char* name : names) {
        paths.push_back((tree / name).string());
        MakeMp3(paths.back(), {"-b", "128"}, 1.0);
    }
    const CommandResult tagged = RunPython(R"(
import sys
from mutagen.id3 import ID3, TIT2
for i, path in enumerate(sys.argv[1:]):
    tag = ID3()
    tag.add(TIT2(encoding=3, text=['Song %d' % i]))
    tag.save(path, v1=2, v2_version=3)
)", paths);
    ASSERT_EQ(tagged.status, 0) << tagged.err;

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), xvfb_.Name());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QUORVANE_SETTINGS"), QString::fromStdString((settings / "settings.ini").string()));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime.Path().string()));
    program.setProcessEnvironment(env);
    program.setProgram(QStringLiteral(QUORVANE_GUI_PATH));
    program.setArguments({QString::fromStdString(tree.Path().string())});
    program.start();
    ASSERT_TRUE(program.waitForStarted(10000));

    const CommandResult found = Xdotool({"search", "--sync", "--limit", "1", "--name", "^Quorvane 1.7$"});
    ASSERT_EQ(found.status, 0) << found.err;
    std::string window = found.out.substr(0, found.out.find('\n'));
    ASSERT_FALSE(window.empty());
    std::this_thread::sleep_for(1500ms);  // the rows arrive with the row timer
    ASSERT_EQ(Xdotool({"windowfocus", "--sync", window}).status, 0);

    // Into the list below its rows (the tag editor takes the lower part of the window),
    // then the first row and down to the last with Shift.
    ASSERT_EQ(Xdotool({"mousemove", "--window", window, "500", "300", "click", "1"}).status, 0);
    std::this_thread::sleep_for(300ms);
    Keys("Home");
    Keys("shift+End");
    Keys("alt+e");   // Edit
    Keys("Return");  // its first item: Remove ID3v1
    Keys("ctrl+s");
    std::this_thread::sleep_for(1500ms);
    Keys("alt+f");
    Keys("x");  // E&xit
    const bool ended = program.waitForFinished(15000);
    if (!ended) program.kill();
    ASSERT_TRUE(ended) << "the program did not quit";
    EXPECT_EQ(program.exitCode(), 0);

    const CommandResult checked = RunPython(R"(
import sys
from mutagen.id3 import ID3
for path in sys.argv[1:]:
    with open(path, 'rb') as f:
        f.seek(-128, 2)
        v1 = f.read(3) == b'TAG'
    print('%s v1=%d title=%s' % (path.rsplit('/', 1)[1], v1, ID3(path)['TIT2']))
)", paths);
    ASSERT_EQ(checked.status, 0) << checked.err;
    EXPECT_EQ(checked.out, "01 one.mp3 v1=0 title=Song 0\n02 two.mp3 v1=0 title=Song 1\n03 three.mp3 v1=0 title=Song 2\n");
}

}  // namespace
}  // namespace quorvane::test
