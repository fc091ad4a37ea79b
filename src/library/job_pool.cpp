#include "library/job_pool.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "library/decode_job.h"

namespace quorvane {
namespace {

// Decoding must not slow down the user interface or the loader. Linux applies a nice
// value to the single thread whose id is given.
void LowerThisThreadsPriority() {
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, self);
    if (errno == 0) setpriority(PRIO_PROCESS, self, std::min(nice + 5, 19));
}

}  // namespace

JobPool::JobPool(DecodeListener& listener) : listener_(listener) {
    for (Worker& worker : workers_) worker.thread = std::thread([this, &worker] { WorkLoop(worker); });
    dispatcher_ = std::thread([this] { DispatchLoop(); });
}

JobPool::~JobPool() {
    {
        std::lock_guard lock(lock_);
        stopping_ = true;
        queue_.clear();
        for (Worker& worker : workers_) {
            worker.stop = true;
            worker.wake.notify_one();
        }
        dispatch_.notify_one();
    }
    dispatcher_.join();
    for (Worker& worker : workers_) worker.thread.join();
    // The jobs still alive must not retire from a pool that is gone.
    std::lock_guard lock(lock_);
    for (DecodeJob* job : known_) job->pool_.store(nullptr);
}

void JobPool::Submit(DecodeJob& job) {
    std::lock_guard lock(lock_);
    if (stopping_) return;
    known_.insert(&job);
    job.pool_.store(this);
    if (std::find(queue_.begin(), queue_.end(), &job) == queue_.end()) queue_.push_back(&job);
    dispatch_.notify_one();
}

bool JobPool::Cancel(DecodeJob& job) {
    std::lock_guard lock(lock_);
    const auto queued = std::find(queue_.begin(), queue_.end(), &job);
    if (queued == queue_.end()) return false;
    queue_.erase(queued);
    return true;
}

void JobPool::WaitWhileRunning(const DecodeJob& job) {
    std::unique_lock lock(lock_);
    idle_.wait(lock, [&] { return !IsRunning(job); });
}

void JobPool::Retire(DecodeJob& job) {
    std::unique_lock lock(lock_);
    queue_.erase(std::remove(queue_.begin(), queue_.end(), &job), queue_.end());
    known_.erase(&job);
    idle_.wait(lock, [&] { return !IsRunning(job); });
    JobPool* self = this;
    job.pool_.compare_exchange_strong(self, nullptr);
}

bool JobPool::IsRunning(const DecodeJob& job) const {
    return std::any_of(workers_.begin(), workers_.end(), [&](const Worker& w) { return w.current == &job; });
}

// Hands the first queued job that no worker is running to the first idle worker.
bool JobPool::HandOverOne() {
    const auto worker = std::find_if(workers_.begin(), workers_.end(), [](const Worker& w) { return !w.current; });
    if (worker == workers_.end()) return false;
    const auto job = std::find_if(queue_.begin(), queue_.end(), [this](const DecodeJob* j) { return !IsRunning(*j); });
    if (job == queue_.end()) return false;
    worker->current = *job;
    queue_.erase(job);
    worker->wake.notify_one();
    return true;
}

void JobPool::DispatchLoop() {
    LowerThisThreadsPriority();
    std::unique_lock lock(lock_);
    while (!stopping_) {
        // Sleeps while every worker is busy or nothing can be handed over; a finished
        // job, a submit and the destructor wake it.
        if (!HandOverOne()) dispatch_.wait(lock);
    }
}

void JobPool::WorkLoop(Worker& worker) {
    LowerThisThreadsPriority();
    std::unique_lock lock(lock_);
    for (;;) {
        worker.wake.wait(lock, [&] { return worker.stop || worker.current; });
        if (worker.stop) break;
        DecodeJob& job = *worker.current;
        lock.unlock();
        job.Run();
        listener_.PictureDecoded(job);
        lock.lock();
        worker.current = nullptr;
        idle_.notify_all();
        dispatch_.notify_one();
    }
    // A job handed over but not started when the pool stops is dropped like a queued one.
    worker.current = nullptr;
    idle_.notify_all();
}

}  // namespace quorvane
