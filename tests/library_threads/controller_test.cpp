// The loading and saving machinery on threads: the controller against a running save, the
// loader thread against the user-interface thread, loads in order, settings read meanwhile.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "library/directory_loader.h"
#include "library/loader_thread.h"
#include "library/parallel_load.h"
#include "library/save_controller.h"
#include "library/save_listener.h"
#include "library/save_record.h"
#include "library/tag_saver.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Polls until `done` holds; false after ten seconds.
template <typename Predicate>
bool WaitFor(Predicate done) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Lets a worker go on only when the test says so.
struct Gate {
    void Open() { open = true; }
    void Wait() {
        ++waiting;
        while (!open) std::this_thread::sleep_for(1ms);
    }
    // Until `count` workers have come to the gate.
    bool WaitForWaiter(int count = 1) { return WaitFor([&] { return waiting >= count; }); }
    std::atomic<bool> open{false};
    std::atomic<int> waiting{0};
};

// The saver's reports in order; a null record stands for SaveFinished.
class ReportQueue : public SaveListener {
public:
    void Saved(const RecordPtr& record) override { Push(record); }
    void SaveFinished() override { Push(nullptr); }
    // The next report; false when none comes.
    bool Next(RecordPtr& report) {
        if (!WaitFor([this] { return Size() > 0; })) return false;
        std::lock_guard lock(mutex_);
        report = reports_.front();
        reports_.pop_front();
        return true;
    }
    size_t Size() {
        std::lock_guard lock(mutex_);
        return reports_.size();
    }

private:
    void Push(RecordPtr record) {
        std::lock_guard lock(mutex_);
        reports_.push_back(std::move(record));
    }
    std::mutex mutex_;
    std::deque<RecordPtr> reports_;
};

// Records every box; with an `errorGate`, an error box stays open until the gate opens,
// as a modal box shown for the loader thread by the user-interface thread would.
class GatedPrompts : public RecordingPrompts {
public:
    void ShowError(std::u16string_view caption, std::u16string_view text) override {
        RecordingPrompts::ShowError(caption, text);
        if (errorGate) errorGate->Wait();
    }
    Gate* errorGate = nullptr;
};

class LogWindow : public MainWindowPort {
public:
    void EmptyList() override { log.push_back("empty"); }
    void SetRedrawSuspended(bool s) override { log.push_back(s ? "suspend" : "resume"); }
    void RedrawRecord(const RecordPtr& r) override { log.push_back("redraw " + U8(r->FileName())); }
    void RedrawVisibleRows() override { log.push_back("redraw visible"); }
    void SetStatusPane(int pane, std::u16string_view text) override { panes[pane] = std::u16string(text); }
    void SetSaveCommandsEnabled(bool e) override { enabled = e; }
    void ExitProgram() override { exited = true; }
    bool Has(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }

    std::vector<std::string> log;
    std::u16string panes[3];
    bool enabled = true;
    bool exited = false;
};

