// The real program under Xvfb, driven with xdotool as a person would: start it on a
// directory, select rows, rename them from their tags in the "Rename" dialog, remove the
// ID3v1 tag of another from the Edit menu, save with Ctrl+S, quit from the File menu;
// then mutagen reads the files.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "window_fixture.h"

namespace quorvane::test {
namespace {

using namespace std::chrono_literals;

class Xvfb {
public:
    // Starts a server on a display the server picks itself (it writes the number to its
    // standard output), so tests running side by side never share one; false when none
    // started.
    bool Start() {
        server_.setProgram(QStringLiteral("Xvfb"));
        server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                              QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp")});
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start();
        if (!server_.waitForStarted(5000)) return false;
        QByteArray number;
        for (int i = 0; i < 200 && !number.contains('\n'); ++i) {
            if (server_.state() != QProcess::Running) return false;
            server_.waitForReadyRead(50);
            number += server_.readAllStandardOutput();
        }
        if (!number.contains('\n')) return false;
        name_ = QStringLiteral(":%1").arg(QString::fromLatin1(number.trimmed()));
        return true;
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
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        }
        ASSERT_TRUE(xvfb_.Start());
        // Three files with a title, an artist, a track and an ID3v1 tag.
        MakeTaggedFiles(tree_.Path(), {{"01 one.mp3", {}, 1.0, "Song 0", "AC/DC", "", "1", "", "", true},
                                       {"02 two.mp3", {}, 1.0, "Song 1", "AC/DC", "", "2", "", "", true},
                                       {"03 three.mp3", {}, 1.0, "Song 2", "AC/DC", "", "3", "", "", true}});
    }
    CommandResult Xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), {"env", "DISPLAY=" + xvfb_.Name().toStdString(), "xdotool"});
        return RunCommand(args);
    }
    void Keys(const std::string& keys) {
        const CommandResult r = Xdotool({"key", "--delay", "80", keys});
        ASSERT_EQ(r.status, 0) << r.err;
        std::this_thread::sleep_for(300ms);
    }
    // The first window whose title matches, once it shows; empty when none.
    std::string FindWindow(const std::string& title) {
        const CommandResult found = Xdotool({"search", "--sync", "--limit", "1", "--name", title});
        return found.status == 0 ? found.out.substr(0, found.out.find('\n')) : std::string();
    }
    void Focus(const std::string& window) { ASSERT_EQ(Xdotool({"windowfocus", "--sync", window}).status, 0); }
    // Starts the program on the tree with its own settings, and puts the focus on the
    // first row of the list.
    void Start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), xvfb_.Name());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QUORVANE_SETTINGS"), QString::fromStdString((settings_ / "settings.ini").string()));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime_.Path().string()));
        program_.setProcessEnvironment(env);
        program_.setProgram(QStringLiteral(QUORVANE_GUI_PATH));
        program_.setArguments({QString::fromStdString(tree_.Path().string())});
        program_.start();
        ASSERT_TRUE(program_.waitForStarted(10000));
        window_ = FindWindow("^Quorvane 1.7$");
        ASSERT_FALSE(window_.empty());
        std::this_thread::sleep_for(1500ms);  // the rows arrive with the row timer
        Focus(window_);
        // Into the list below its rows (the tag editor takes the lower part of the
        // window), then to the first row.
        ASSERT_EQ(Xdotool({"mousemove", "--window", window_, "500", "300", "click", "1"}).status, 0);
        std::this_thread::sleep_for(300ms);
        Keys("Home");
    }
    // Ctrl+S, then File > Exit; the program must end by itself.
    void SaveAndQuit() {
        Focus(window_);
        Keys("ctrl+s");
        std::this_thread::sleep_for(1500ms);
        Keys("alt+f");
        Keys("x");  // E&xit
        const bool ended = program_.waitForFinished(15000);
        if (!ended) program_.kill();
        ASSERT_TRUE(ended) << "the program did not quit";
        EXPECT_EQ(program_.exitCode(), 0);
    }
    // mutagen's view of the tree: "name: v1=.. v2=.. title=.. track=.." per file in name order.
    std::string Files() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(tree_.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        std::string view;
        for (const std::string& name : names) view += name + ": " + InspectFile(tree_ / name) + "\n";
        return view;
    }

    Xvfb xvfb_;
    TempDir tree_, settings_, runtime_;
    QProcess program_;
    std::string window_;
};

TEST_F(EndToEnd, RenameFromTagsRemoveV1SaveAndQuitThroughTheWindow) {
    Start();
    Keys("shift+Down");  // the first two rows (the list is in name order)
    Keys("alt+e");
    Keys("Down");
    Keys("Down");    // past Remove ID3v2 and the separator
    Keys("Return");  // Rename...
    const std::string dialog = FindWindow("^Rename$");
    ASSERT_FALSE(dialog.empty());
    Focus(dialog);
    ASSERT_EQ(Xdotool({"type", "--delay", "40", "<track> <artist> - <title>"}).status, 0);
    std::this_thread::sleep_for(300ms);
    Keys("Return");
    Focus(window_);
    Keys("End");     // the last row alone
    Keys("alt+e");   // Edit
    Keys("Return");  // its first item: Remove ID3v1
    SaveAndQuit();
    EXPECT_EQ(Files(),
              "01 AC DC - Song 0.mp3: v1=1 v2=1 title=Song 0 track=1\n"
              "02 AC DC - Song 1.mp3: v1=1 v2=1 title=Song 1 track=2\n03 three.mp3: v1=0 v2=1 title=Song 2 track=3\n");
}

}  // namespace
}  // namespace quorvane::test
