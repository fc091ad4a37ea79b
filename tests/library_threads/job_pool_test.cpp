// The decoding pool: four workers, a job queued twice runs once, a cancelled one never,
// a job changed while it decodes drops its stale result, destruction waits for workers.
#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "library/decode_job.h"
#include "library/job_pool.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// "start" and "end" of a decode, "open" of its gate, "done" from the listener.
struct Event {
    std::string what;
    const DecodeJob* job;
    size_t bytes;
    std::thread::id thread;
};

// Records events, and serves as the gate the test jobs wait at.
class Recorder final : public DecodeListener {
public:
    void PictureDecoded(DecodeJob& job) override { Add("done", &job, 0); }
    void Add(const std::string& what, const DecodeJob* job, size_t bytes) {
        std::lock_guard lock(mutex_);
        events_.push_back({what, job, bytes, std::this_thread::get_id()});
        changed_.notify_all();
    }
    std::vector<Event> Of(const std::string& what, const DecodeJob* job = nullptr) const {
        std::lock_guard lock(mutex_);
        std::vector<Event> out;
        std::copy_if(events_.begin(), events_.end(), std::back_inserter(out),
                     [&](const Event& e) { return e.what == what && (!job || e.job == job); });
        return out;
    }
    void WaitFor(const std::string& what, const DecodeJob* job, size_t count = 1) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
            return size_t(std::count_if(events_.begin(), events_.end(), [&](const Event& e) {
                       return e.what == what && (!job || e.job == job);
                   })) >= count;
        });
    }
    void Open(const DecodeJob* job) { Add("open", job, 0); }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

// Its decode waits until the recorder opens it; the "image" is as wide as the bytes were long.
class GatedJob final : public DecodeJob {
public:
    explicit GatedJob(Recorder& recorder, size_t bytes = 1, bool open = false) : recorder_(recorder) {
        if (open) recorder.Open(this);
        SetData(Bytes(bytes), PictureFormat::Png);
    }
    ~GatedJob() override { LeavePool(); }
    std::atomic<int> running{0}, mostRunning{0};

protected:
    DecodeResult Decode(PictureFormat, std::span<const uint8_t> bytes) override {
        mostRunning = std::max(mostRunning.load(), ++running);
        recorder_.Add("start", this, bytes.size());
        recorder_.WaitFor("open", this);
        recorder_.Add("end", this, bytes.size());
        --running;
        return DecodeResult::Success({uint32_t(bytes.size()), 1, Bytes(bytes.size() * 4)});
    }

private:
    Recorder& recorder_;
};

template <typename T>
bool StillWaiting(const std::future<T>& future) {
    return future.wait_for(200ms) == std::future_status::timeout;
}