// Files not named "clean*" load with a changed tag; the save clears the change unless
// the file is named "fail*"; every save waits at `gate_` while `holdSaves_`. The loaded
// directories are not kept in the settings (the loader's own tests check that).
class ControllerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SettingsStore::Instance().OpenAt((settingsDir_ / "settings.ini").string()));
        loader_.SetLoadFunction([](Mp3FileRecord& r) {
            if (!r.FileName().starts_with(u"clean")) r.Tag().SetText(kFrameTIT2, u"changed");
            return true;
        });
        saver_.SetSaveFunction([this](Mp3FileRecord& r) {
            if (holdSaves_) gate_.Wait();
            if (!r.FileName().starts_with(u"fail")) r.Tag().ClearChanged();
        });
    }
    void TearDown() override {
        gate_.Open();
        saver_.Join();
    }

    std::u16string Dir(const std::string& rel) const { return PathFromNative((tree_ / rel).string()); }
    // Makes the file "dir/.../name" under the tree.
    void Touch(const std::string& rel) const {
        fs::create_directories((tree_ / rel).parent_path());
        std::ofstream(tree_ / rel) << "x";
    }
    // Makes the files ("dir/name") and loads their directories in the order given.
    void Load(std::initializer_list<std::string> files) {
        for (const std::string& f : files) {
            Touch(f);
            loader_.AddDirectory(Dir(f.substr(0, f.find('/'))));
        }
        loader_.ScanPending(true);
        loader_.TakeNewRecords();
    }
    // Hands the saver's reports to the controller until the save has finished; the
    // names of the records reported saved, in order.
    std::vector<std::string> PumpUntilFinished() {
        std::vector<std::string> saved;
        for (RecordPtr report; reports_.Next(report); saved.push_back(U8(report->FileName()))) {
            if (!report) {
                controller_.OnSaveFinished();
                return saved;
            }
            controller_.OnSaved(report);
        }
        ADD_FAILURE() << "the saver did not finish";
        return saved;
    }

    TempDir settingsDir_, tree_;
    GatedPrompts prompts_;
    DirectoryLoader loader_{prompts_, false};
    ReportQueue reports_;
    TagSaver saver_{prompts_, reports_};
    LogWindow window_;
    SaveController controller_{loader_, saver_, prompts_, window_};
    Gate gate_;
    bool holdSaves_ = false;
};

using Names = std::vector<std::string>;

size_t Questions(const RecordingPrompts& p) {
    size_t n = 0;
    for (const auto& r : p.Prompts()) n += r.kind == "yesnocancel" && r.text == u"Do you want to save changes?";
    return n;
}

