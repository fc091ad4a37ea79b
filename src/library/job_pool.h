#pragma once
// The pool that decodes pictures in the background: four workers and a dispatcher that
// hands each queued job to the first idle worker, trying worker 0 first.
#include <array>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace quorvane {

class DecodeJob;

class DecodeListener {
public:
    virtual ~DecodeListener() = default;
    // Called on a worker thread after every run of a job, also when the run had nothing
    // to decode. Must return promptly and must not throw: it holds up that worker. It
    // may Submit or Cancel, but must not wait for this job (WaitWhileRunning, Retire,
    // LeavePool, destroying it): the worker counts as running the job until it returns.
    virtual void PictureDecoded(DecodeJob& job) = 0;
};

class JobPool {
public:
    static constexpr size_t kWorkerCount = 4;

    // Starts the workers and the dispatcher at below-normal priority. The listener must
    // outlive the pool.
    explicit JobPool(DecodeListener& listener);
    // Stops the threads: jobs still queued are dropped, jobs being run finish first.
    // Jobs may outlive the pool; they forget it.
    ~JobPool();
    JobPool(const JobPool&) = delete;
    JobPool& operator=(const JobPool&) = delete;

    // Queues the job unless it is queued already. A job being run when it is submitted
    // again is run again afterwards, never by two workers at once.
    void Submit(DecodeJob& job);
    // Removes the job from the queue; a job already handed to a worker runs to the end.
    // True when the job was queued: it will not run for that submit.
    bool Cancel(DecodeJob& job);
    // Blocks until no worker runs the job.
    void WaitWhileRunning(const DecodeJob& job);
    // Cancel and WaitWhileRunning, and the pool forgets the job: afterwards the job may
    // be destroyed.
    void Retire(DecodeJob& job);

private:
    struct Worker {
        std::condition_variable wake;
        DecodeJob* current = nullptr;  // handed over or running
        bool stop = false;
        std::thread thread;
    };

    void DispatchLoop();
    void WorkLoop(Worker& worker);
    bool HandOverOne();  // under lock_
    bool IsRunning(const DecodeJob& job) const;  // under lock_

    DecodeListener& listener_;
    // One lock guards the queue, the known jobs and every worker's current job and stop
    // flag; it is never held while a job runs or the listener is called.
    mutable std::mutex lock_;
    std::condition_variable dispatch_;  // work queued, a worker idle, or stopping
    std::condition_variable idle_;      // a worker finished a job
    std::deque<DecodeJob*> queue_;
    std::unordered_set<DecodeJob*> known_;  // submitted and not retired: told when the pool goes
    bool stopping_ = false;
    std::array<Worker, kWorkerCount> workers_;
    std::thread dispatcher_;
};

}  // namespace quorvane
