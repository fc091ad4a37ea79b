// Previews decoded on demand: nothing at load, one decode per picture content, a cache
// bounded by bytes and count, and requests that outlive their frames, their tickets or
// the service.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "library/mp3_file_record.h"
#include "library/preview_service.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// A real PNG of the size, made by ImageMagick once per run.
const Bytes& Png(unsigned width, unsigned height) {
    static test::TempDir dir;
    static std::map<std::pair<unsigned, unsigned>, Bytes> made;
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    Bytes& bytes = made[{width, height}];
    if (bytes.empty()) {
        const fs::path path = dir / (std::to_string(width) + "x" + std::to_string(height) + ".png");
        const auto size = std::to_string(width) + "x" + std::to_string(height);
        const auto run = test::RunCommand({"convert", "-size", size, "gradient:red-blue", path.string()});
        EXPECT_EQ(run.status, 0) << run.err;
        bytes = test::ReadFileBytes(path);
    }
    return bytes;
}

// Bytes no decoder accepts; distinct for each n.
Bytes Broken(unsigned n) { return Bytes{0x89, 'P', 'N', 'G', static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)}; }

// Collects notifications. While failures are held, a notification of a failed decode
// keeps its worker waiting: four broken pictures occupy the whole pool.
class Collector final : public PreviewListener {
public:
    void PreviewReady(PreviewTicket ticket, const Preview& preview) override {
        std::function<void()> hook;
        {
            std::unique_lock lock(mutex_);
            got_[ticket].push_back(preview);
            changed_.notify_all();
            if (!preview.image && holdFailures_) {
                ++held_;
                changed_.notify_all();
                changed_.wait(lock, [this] { return !holdFailures_; });
                --held_;
            }
            hook = hook_;
        }
        if (hook) hook();
    }
    void HoldFailures() {
        std::lock_guard lock(mutex_);
        holdFailures_ = true;
    }
    void Release() {
        std::lock_guard lock(mutex_);
        holdFailures_ = false;
        changed_.notify_all();
    }
    bool WaitHeld(int count) { return Wait([&] { return held_ == count; }); }
    bool WaitTicket(PreviewTicket ticket) { return Wait([&] { return got_.count(ticket) > 0; }); }
    // Every notification of the ticket (more than one would be a fault).
    std::vector<Preview> Of(PreviewTicket ticket) {
        std::lock_guard lock(mutex_);
        return got_.count(ticket) ? got_[ticket] : std::vector<Preview>();
    }
    size_t Count() {
        std::lock_guard lock(mutex_);
        size_t n = 0;
        for (const auto& [ticket, previews] : got_) n += previews.size();
        return n;
    }
    void SetHook(std::function<void()> hook) {
        std::lock_guard lock(mutex_);
        hook_ = std::move(hook);
    }

private:
    template <typename Predicate>
    bool Wait(Predicate done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 20s, done);
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<PreviewTicket, std::vector<Preview>> got_;
    bool holdFailures_ = false;
    int held_ = 0;
    std::function<void()> hook_;
};

// A preview that is known now or arrives for its ticket.
Preview Await(Collector& collector, const PreviewRequest& request) {
    if (request.ready) return *request.ready;
    EXPECT_TRUE(collector.WaitTicket(request.ticket));
    const auto previews = collector.Of(request.ticket);
    return previews.empty() ? Preview{} : previews.front();
}

// Occupies all four workers until collector.Release().
void BlockThePool(PreviewService& service, Collector& collector, unsigned first = 1000) {
    collector.HoldFailures();
    for (unsigned n = first; n < first + 4; ++n) service.Request(Broken(n), PictureFormat::Png);
    ASSERT_TRUE(collector.WaitHeld(4));
}