// One Saved report per record that needed saving (one whose only change is its name
// too), in order, then one SaveFinished; with nothing to save, the finish alone.
TEST_F(ControllerFixture, SaveReportsEachSavedRecordOnceThenFinishesOnce) {
    Load({"a/clean.mp3", "a/dirty1.mp3", "a/dirty2.mp3"});
    loader_.SnapshotRecords().at(0)->SetFileName(u"renamed.mp3");
    controller_.UpdateStatus();
    EXPECT_EQ(window_.panes[2], u"Updated: 3");
    saver_.SetSaveFunction([this](Mp3FileRecord& r) { SaveRecord(r, prompts_, {}); });
    for (const Names& expected : {Names{"renamed.mp3", "dirty1.mp3", "dirty2.mp3"}, Names{}}) {
        controller_.Save();
        EXPECT_FALSE(window_.enabled);
        EXPECT_EQ(window_.panes[0], u"Saving...");
        EXPECT_EQ(PumpUntilFinished(), expected);
        saver_.Join();
        EXPECT_EQ(reports_.Size(), 0u);
        EXPECT_FALSE(controller_.IsSaving());
        EXPECT_TRUE(window_.enabled);
        EXPECT_EQ(window_.panes[0], u"Saved");
        EXPECT_EQ(window_.panes[1], u"Loaded: 3");
        EXPECT_EQ(window_.panes[2], u"Updated: 0");
    }
    EXPECT_TRUE(fs::exists(tree_ / "a" / "renamed.mp3"));
    EXPECT_TRUE(window_.Has("redraw dirty1.mp3"));
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(ControllerFixture, CommandsDuringASaveNeverDestroyRecordsNorStartASecondSave) {
    Load({"a/dirty1.mp3", "a/dirty2.mp3", "b/dirty3.mp3"});
    holdSaves_ = true;
    controller_.Save();
    ASSERT_TRUE(gate_.WaitForWaiter());
    const auto before = loader_.SnapshotRecords();
    controller_.RefreshList();
    controller_.ClearList();
    controller_.RemoveDirectory(Dir("b"));
    controller_.Save();  // disabled: ignored
    prompts_.QueueAnswer(PromptAnswer::No);  // "Interrupt and exit?" No: exit once every file is saved
    controller_.Exit();
    const auto prompts = prompts_.Prompts();
    ASSERT_EQ(prompts.size(), 4u);
    EXPECT_EQ(prompts[0].text, u"Refreshing is disabled when saving is in progress.");
    EXPECT_EQ(prompts[1].text, u"Clearing is disabled when saving is in progress.");
    EXPECT_EQ(prompts[2].text, u"Removing a directory is disabled when saving is in progress.");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(prompts[i].kind, "error");
    EXPECT_EQ(prompts[3].kind, "yesno");
    EXPECT_EQ(prompts[3].text, u"Saving is in progress.r\nInterrupt and exit?");
    EXPECT_EQ(loader_.SnapshotRecords(), before);
    EXPECT_FALSE(window_.Has("empty") || window_.exited);
    // While saving, pane 0 names the file and "Updated" counts what is left.
    controller_.UpdateStatus();
    EXPECT_EQ(window_.panes[0], u"Saving dirty1.mp3...");
    EXPECT_EQ(window_.panes[2], u"Updated: 3");
    gate_.Open();
    EXPECT_EQ(PumpUntilFinished(), (Names{"dirty1.mp3", "dirty2.mp3", "dirty3.mp3"}));  // one save, each file once
    EXPECT_EQ(controller_.CountNeedingSaving(), 0u);
    EXPECT_TRUE(window_.exited);
}

// Refresh, Clear, Remove Directory and Exit ask only when records they drop have changes:
// Cancel does nothing, No acts at once (the changes dropped), Yes saves those records
// first and acts when the save has finished.
TEST_F(ControllerFixture, EachCommandAsksOnlyWithChangesAndEachAnswerDoesItsPart) {
    using Run = std::function<void()>;
    const std::tuple<const char*, Run, std::function<bool()>> commands[] = {
        {"refresh", [&] { controller_.RefreshList(); }, [&] { return window_.Has("empty"); }},
        {"clear", [&] { controller_.ClearList(); }, [&] { return loader_.GetLoadedDirectories().empty(); }},
        {"remove", [&] { controller_.RemoveDirectory(Dir("b")); },
         [&] { return loader_.GetLoadedDirectories() == std::vector{Dir("a"), Dir("c")}; }},
        {"exit", [&] { controller_.Exit(); }, [&] { return window_.exited; }},
    };
    for (const auto& [name, run, acted] : commands) {
        for (const PromptAnswer answer : {PromptAnswer::Cancel, PromptAnswer::No, PromptAnswer::Yes}) {
            SCOPED_TRACE(testing::Message() << name << " " << int(answer));
            loader_.Clear(false);
            window_ = LogWindow{};
            Load({"a/clean.mp3", "b/dirty.mp3", "c/dirty2.mp3"});
            const size_t asked = Questions(prompts_);
            prompts_.QueueAnswer(answer);
            run();
            EXPECT_EQ(Questions(prompts_), asked + 1);
            EXPECT_EQ(controller_.IsSaving(), answer == PromptAnswer::Yes);
            EXPECT_EQ(acted(), answer == PromptAnswer::No);
            if (answer != PromptAnswer::Yes) continue;
            const bool remove = std::string(name) == "remove";  // b's record only
            EXPECT_EQ(PumpUntilFinished(), remove ? Names{"dirty.mp3"} : (Names{"dirty.mp3", "dirty2.mp3"}));
            EXPECT_TRUE(acted());
            EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::None);
        }
    }
    EXPECT_EQ(prompts_.Prompts()[0].caption, ProgramTitle());
    // Records without changes go without a question, whatever changes are elsewhere.
    loader_.Clear(false);
    Load({"a/clean.mp3", "b/dirty.mp3"});
    const size_t asked = prompts_.Count();
    controller_.RemoveDirectory(Dir("a"));
    EXPECT_EQ(prompts_.Count(), asked);
    EXPECT_TRUE(loader_.RecordsOfDirectory(Dir("b"))[0]->NeedsSaving());
}

