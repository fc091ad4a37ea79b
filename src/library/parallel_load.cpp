#include "library/parallel_load.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace quorvane {
namespace {

// Fewer records per thread than this, and starting a thread costs more than it saves.
constexpr size_t kMinRecordsPerThread = 32;

struct Slot {
    Mp3FileRecord::LoadResult result;
    std::atomic<bool> done{false};  // set (with release) once `result` and the record are filled
};

}  // namespace

void LoadInOrder(std::span<const RecordPtr> records, const LoadOptions& options, unsigned threads,
                 const LoadTaken& taken, const LoadStopped& stopped) {
    const size_t count = records.size();
    const size_t helpers = std::min<size_t>(threads > 1 ? threads - 1 : 0, count / kMinRecordsPerThread);
    if (helpers == 0) {
        for (size_t i = 0; i < count && !(stopped && stopped()); ++i) taken(i, records[i]->Load(options));
        return;
    }
    std::vector<Slot> slots(count);
    std::atomic<size_t> next{0};
    std::atomic<bool> ended{false};
    // Takes the next record nobody took yet; false when none is left or the work is stopped.
    auto loadNext = [&] {
        if (ended.load(std::memory_order_relaxed)) return false;
        if (stopped && stopped()) {
            ended.store(true, std::memory_order_relaxed);
            return false;
        }
        const size_t i = next.fetch_add(1, std::memory_order_relaxed);
        if (i >= count) return false;
        slots[i].result = records[i]->Load(options);
        slots[i].done.store(true, std::memory_order_release);
        slots[i].done.notify_one();
        return true;
    };
    size_t handed = 0;
    {
        std::vector<std::jthread> pool;
        pool.reserve(helpers);
        for (size_t h = 0; h < helpers; ++h)
            pool.emplace_back([&loadNext] {
                while (loadNext()) {
                }
            });
        // The calling thread loads too, and hands over, between its loads, every record
        // that is ready in turn.
        while (loadNext()) {
            for (; handed < count && slots[handed].done.load(std::memory_order_acquire); ++handed)
                taken(handed, slots[handed].result);
        }
        // Whatever the helpers still hold is waited for in turn; after a stop, only what
        // they began.
        const size_t begun = std::min(count, next.load(std::memory_order_relaxed));
        for (; handed < begun; ++handed) {
            slots[handed].done.wait(false, std::memory_order_acquire);
            taken(handed, slots[handed].result);
        }
    }
}

}  // namespace quorvane
