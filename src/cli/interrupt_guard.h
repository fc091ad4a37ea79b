#pragma once
// While a save runs, Ctrl+C, SIGTERM and SIGHUP do not kill the process in the middle of
// a file: they ask the saver to stop after the file it is writing, and the command then
// ends with the status of the signal.
#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

namespace quorvane::cli {

class InterruptGuard {
public:
    // `onInterrupt` runs on the guard's own thread when the first signal arrives.
    explicit InterruptGuard(std::function<void()> onInterrupt);
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // The signal that arrived, or 0.
    int Signal() const { return signal_.load(); }

private:
    sigset_t set_{};
    sigset_t previous_{};
    std::atomic<bool> done_{false};
    std::atomic<int> signal_{0};
    std::function<void()> onInterrupt_;
    std::thread watcher_;
};

}  // namespace quorvane::cli