// A Clear whose save failed for a file asks again; the save it starts then keeps its own
// after-save action.
TEST_F(ControllerFixture, ClearAsksAgainWhenAFileFailedToSave) {
    Load({"a/fail.mp3", "a/dirty.mp3"});
    prompts_.QueueAnswer(PromptAnswer::Yes);
    prompts_.QueueAnswer(PromptAnswer::Yes);  // asked again: save again, then clear again
    prompts_.QueueAnswer(PromptAnswer::Cancel);
    controller_.ClearList();
    PumpUntilFinished();
    // The Clear run by the after-save action started a second save, whose action must
    // survive the reset of the first.
    EXPECT_EQ(Questions(prompts_), 2u);
    EXPECT_TRUE(controller_.IsSaving());
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::ClearOrRemove);
    PumpUntilFinished();
    EXPECT_EQ(Questions(prompts_), 3u);  // still failing; "Cancel" keeps the list
    EXPECT_EQ(loader_.RecordCount(), 2u);
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::None);
}

// Exit never cuts a file in half: "Yes" (interrupt) exits once the file being written
// is done.
TEST_F(ControllerFixture, InterruptedExitWaitsForTheFileBeingWritten) {
    Load({"a/dirty1.mp3", "a/dirty2.mp3", "a/dirty3.mp3"});
    holdSaves_ = true;
    controller_.Save();
    ASSERT_TRUE(gate_.WaitForWaiter());
    prompts_.QueueAnswer(PromptAnswer::Yes);
    controller_.Exit();
    EXPECT_FALSE(window_.exited);
    gate_.Open();
    EXPECT_EQ(PumpUntilFinished(), Names{"dirty1.mp3"});
    EXPECT_TRUE(window_.exited);
}

using LoaderThreads = ControllerFixture;

// Every wake-up is seen; a thread ended with work queued goes without finishing it.
TEST_F(LoaderThreads, EveryWakeUpIsSeenAndTheEndComesPromptly) {
    std::atomic<bool> slow = false;
    loader_.SetLoadFunction([&](Mp3FileRecord&) {
        if (slow) std::this_thread::sleep_for(1ms);
        return true;
    });
    constexpr int kDirs = 150;
    for (int i = 0; i < kDirs; ++i) Touch("d" + std::to_string(i) + "/a.mp3");
    {
        LoaderThread thread(loader_, true);
        // One at a time: each AddDirectory meets the thread just going to sleep, or asleep.
        for (int i = 0; i < kDirs / 2; ++i) {
            loader_.AddDirectory(Dir("d" + std::to_string(i)));
            ASSERT_TRUE(WaitFor([&] { return loader_.RecordCount() == static_cast<size_t>(i + 1); })) << "lost at " << i;
        }
        for (int i = kDirs / 2; i < kDirs; ++i) loader_.AddDirectory(Dir("d" + std::to_string(i)));  // then a burst
        ASSERT_TRUE(WaitFor([&] { return loader_.RecordCount() == kDirs && loader_.IsIdle(); }));
        slow = true;
        loader_.Refresh();
    }
    EXPECT_LT(loader_.RecordCount(), static_cast<size_t>(kDirs));
}