TEST(PreviewService, LoadingManyFilesWithCoversDecodesNothingAndOneCoverDecodesOnce) {
    test::TempDir dir;
    const fs::path original = dir / "original.mp3";
    test::MakeMp3(original, {"-b", "32"}, 0.2);
    test::WriteFileBytes(dir / "cover.png", Png(30, 20));
    const auto tagged = test::RunPython(R"(import sys
from mutagen.id3 import ID3, APIC
t = ID3()
t.add(APIC(encoding=3, mime='image/png', type=3, desc='front', data=open(sys.argv[2], 'rb').read()))
t.save(sys.argv[1]))",
                                        {original.string(), (dir / "cover.png").string()});
    ASSERT_EQ(tagged.status, 0) << tagged.err;
    constexpr int kFiles = 10000;  // names of one file: cheap to make, each opened and read
    fs::create_directory(dir / "album");
    for (int i = 0; i < kFiles; ++i) fs::create_hard_link(original, dir / "album" / (std::to_string(i) + ".mp3"));

    Collector collector;
    PreviewService service(collector);
    const uint64_t decodesBefore = PictureDecodeCount();
    test::RecordingPrompts prompts;
    const SharedText album(PathFromNative((dir / "album").string()));
    std::vector<RecordPtr> records;
    for (int i = 0; i < kFiles; ++i) {
        records.push_back(std::make_shared<Mp3FileRecord>(album, U16(std::to_string(i) + ".mp3"), album));
        ASSERT_TRUE(records.back()->LoadFile(prompts, {}));
    }
    EXPECT_EQ(PictureDecodeCount(), decodesBefore);
    EXPECT_EQ(service.GetStats().decodes, 0u);

    // Showing every file's cover: equal pictures share one decode.
    std::vector<PreviewRequest> requests;
    for (const RecordPtr& record : records) {
        const Id3Frame* cover = record->Tag().FindPicture(3);
        ASSERT_NE(cover, nullptr);
        requests.push_back(service.Request(cover->Data(FieldRole::PictureData)->Data(), PictureFormat::Png));
    }
    for (const PreviewRequest& request : requests) {
        const Preview preview = Await(collector, request);
        ASSERT_TRUE(preview.image) << preview.error;
        EXPECT_EQ(preview.image->width, 30u);
        EXPECT_EQ(preview.image->height, 20u);
    }
    EXPECT_EQ(PictureDecodeCount(), decodesBefore + 1);
    EXPECT_EQ(service.GetStats().decodes, 1u);
    EXPECT_EQ(prompts.Count(), 0u);
}

TEST(PreviewService, TheCacheKeepsTheMostRecentlyUsedWithinItsBytesAndCount) {
    Collector collector;
    // 64 x 64 RGBA is 16 KiB: two fit in 40,000 bytes with their encoded copies, three do not.
    PreviewService service(collector, {40000, 100});
    const Bytes &a = Png(64, 64), &b = Png(64, 63), &c = Png(63, 64);
    auto decodes = [&] { return service.GetStats().decodes; };
    ASSERT_TRUE(Await(collector, service.Request(a, PictureFormat::Png)).image);
    ASSERT_TRUE(Await(collector, service.Request(b, PictureFormat::Png)).image);
    EXPECT_TRUE(service.Request(a, PictureFormat::Png).ready);  // a is now the most recent
    ASSERT_TRUE(Await(collector, service.Request(c, PictureFormat::Png)).image);  // b goes
    EXPECT_EQ(decodes(), 3u);
    const PreviewRequest again = service.Request(a, PictureFormat::Png);
    ASSERT_TRUE(again.ready && again.ready->image);
    EXPECT_EQ(again.ready->image->height, 64u);
    EXPECT_FALSE(service.Request(b, PictureFormat::Png).ready);
    EXPECT_EQ(Await(collector, service.Request(b, PictureFormat::Png)).image->height, 63u);
    EXPECT_EQ(decodes(), 4u);
    const auto stats = service.GetStats();
    EXPECT_EQ(stats.cachedEntries, 2u);
    EXPECT_LE(stats.cachedBytes, 40000u);
    EXPECT_GT(stats.cachedBytes, 2u * 64 * 63 * 4);

    // The count cap, and a picture larger than the whole cache: delivered, not kept.
    Collector other;
    PreviewService one(other, {1 << 20, 1});
    ASSERT_TRUE(Await(other, one.Request(a, PictureFormat::Png)).image);
    ASSERT_TRUE(Await(other, one.Request(b, PictureFormat::Png)).image);
    EXPECT_FALSE(one.Request(a, PictureFormat::Png).ready);
    PreviewService tiny(other, {1000, 10});
    ASSERT_TRUE(Await(other, tiny.Request(a, PictureFormat::Png)).image);
    EXPECT_FALSE(tiny.Request(a, PictureFormat::Png).ready);
    EXPECT_EQ(tiny.GetStats().cachedEntries, 0u);

    // Failures are kept too, so a broken picture is not decoded at every look; nothing
    // to decode is answered at once.
    const Preview broken = Await(collector, service.Request(Broken(1), PictureFormat::Png));
    EXPECT_TRUE(!broken.image && !broken.error.empty());
    EXPECT_TRUE(service.Request(Broken(1), PictureFormat::Png).ready);
    EXPECT_TRUE(service.Request(a, PictureFormat::None).ready);  // a GIF, say
    EXPECT_TRUE(service.Request({}, PictureFormat::Png).ready);
    EXPECT_EQ(decodes(), 5u);
}

