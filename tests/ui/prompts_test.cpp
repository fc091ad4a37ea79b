// Message boxes asked by worker threads: shown by the GUI thread one at a time, and
// never a deadlock with the GUI thread or with the window's shutdown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "support/test_support.h"
#include "ui/qt_prompts.h"

namespace quorvane::test {
namespace {

using Clock = std::chrono::steady_clock;

QMessageBox* OpenBox() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

// Answers each box that opens, from inside the box's own event loop (a modal box blocks
// the code that waits for it), after running `onBox` on it.
class BoxAnswerer {
public:
    BoxAnswerer(QMessageBox::StandardButton button, std::function<void(QMessageBox&)> onBox = {})
        : button_(button), onBox_(std::move(onBox)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QMessageBox* box = OpenBox();
            // A new box may take the place of the last one in memory: mark each answered.
            if (!box || box->property("answered").toBool()) return;
            box->setProperty("answered", true);
            const QWidgetList windows = QApplication::topLevelWidgets();
            maxVisible_ = std::max<int>(maxVisible_, std::count_if(windows.begin(), windows.end(), [](QWidget* w) {
                return qobject_cast<QMessageBox*>(w) && w->isVisible();
            }));
            ++count_;
            if (onBox_) onBox_(*box);
            if (QAbstractButton* button = box->button(button_)) {
                button->click();
            } else {
                ADD_FAILURE() << "the box lacks the button to press";
                box->reject();
            }
        });
        timer_.start();
    }
    int Count() const { return count_; }
    int MaxVisible() const { return maxVisible_; }

private:
    QMessageBox::StandardButton button_;
    std::function<void(QMessageBox&)> onBox_;
    QTimer timer_;
    int count_ = 0;
    int maxVisible_ = 0;
};

template <typename T>
bool WaitReady(std::future<T>& future, int ms = 10000) {
    return QTest::qWaitFor([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, ms);
}

TEST(QtPrompts, AWorkersBoxIsShownByTheGuiThreadWithItsTextAndAnswered) {
    ui::QtPrompts prompts;
    {
        std::future<PromptAnswer> answer;
        bool waited = false;
        BoxAnswerer answerer(QMessageBox::Cancel, [&](QMessageBox& box) {
            EXPECT_EQ(box.windowTitle(), QStringLiteral("Quorvane 1.7"));
            EXPECT_EQ(box.text(), QStringLiteral("Saving is in progress.r\nInterrupt and exit?"));
            EXPECT_EQ(box.icon(), QMessageBox::Question);
            waited = answer.wait_for(std::chrono::milliseconds(20)) == std::future_status::timeout;
        });
        answer = std::async(std::launch::async, [&] {
            return prompts.AskYesNoCancel(u"Quorvane 1.7", u"Saving is in progress.r\nInterrupt and exit?");
        });
        ASSERT_TRUE(WaitReady(answer));
        EXPECT_TRUE(waited);  // the worker waited for the answer
        EXPECT_EQ(answer.get(), PromptAnswer::Cancel);
    }

    BoxAnswerer ok(QMessageBox::Ok, [](QMessageBox& box) {
        EXPECT_EQ(box.icon(), QMessageBox::Critical);
        EXPECT_EQ(box.text(), QStringLiteral("Error\nline"));  // "\r\n" breaks the line once
    });
    auto error = std::async(std::launch::async, [&] { prompts.ShowError(u"Quorvane 1.7", u"Error\r\nline"); });
    ASSERT_TRUE(WaitReady(error));
    EXPECT_EQ(ok.Count(), 1);
}

TEST(QtPrompts, BoxesOfManyWorkersComeOneAfterAnother) {
    ui::QtPrompts prompts;
    BoxAnswerer answerer(QMessageBox::Ok);
    std::vector<std::future<void>> workers;
    for (int i = 0; i < 4; ++i) {
        workers.push_back(std::async(std::launch::async, [&] { prompts.ShowInformation(u"Quorvane 1.7", u"note"); }));
    }
    for (auto& worker : workers) ASSERT_TRUE(WaitReady(worker));
    EXPECT_EQ(answerer.Count(), 4);
    EXPECT_EQ(answerer.MaxVisible(), 1);
}

TEST(QtPrompts, DismissReleasesWaitingWorkersAndAnswersLaterOnesAtOnce) {
    ui::QtPrompts prompts;
    auto waiting = std::async(std::launch::async, [&] { return prompts.AskYesNo(u"c", u"first?"); });
    // No event is processed here, so the box is never shown: the worker just waits.
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (prompts.PendingCount() == 0 && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(prompts.PendingCount(), 1u);
    prompts.Dismiss();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_FALSE(waiting.get());
    auto later = std::async(std::launch::async, [&] { return prompts.AskYesNoCancel(u"c", u"later?"); });
    ASSERT_EQ(later.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(later.get(), PromptAnswer::Cancel);
    QTest::qWait(30);
    EXPECT_EQ(OpenBox(), nullptr);  // nothing left to show
}

// The window closes with a worker's box open: Dismiss lets that worker go before the box
// is answered, so the worker's thread can be joined. (That the loader's lock is not held
// against Refresh and Clear meanwhile is the loader's own test.)
TEST(QtPrompts, DismissWhileABoxShowsReleasesItsWorker) {
    ui::QtPrompts prompts;
    std::future<void> worker;
    bool released = false;
    BoxAnswerer answerer(QMessageBox::Ok, [&](QMessageBox&) {
        prompts.Dismiss();
        released = worker.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    });
    worker = std::async(std::launch::async, [&] { prompts.ShowError(u"Quorvane 1.7", u"Error when opening file"); });
    ASSERT_TRUE(WaitReady(worker));
    EXPECT_TRUE(released);
    EXPECT_EQ(answerer.Count(), 1);
}

}  // namespace
}  // namespace quorvane::test