// The loader shows "Error when opening file" and waits for the answer; Refresh (true) or
// Clear pressed at that moment must return at once, not wait for the scan.
class AnswerAwaited : public ControllerFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(AnswerAwaited, RefreshOrClearDoesNotHang) {
    const bool refresh = GetParam();
    Touch("a/good.mp3");
    for (const char* name : {"broken1.mp3", "broken2.mp3"}) fs::create_symlink(tree_ / "none", tree_ / "a" / name);
    loader_.SetLoadFunction(nullptr);  // real loads, whose failures are reported
    prompts_.errorGate = &gate_;
    LoaderThread thread(loader_, true);
    loader_.AddDirectory(Dir("a"));
    ASSERT_TRUE(gate_.WaitForWaiter());
    EXPECT_TRUE(prompts_.Prompts()[0].text.starts_with(u"Error when opening file \"" + Dir("a/broken1.mp3")));
    auto done = std::async(std::launch::async, [&] { refresh ? controller_.RefreshList() : controller_.ClearList(); });
    ASSERT_EQ(done.wait_for(5s), std::future_status::ready) << "the command waited for the open box";
    EXPECT_TRUE(window_.Has("empty"));
    EXPECT_EQ(loader_.RecordCount(), 0u);
    gate_.Open();  // the user answers; the scan stops after that file
    ASSERT_TRUE(WaitFor([&] { return loader_.IsIdle(); }));
    // Refreshed: scanned anew, the unopenable files listed empty; cleared: nothing.
    EXPECT_EQ(loader_.RecordCount(), refresh ? 3u : 0u);
    EXPECT_EQ(prompts_.Count(), refresh ? 3u : 1u);
    for (const RecordPtr& r : loader_.SnapshotRecords()) EXPECT_EQ(r->Stream().bitrate, 0);
}

INSTANTIATE_TEST_SUITE_P(RefreshOrClear, AnswerAwaited, ::testing::Bool());

// List calls of the user-interface thread while the loader scans; the records it took
// stay whole across Refresh and RemoveDirectory.
TEST_F(LoaderThreads, ListCallsRefreshAndRemoveWhileScanning) {
    for (int d = 0; d < 6; ++d) {
        for (int f = 0; f < 40; ++f) Touch("d" + std::to_string(d) + "/s/" + std::to_string(f) + ".mp3");
    }
    loader_.SetLoadFunction([](Mp3FileRecord& r) {
        r.Tag().SetText(kFrameTIT2, r.FileName());  // written before the record is visible
        std::this_thread::sleep_for(20us);
        return true;
    });
    LoaderThread thread(loader_, true);
    for (int d = 0; d < 6; ++d) loader_.AddDirectory(Dir("d" + std::to_string(d)));
    std::vector<RecordPtr> rows;
    for (int round = 0; round < 300; ++round) {
        for (RecordPtr& r : loader_.TakeNewRecords()) rows.push_back(std::move(r));
        for (const RecordPtr& r : loader_.SnapshotRecords()) EXPECT_EQ(r->Tag().GetText(kFrameTIT2), r->FileName());
        (void)loader_.DirectoryBeingScanned();
        if (round == 50 || round == 120) loader_.Refresh();
        if (round == 80) loader_.RemoveDirectory(Dir("d5"));
        std::this_thread::sleep_for(100us);
    }
    ASSERT_TRUE(WaitFor([&] { return loader_.IsIdle(); }));
    EXPECT_EQ(loader_.RecordCount(), 5u * 40u);
    EXPECT_TRUE(loader_.RecordsOfDirectory(Dir("d5")).empty());  // removed during its scan: nothing kept
    ASSERT_GT(rows.size(), 0u);
    for (const RecordPtr& r : rows) EXPECT_EQ(r->Tag().GetText(kFrameTIT2), r->FileName());
}