TEST(PreviewService, EqualRequestsShareADecodeAndCancelledTicketsHearNothing) {
    Collector collector;
    PreviewService service(collector);
    BlockThePool(service, collector);
    const Bytes& picture = Png(10, 10);
    const PreviewRequest first = service.Request(picture, PictureFormat::Png);
    const PreviewRequest second = service.Request(picture, PictureFormat::Png);
    const PreviewRequest dropped = service.Request(Png(11, 10), PictureFormat::Png);
    ASSERT_TRUE(first.ticket && second.ticket && dropped.ticket);
    EXPECT_NE(first.ticket, second.ticket);
    EXPECT_EQ(service.GetStats().pendingDecodes, 2u);  // the four held have been delivered
    service.Cancel(first.ticket);
    service.Cancel(dropped.ticket);  // its only ticket: the queued decode goes
    service.Cancel(dropped.ticket);  // twice is harmless
    EXPECT_EQ(service.GetStats().pendingDecodes, 1u);
    collector.Release();
    ASSERT_TRUE(collector.WaitTicket(second.ticket));
    EXPECT_EQ(collector.Of(second.ticket).size(), 1u);
    EXPECT_TRUE(collector.Of(first.ticket).empty());
    EXPECT_TRUE(collector.Of(dropped.ticket).empty());
    EXPECT_EQ(service.GetStats().decodes, 4u + 1);
    EXPECT_FALSE(service.Request(Png(11, 10), PictureFormat::Png).ready);
}

TEST(PreviewService, ARecordDestroyedWhileItsPictureWaitsIsSafe) {
    Collector collector;
    PreviewService service(collector);
    BlockThePool(service, collector);
    auto record = std::make_shared<Mp3FileRecord>(SharedText(u"/m"), u"a.mp3", SharedText(u"/m"));
    record->Tag().SetPicture(3, "image/png", u"", Png(12, 7));
    const Id3Frame* cover = record->Tag().FindPicture(3);
    const PreviewRequest request = service.Request(cover->Data(FieldRole::PictureData)->Data(), PictureFormat::Png);
    record.reset();  // the frame and its bytes are gone
    collector.Release();
    const Preview preview = Await(collector, request);
    ASSERT_TRUE(preview.image);
    EXPECT_EQ(preview.image->width, 12u);
}

TEST(PreviewService, DestroyedWithDecodesRunningAndQueued) {
    Collector collector;
    auto service = std::make_unique<PreviewService>(collector);
    BlockThePool(*service, collector);
    const PreviewRequest queued = service->Request(Png(13, 7), PictureFormat::Png);
    // The listeners still running ask for more: they are answered, not queued.
    PreviewService* raw = service.get();
    std::atomic<int> answered{0};
    collector.SetHook([&] {
        const PreviewRequest late = raw->Request(Png(16, 7), PictureFormat::Png);
        raw->Cancel(queued.ticket);
        answered += late.ticket == 0 && late.ready;
    });
    auto destroy = std::async(std::launch::async, [&] { service.reset(); });
    EXPECT_EQ(destroy.wait_for(200ms), std::future_status::timeout);  // the running four finish first
    collector.Release();
    destroy.get();
    EXPECT_EQ(collector.Count(), 4u);
    EXPECT_EQ(answered, 4);
    EXPECT_TRUE(collector.Of(queued.ticket).empty());
}

TEST(PreviewService, AListenerMayRequestAndCancel) {
    Collector collector;
    PreviewService service(collector);
    std::promise<PreviewRequest> inner;
    std::once_flag once;
    collector.SetHook([&] {
        std::call_once(once, [&] {
            service.Cancel(123456);
            inner.set_value(service.Request(Png(14, 7), PictureFormat::Png));
        });
    });
    Await(collector, service.Request(Png(15, 7), PictureFormat::Png));
    const Preview preview = Await(collector, inner.get_future().get());
    ASSERT_TRUE(preview.image);
    EXPECT_EQ(preview.image->width, 14u);
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
                const PreviewRequest r = service.Request(pictures[random() % pictures.size()], PictureFormat::Png);
                if (!r.ticket) continue;
                const bool cancel = random() % 3 == 0;
                if (cancel) service.Cancel(r.ticket);
                std::lock_guard lock(mutex);
                (cancel ? cancelled : kept).insert(r.ticket);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const PreviewTicket ticket : kept) {
        ASSERT_TRUE(collector.WaitTicket(ticket));
        EXPECT_EQ(collector.Of(ticket).size(), 1u);
    }
    for (const PreviewTicket ticket : cancelled) EXPECT_LE(collector.Of(ticket).size(), 1u);
    EXPECT_LE(service.GetStats().cachedEntries, 3u);
}

}  // namespace
}  // namespace quorvane
