#include "cli/interrupt_guard.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace quorvane::cli {

InterruptGuard::InterruptGuard(std::function<void()> onInterrupt) : onInterrupt_(std::move(onInterrupt)) {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGHUP);
    // Blocked before any worker starts, so every thread inherits the mask and only the
    // watcher takes these signals.
    pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    watcher_ = std::thread([this] {
        const timespec tick{0, 50'000'000};
        while (!done_) {
            siginfo_t info;
            const int sig = sigtimedwait(&set_, &info, &tick);
            if (sig <= 0) continue;  // timeout or EINTR
            if (signal_.exchange(sig) == 0) onInterrupt_();
        }
    });
}

InterruptGuard::~InterruptGuard() {
    done_ = true;
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace quorvane::cli