// Pane 0 names the loaded directory while a subdirectory is scanned; during a save the
// count never reads a record the saver is writing while the loader adds others.
TEST_F(LoaderThreads, StatusWhileScanningAndWhileSaving) {
    for (int i = 0; i < 30; ++i) Touch("a/sub/" + std::to_string(i) + ".mp3");
    for (int i = 0; i < 60; ++i) Touch("b/" + std::to_string(i) + ".mp3");
    loader_.SetLoadFunction([&](Mp3FileRecord& r) {
        gate_.Wait();
        r.Tag().SetText(kFrameTIT2, u"changed");
        std::this_thread::sleep_for(200us);
        return true;
    });
    saver_.SetSaveFunction([](Mp3FileRecord& r) {
        std::this_thread::sleep_for(100us);  // the loader goes on meanwhile
        r.Tag().ClearChanged();
    });
    LoaderThread thread(loader_, true);
    loader_.AddDirectory(Dir("a"));
    ASSERT_TRUE(gate_.WaitForWaiter());
    controller_.UpdateStatus();
    EXPECT_EQ(window_.panes[0], u"Loading " + Dir("a") + u"...");
    EXPECT_EQ(window_.panes[1], u"Loaded: 0");
    gate_.Open();
    ASSERT_TRUE(WaitFor([&] { return loader_.IsIdle() && loader_.RecordCount() == 30; }));
    controller_.Save();
    loader_.AddDirectory(Dir("b"));
    size_t saved = 0;
    for (RecordPtr report; reports_.Next(report) && report; ++saved) {
        controller_.OnSaved(report);
        // a's records not reached yet, plus b's loaded so far (both move on meanwhile).
        const size_t before = loader_.RecordCount() - 30;
        const size_t count = controller_.CountNeedingSaving();
        EXPECT_GE(count, before);
        EXPECT_LE(count, 30 - saved - 1 + loader_.RecordCount() - 30);
    }
    controller_.OnSaveFinished();
    EXPECT_EQ(saved, 30u);
    ASSERT_TRUE(WaitFor([&] { return loader_.IsIdle(); }));
    EXPECT_EQ(controller_.CountNeedingSaving(), 60u);
    controller_.UpdateStatus();
    EXPECT_EQ(window_.panes[0], u"Done");
}

// A v2.4 tag with one TIT2 frame in encoding 0, then a little audio.
std::vector<uint8_t> TaggedFile(const std::string& title) {
    const auto size = static_cast<int>(11 + title.size());
    const uint8_t head[] = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, static_cast<uint8_t>(size), 'T', 'I', 'T', '2',
                            0,   0,   0,   static_cast<uint8_t>(title.size() + 1), 0, 0, 0};
    std::vector<uint8_t> bytes(std::begin(head), std::end(head));
    bytes.resize(bytes.size() + title.size() + 300, 0xAA);
    std::copy(title.begin(), title.end(), bytes.begin() + std::size(head));
    return bytes;
}

TEST(ParallelLoad, RecordsAreHandedOverInOrderEachLoadedOnce) {
    TempDir dir;
    const SharedText directory(PathFromNative(dir.Path().string()));
    constexpr size_t kFiles = 300;
    for (size_t i = 0; i < kFiles; ++i) {
        // Every seventh file is missing: its load fails and is reported by its index.
        if (i % 7 != 3) WriteFileBytes(dir / (std::to_string(i) + ".mp3"), TaggedFile("Title " + std::to_string(i)));
    }
    // One thread, more threads than useful, and fewer records than a helper needs.
    for (const auto& [threads, count] : {std::pair<unsigned, size_t>{1, kFiles}, {2, kFiles}, {5, kFiles}, {2, 20}}) {
        std::vector<RecordPtr> fresh;
        for (size_t i = 0; i < count; ++i)
            fresh.push_back(std::make_shared<Mp3FileRecord>(directory, PathFromNative(std::to_string(i) + ".mp3"), directory));
        std::vector<size_t> order;
        LoadInOrder(fresh, LoadOptions{}, threads, [&](size_t index, const Mp3FileRecord::LoadResult& result) {
            order.push_back(index);
            const bool missing = index % 7 == 3;
            EXPECT_EQ(result.opened, !missing) << index;
            EXPECT_EQ(result.error.empty(), !missing) << index;
            if (missing) {
                EXPECT_NE(U8(result.error).find(std::strerror(ENOENT)), std::string::npos);
            } else {
                // Handed over loaded: the tag is there already.
                EXPECT_EQ(U8(fresh[index]->Tag().GetText(kFrameTIT2)), "Title " + std::to_string(index));
            }
        });
        ASSERT_EQ(order.size(), count) << threads;
        for (size_t i = 0; i < count; ++i) ASSERT_EQ(order[i], i) << threads;
        // Loaded once: a second load of the same record would have added a second frame.
        for (size_t i = 0; i < count; ++i) {
            if (i % 7 != 3) {
                EXPECT_EQ(fresh[i]->Tag().Frames().size(), 1u) << i;
            }
        }
    }
}

