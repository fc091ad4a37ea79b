// Pictures decoded on threads: the pool's jobs, cancels and shutdown, and the previews
// on top of it (one decode per content, a bounded cache, requests that outlive their owners).
#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "library/decode_job.h"
#include "library/job_pool.h"
#include "library/mp3_file_record.h"
#include "library/preview_service.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
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

constexpr PictureFormat kPng = PictureFormat::Png;

// A real PNG of the size, made by ImageMagick once per run.
const Bytes& Png(unsigned width, unsigned height) {
    static test::TempDir dir;
    static std::map<std::pair<unsigned, unsigned>, Bytes> made;
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    Bytes& bytes = made[{width, height}];
    if (bytes.empty()) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        const fs::path path = dir / (size + ".png");
        EXPECT_EQ(test::RunCommand({"convert", "-size", size, "gradient:red-blue", path.string()}).status, 0);
        bytes = test::ReadFileBytes(path);
    }
    return bytes;
}
// Bytes no decoder accepts, distinct for each n.
Bytes Broken(unsigned n) { return Bytes{0x89, 'P', 'N', 'G', static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)}; }

// Collects notifications. While failures are held, the notification of a failed decode
// keeps its worker waiting: four broken pictures occupy the whole pool.
class Collector final : public PreviewListener {
public:
    void PreviewReady(PreviewTicket ticket, const Preview& preview) override {
        std::unique_lock lock(mutex_);
        got_[ticket].push_back(preview);
        ++held_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return preview.image || !hold_; });
        --held_;
        const auto hook = hook_;
        lock.unlock();
        if (hook) hook();
    }
    void Hold(bool hold) {
        std::lock_guard lock(mutex_);
        hold_ = hold;
        changed_.notify_all();
    }
    void SetHook(std::function<void()> hook) {
        std::lock_guard lock(mutex_);
        hook_ = std::move(hook);
    }
    // Every notification of the ticket (more than one would be a fault).
    size_t Count(PreviewTicket ticket) {
        std::lock_guard lock(mutex_);
        return got_.count(ticket) ? got_[ticket].size() : 0;
    }
    Preview Await(const PreviewRequest& request) {
        if (request.ready) return *request.ready;
        std::unique_lock lock(mutex_);
        EXPECT_TRUE(changed_.wait_for(lock, 20s, [&] { return got_.count(request.ticket) > 0; }));
        return got_[request.ticket].empty() ? Preview{} : got_[request.ticket].front();
    }
    // Occupies all four workers until Hold(false).
    void BlockPool(PreviewService& service) {
        Hold(true);
        for (unsigned n = 1000; n < 1004; ++n) service.Request(Broken(n), kPng);
        std::unique_lock lock(mutex_);
        ASSERT_TRUE(changed_.wait_for(lock, 20s, [&] { return held_ == 4; }));
    }
private:
    std::map<PreviewTicket, std::vector<Preview>> got_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool hold_ = false;
    int held_ = 0;
    std::function<void()> hook_;
};

TEST(PreviewService, TheCacheKeepsTheMostRecentlyUsedWithinItsBytesAndCount) {
    Collector collector;
    // 64 x 64 RGBA is 16 KiB: two fit in 40,000 bytes with their encoded copies, three do not.
    PreviewService service(collector, {40000, 100});
    const Bytes &a = Png(64, 64), &b = Png(64, 63), &c = Png(63, 64);
    for (const Bytes* picture : {&a, &b}) ASSERT_TRUE(collector.Await(service.Request(*picture, kPng)).image);
    EXPECT_TRUE(service.Request(a, kPng).ready);  // a is now the most recent
    ASSERT_TRUE(collector.Await(service.Request(c, kPng)).image);  // b goes
    EXPECT_TRUE(service.Request(a, kPng).ready);
    EXPECT_EQ(collector.Await(service.Request(b, kPng)).image->height, 63u);
    auto stats = service.GetStats();
    EXPECT_EQ(stats.decodes, 4u);
    EXPECT_TRUE(stats.cachedEntries == 2 && stats.cachedBytes <= 40000u && stats.cachedBytes > 2u * 64 * 63 * 4);

    // Failures are kept too; nothing to decode is answered at once.
    EXPECT_TRUE(!collector.Await(service.Request(Broken(1), kPng)).image);
    EXPECT_TRUE(service.Request(Broken(1), kPng).ready);
    EXPECT_TRUE(service.Request(a, PictureFormat::None).ready && service.Request({}, kPng).ready);
    EXPECT_EQ(service.GetStats().decodes, 5u);

    // The count cap, and a picture larger than the whole cache: delivered, not kept.
    Collector forOne, forTiny;  // tickets are per service
    PreviewService one(forOne, {1 << 20, 1}), tiny(forTiny, {1000, 10});
    for (const Bytes* picture : {&a, &b}) ASSERT_TRUE(forOne.Await(one.Request(*picture, kPng)).image);
    ASSERT_TRUE(forTiny.Await(tiny.Request(a, kPng)).image);
    EXPECT_FALSE(one.Request(a, kPng).ready || tiny.Request(a, kPng).ready);
}