TEST(JobPool, APictureChangedWhileItDecodes) {
    // As a picture field does it: cancel and wait for the old decode, then the new bytes.
    Recorder recorder;
    GatedJob job(recorder, 3);
    JobPool pool(recorder);
    pool.Submit(job);
    recorder.WaitFor("start", &job);
    auto change = std::async(std::launch::async, [&] {
        pool.Cancel(job);
        pool.WaitWhileRunning(job);
        job.SetData(Bytes(5), PictureFormat::Png);
        pool.Submit(job);
    });
    EXPECT_TRUE(StillWaiting(change));
    recorder.Open(&job);
    change.get();
    recorder.WaitFor("end", &job, 2);
    EXPECT_EQ(recorder.Of("end")[0].bytes, 3u);
    EXPECT_EQ(recorder.Of("start")[1].bytes, 5u);
    pool.WaitWhileRunning(job);
    ASSERT_TRUE(job.Image());
    EXPECT_EQ(job.Image()->width, 5u);

    // Without the wait: SetData does not block, the stale result is dropped, and the job
    // submitted again meanwhile runs after the first run, never beside it.
    GatedJob other(recorder, 7);
    pool.Submit(other);
    recorder.WaitFor("start", &other);
    auto set = std::async(std::launch::async, [&] { other.SetData(Bytes(9), PictureFormat::Png); });
    EXPECT_FALSE(StillWaiting(set));
    pool.Submit(other);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.Of("start", &other).size(), 1u);
    recorder.Open(&other);
    recorder.WaitFor("done", &other, 2);
    pool.WaitWhileRunning(other);
    EXPECT_EQ(other.mostRunning, 1);
    ASSERT_TRUE(other.Image());
    EXPECT_EQ(other.Image()->width, 9u);
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The fifth of five jobs waits, without spinning, for the first of four workers to be
// free; a job queued twice runs once, a cancelled one never.
TEST(JobPool, FiveJobsOnFourWorkersOnceEachAndWorkerZeroFirst) {
    Recorder recorder;
    std::array<GatedJob, 5> jobs{GatedJob(recorder), GatedJob(recorder), GatedJob(recorder), GatedJob(recorder),
                                 GatedJob(recorder)};
    GatedJob twice(recorder, 2, true), cancelled(recorder, 3, true), last(recorder, 4, true);
    JobPool pool(recorder);
    for (auto& job : jobs) pool.Submit(job);
    recorder.WaitFor("start", nullptr, 4);
    for (auto* job : {&twice, &cancelled, &twice, &last}) pool.Submit(*job);
    pool.Cancel(cancelled);
    const double cpu = CpuSeconds();
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(CpuSeconds() - cpu, 0.1) << "the dispatcher spins while every worker is busy";
    EXPECT_TRUE(recorder.Of("start", &jobs[4]).empty());
    recorder.Open(&jobs[2]);
    recorder.WaitFor("start", &jobs[4]);
    EXPECT_EQ(recorder.Of("start", &jobs[4])[0].thread, recorder.Of("done", &jobs[2])[0].thread);
    for (auto& job : jobs) recorder.Open(&job);
    recorder.WaitFor("done", &last);  // queued after both submits of `twice`
    for (auto& job : jobs) recorder.WaitFor("done", &job), pool.WaitWhileRunning(job);
    pool.WaitWhileRunning(twice);
    EXPECT_EQ(recorder.Of("done", &twice).size(), 1u);
    EXPECT_FALSE(cancelled.IsDecoded() || !recorder.Of("done", &cancelled).empty());

    // One at a time, every run goes to worker 0, which ran the first job; a job with
    // nothing left to decode still reports.
    for (size_t round = 1; round <= 2; ++round) {
        jobs[1].SetData(Bytes(round), PictureFormat::Png);
        for (int again = 0; again < 2; ++again) {
            pool.Submit(jobs[1]);
            recorder.WaitFor("done", &jobs[1], 2 * round + again);
            pool.WaitWhileRunning(jobs[1]);
        }
    }
    const auto done = recorder.Of("done", &jobs[1]);
    ASSERT_EQ(done.size(), 5u);
    EXPECT_EQ(recorder.Of("start", &jobs[1]).size(), 3u);
    for (size_t i = 1; i < done.size(); ++i) EXPECT_EQ(done[i].thread, recorder.Of("start", &jobs[0])[0].thread);
}

// A pool destroyed with jobs running and queued joins its workers and drops the queue
// (the jobs outlive it: their destructors must not reach for it); a job destroyed while
// it runs waits for its worker, whose report comes first.
TEST(JobPool, DestroyingThePoolOrARunningJobWaitsForTheWorkers) {
    Recorder recorder;
    std::array<GatedJob, 6> jobs{GatedJob(recorder), GatedJob(recorder), GatedJob(recorder),
                                 GatedJob(recorder), GatedJob(recorder), GatedJob(recorder)};
    auto pool = std::make_unique<JobPool>(recorder);
    for (auto& job : jobs) pool->Submit(job);
    recorder.WaitFor("start", nullptr, 4);
    auto end = std::async(std::launch::async, [&] { pool.reset(); });
    EXPECT_TRUE(StillWaiting(end));
    for (auto& job : jobs) recorder.Open(&job);
    end.get();
    EXPECT_EQ(recorder.Of("done").size(), 4u);
    EXPECT_EQ(std::count_if(jobs.begin(), jobs.end(), [](const GatedJob& j) { return j.IsDecoded(); }), 4);

    JobPool second(recorder);
    auto job = std::make_unique<GatedJob>(recorder);
    const GatedJob* raw = job.get();
    second.Submit(*job);
    recorder.WaitFor("start", raw);
    auto destroy = std::async(std::launch::async, [&] { job.reset(); });
    EXPECT_TRUE(StillWaiting(destroy));
    recorder.Open(raw);
    destroy.get();
    EXPECT_EQ(recorder.Of("done", raw).size(), 1u);
}

}  // namespace
}  // namespace quorvane