// Once told to stop, no thread begins another record: exactly the records begun are
// loaded, and those handed over are the first of them, in order.
TEST(ParallelLoad, OnceStoppedNoFurtherRecordIsBegun) {
    TempDir dir;
    const SharedText directory(PathFromNative(dir.Path().string()));
    constexpr size_t kFiles = 200, kBegun = 50;
    for (size_t i = 0; i < kFiles; ++i) WriteFileBytes(dir / (std::to_string(i) + ".mp3"), TaggedFile("T"));
    for (unsigned threads : {1u, 2u}) {
        std::vector<RecordPtr> fresh;
        for (size_t i = 0; i < kFiles; ++i)
            fresh.push_back(std::make_shared<Mp3FileRecord>(directory, PathFromNative(std::to_string(i) + ".mp3"), directory));
        std::atomic<size_t> asked{0};
        size_t handed = 0;
        LoadInOrder(
            fresh, LoadOptions{}, threads,
            [&](size_t index, const Mp3FileRecord::LoadResult&) { EXPECT_EQ(index, handed++); },
            [&] { return asked.fetch_add(1) >= kBegun; });
        const auto loaded = std::count_if(fresh.begin(), fresh.end(), [](const RecordPtr& r) { return !r->Tag().Frames().empty(); });
        EXPECT_EQ(static_cast<size_t>(loaded), kBegun) << threads;
        // A helper may begin its last record after the calling thread stopped waiting.
        EXPECT_GE(handed, kBegun - (threads - 1)) << threads;
        EXPECT_LE(handed, kBegun) << threads;
    }
}

// The window's scan loads what it finds in batches that span directories (1,024 files),
// on two threads: "dNN/fNNNN.mp3", 100 to a directory, titled by their number, dangling
// links at `broken`.
class BatchedScan : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SettingsStore::Instance().OpenAt((settings_ / "s.ini").string())); }
    static std::string NameOf(int i) {
        const auto digits = [](int n, size_t width) {
            const std::string text = std::to_string(n);
            return std::string(width - text.size(), '0') + text;
        };
        return "d" + digits(i / 100, 2) + "/f" + digits(i, 4) + ".mp3";
    }
    void MakeFiles(int count, std::initializer_list<int> broken) {
        for (int i = 0; i < count; ++i) {
            fs::create_directories((dir_ / NameOf(i)).parent_path());
            if (std::find(broken.begin(), broken.end(), i) != broken.end())
                fs::create_symlink(dir_ / "nowhere", dir_ / NameOf(i));
            else
                WriteFileBytes(dir_ / NameOf(i), TaggedFile(std::to_string(i)));
        }
        loader_.SetLoadThreads(2);
        loader_.AddDirectory(PathFromNative(dir_.Path().string()));
    }
    std::string NameOf(const RecordPtr& record) const {
        return fs::path(PathToNative(record->DiskPath())).lexically_relative(dir_.Path()).string();
    }

    TempDir settings_, dir_;
    GatedPrompts prompts_;
    DirectoryLoader loader_{prompts_, false};
};

TEST_F(BatchedScan, RecordsKeepTheOrderOfTheScanAcrossBatches) {
    MakeFiles(1300, {1150});  // two batches, the failure in the second
    loader_.ScanPending(true);
    const std::vector<RecordPtr> records = loader_.TakeNewRecords();
    ASSERT_EQ(records.size(), 1300u);
    for (int i = 0; i < 1300; ++i) {
        ASSERT_EQ(NameOf(records[i]), NameOf(i));
        // The window lists a file it could not open, empty.
        EXPECT_EQ(U8(records[i]->Tag().GetText(kFrameTIT2)), i == 1150 ? "" : std::to_string(i)) << i;
    }
    const auto shown = prompts_.Prompts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(U8(shown[0].text).find(fs::path(NameOf(1150)).filename().string()), std::string::npos);
}