// Equal pictures, in buffers of their own, share one decode; a cancelled ticket hears
// nothing; a picture whose frame is destroyed while it waits is decoded from its copy.
TEST(PreviewService, EqualRequestsShareADecodeAndCancelledTicketsHearNothing) {
    Collector collector;
    PreviewService service(collector);
    collector.BlockPool(service);
    const PreviewRequest first = service.Request(Png(10, 10), kPng), second = service.Request(Bytes(Png(10, 10)), kPng);
    const PreviewRequest dropped = service.Request(Png(11, 10), kPng);
    auto record = std::make_shared<Mp3FileRecord>(SharedText(u"/m"), u"a.mp3", SharedText(u"/m"));
    record->Tag().SetPicture(3, "image/png", u"", Png(12, 7));
    const PreviewRequest orphan = service.Request(record->Tag().FindPicture(3)->Data(FieldRole::PictureData)->Data(), kPng);
    record.reset();  // the frame and its bytes are gone
    ASSERT_TRUE(first.ticket && second.ticket && dropped.ticket && first.ticket != second.ticket);
    EXPECT_EQ(service.GetStats().pendingDecodes, 3u);  // the four held are delivered already
    service.Cancel(first.ticket);
    service.Cancel(dropped.ticket);  // its only ticket: the queued decode goes
    service.Cancel(dropped.ticket);
    EXPECT_EQ(service.GetStats().pendingDecodes, 2u);
    collector.Hold(false);
    EXPECT_TRUE(collector.Await(second).image);
    EXPECT_EQ(collector.Await(orphan).image->width, 12u);
    EXPECT_EQ(collector.Count(second.ticket) + collector.Count(first.ticket) + collector.Count(dropped.ticket), 1u);
    EXPECT_EQ(service.GetStats().decodes, 4u + 2);
}

TEST(PreviewService, DestroyedWhileDecodingWithListenersThatAskForMore) {
    Collector collector;
    auto service = std::make_unique<PreviewService>(collector);
    PreviewService* raw = service.get();
    collector.BlockPool(*service);
    const PreviewRequest queued = service->Request(Png(13, 7), kPng);
    // Each held listener asks for more while the service closes: answered, never queued.
    std::atomic<int> answered{0};
    collector.SetHook([&] {
        const PreviewRequest late = raw->Request(Png(16, 7), kPng);
        raw->Cancel(queued.ticket);
        answered += late.ticket == 0 && late.ready;
    });
    auto destroy = std::async(std::launch::async, [&] { service.reset(); });
    EXPECT_EQ(destroy.wait_for(200ms), std::future_status::timeout);  // the running four finish first
    collector.Hold(false);
    destroy.get();
    EXPECT_EQ(answered, 4);
    EXPECT_EQ(collector.Count(queued.ticket), 0u);

    // A listener may request while the service runs (its own job is not yet finished).
    Collector other;
    PreviewService running(other);
    std::promise<PreviewRequest> inner;
    std::once_flag once;
    other.SetHook([&] { std::call_once(once, [&] { inner.set_value(running.Request(Png(14, 7), kPng)); }); });
    other.Await(running.Request(Png(15, 7), kPng));
    EXPECT_EQ(other.Await(inner.get_future().get()).image->width, 14u);
}

TEST(PreviewService, RequestsAndCancelsFromManyThreads) {
    Collector collector;
    PreviewService service(collector, {100000, 3});  // small: entries come and go
    const std::vector<Bytes> pictures = {Png(8, 8), Png(9, 8), Png(10, 8), Png(11, 8), Broken(7), Broken(8)};
    std::mutex mutex;
    std::set<PreviewTicket> kept, cancelled;
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(t);
            for (int i = 0; i < 300; ++i) {
                const PreviewRequest r = service.Request(pictures[random() % pictures.size()], kPng);
                const bool cancel = random() % 3 == 0;
                if (r.ticket && cancel) service.Cancel(r.ticket);
                std::lock_guard lock(mutex);
                if (r.ticket) (cancel ? cancelled : kept).insert(r.ticket);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const PreviewTicket ticket : kept) {
        collector.Await({ticket, std::nullopt});
        EXPECT_EQ(collector.Count(ticket), 1u);
    }
    for (const PreviewTicket ticket : cancelled) EXPECT_LE(collector.Count(ticket), 1u);
    EXPECT_LE(service.GetStats().cachedEntries, 3u);
}

}  // namespace
}  // namespace quorvane