// The loader thread says once when the queue runs dry, after the last record is in.
TEST_F(BatchedScan, TheLoaderThreadSaysWhenItsScansEnd) {
    MakeFiles(120, {});
    TempDir other;
    WriteFileBytes(other / "a.mp3", TaggedFile("a"));
    loader_.AddDirectory(PathFromNative(other.Path().string()));
    struct EndWatch : RecordObserver {
        DirectoryLoader* loader = nullptr;
        std::mutex lock;
        std::condition_variable ended;
        int ends = 0;
        size_t records = 0;
        bool idle = false;
        void RecordRemoved(const RecordPtr&) override {}
        void ScanEnded() override {
            std::lock_guard guard(lock);
            ++ends;
            records = loader->RecordCount();
            idle = loader->IsIdle();
            ended.notify_all();
        }
    } watch;
    watch.loader = &loader_;
    loader_.SetObserver(&watch);
    {
        LoaderThread thread(loader_, true);
        std::unique_lock guard(watch.lock);
        ASSERT_TRUE(watch.ended.wait_for(guard, 30s, [&] { return watch.ends > 0; }));
    }
    loader_.SetObserver(nullptr);
    EXPECT_EQ(watch.ends, 1);  // both directories were queued: one end
    EXPECT_EQ(watch.records, 121u);
    EXPECT_TRUE(watch.idle);
}

// Cleared, or quit, while the first failure's box is open: the scan reports nothing more
// and adds nothing after that file; Quit keeps what was listed up to it.
TEST_F(BatchedScan, AScanClearedOrQuitInTheMiddleOfABatchReportsNothingMore) {
    MakeFiles(200, {10, 20});
    for (const bool quit : {false, true}) {
        SCOPED_TRACE(quit ? "quit" : "clear");
        if (quit) loader_.AddDirectory(PathFromNative(dir_.Path().string()));
        const size_t shown = prompts_.Count();
        Gate gate;
        prompts_.errorGate = &gate;
        std::thread scan([&] { loader_.ScanPending(true); });
        const bool waited = gate.WaitForWaiter();
        if (waited) quit ? loader_.Quit() : loader_.Clear(false);
        gate.Open();
        scan.join();
        prompts_.errorGate = nullptr;
        ASSERT_TRUE(waited);
        EXPECT_EQ(prompts_.Count(), shown + 1);
        EXPECT_EQ(loader_.RecordCount(), quit ? 11u : 0u);
        EXPECT_EQ(loader_.TakeNewRecords().size(), quit ? 11u : 0u);
    }
}

// Readers on worker threads while the user interface writes: every read sees either
// the old or the new value, and nothing is lost from the lists.
TEST(ThreadsSettings, ConcurrentReadersAndWritersSeeWholeValues) {
    TempDir dir;
    auto& store = SettingsStore::Instance();
    ASSERT_TRUE(store.OpenAt((dir / "settings.ini").string()));
    store.WriteNumber("Encoding", 1);
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!stop) {
                const uint32_t e = settings::Encoding();
                if (e != 1 && e != 2) ++bad;
                const auto list = store.ReadStringList("Renames");
                for (const auto& s : list) {
                    if (s.size() != 3) ++bad;
                }
            }
        });
    }
    for (int i = 0; i < 60; ++i) {
        store.WriteNumber("Encoding", i % 2 ? 1 : 2);
        store.AppendToList("Renames", u"p" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + u"x");
    }
    stop = true;
    for (auto& r : readers) r.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(store.ReadStringList("Renames").size(), 26u);
}

}  // namespace
}  // namespace quorvane::test
