#include "library/preview_service.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <utility>

#include "library/decode_job.h"

namespace quorvane {

// One decode of one picture content, for every ticket that waits for it.
class PreviewService::Job final : public DecodeJob {
public:
    Job(const Key& key, std::span<const uint8_t> picture, PictureFormat format)
        : key(key), bytes(picture.begin(), picture.end()) {
        SetData(picture, format);
    }
    const Key key;
    std::vector<uint8_t> bytes;  // moved into the cache entry once decoded
    std::vector<PreviewTicket> tickets;
};

PreviewService::PreviewService(PreviewListener& listener, PreviewCacheLimits limits)
    : listener_(listener), limits_(limits), pool_(std::make_unique<JobPool>(static_cast<DecodeListener&>(*this))) {}

PreviewService::~PreviewService() {
    {
        // A listener still running may call Request or Cancel: they no longer reach the pool.
        std::lock_guard lock(lock_);
        stopping_ = true;
    }
    // Joins the workers: every notification has been sent when this returns, and the
    // jobs left behind forget the pool.
    pool_.reset();
}

PreviewService::Key PreviewService::MakeKey(std::span<const uint8_t> bytes, PictureFormat format) {
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return {std::hash<std::string_view>{}(view), bytes.size(), format};
}

PreviewRequest PreviewService::Request(std::span<const uint8_t> bytes, PictureFormat format) {
    DestroyFinishedJobs();
    if (bytes.empty()) return {0, Preview{nullptr, "no picture data"}};
    if (format == PictureFormat::None) return {0, Preview{nullptr, "neither JPEG nor PNG"}};
    const Key key = MakeKey(bytes, format);
    std::lock_guard lock(lock_);
    if (const Entry* entry = FindCached(key, bytes)) return {0, entry->preview};
    if (stopping_) return {0, Preview{nullptr, "closing"}};
    Job* job = FindPending(key, bytes);
    if (!job) {
        auto owned = std::make_unique<Job>(key, bytes, format);
        job = owned.get();
        pending_.emplace(key, std::move(owned));
        pool_->Submit(*job);
    }
    const PreviewTicket ticket = nextTicket_++;
    job->tickets.push_back(ticket);
    tickets_.emplace(ticket, job);
    return {ticket, std::nullopt};
}

void PreviewService::Cancel(PreviewTicket ticket) {
    DestroyFinishedJobs();
    std::unique_ptr<Job> dropped;
    {
        std::lock_guard lock(lock_);
        const auto found = tickets_.find(ticket);
        if (found == tickets_.end()) return;
        Job& job = *found->second;
        tickets_.erase(found);
        std::erase(job.tickets, ticket);
        // A decode nobody waits for is dropped while it is still queued; the pool then
        // never hands it over, so the job can go at once.
        if (job.tickets.empty() && !stopping_ && pool_->Cancel(job)) {
            const auto [first, last] = pending_.equal_range(job.key);
            for (auto it = first; it != last; ++it) {
                if (it->second.get() == &job) {
                    dropped = std::move(it->second);
                    pending_.erase(it);
                    break;
                }
            }
        }
    }
}

PreviewService::Stats PreviewService::GetStats() const {
    std::lock_guard lock(lock_);
    return {lru_.size(), cachedBytes_, pending_.size(), decodes_};
}

void PreviewService::PictureDecoded(DecodeJob& decoded) {
    Job& job = static_cast<Job&>(decoded);
    Preview preview{job.Image(), job.Error()};
    if (!preview.image && preview.error.empty()) preview.error = "not decoded";
    std::vector<PreviewTicket> tickets;
    std::unique_ptr<Job> owned;
    {
        std::lock_guard lock(lock_);
        ++decodes_;
        tickets = std::move(job.tickets);
        job.tickets.clear();
        for (const PreviewTicket ticket : tickets) tickets_.erase(ticket);
        const auto [first, last] = pending_.equal_range(job.key);
        for (auto it = first; it != last; ++it) {
            if (it->second.get() == &job) {
                owned = std::move(it->second);
                pending_.erase(it);
                break;
            }
        }
        Entry entry{job.key, std::move(job.bytes), preview, 0};
        entry.cost = sizeof(Entry) + entry.bytes.size() + entry.preview.error.size() +
                     (preview.image ? sizeof(RgbaImage) + preview.image->pixels.size() : 0);
        AddToCache(std::move(entry));
    }
    for (const PreviewTicket ticket : tickets) listener_.PreviewReady(ticket, preview);
    // Destroyed later by another call: the worker counts as running the job until this
    // returns, and a job waits for that when it is destroyed. Only now, so that a
    // listener calling Request cannot meet its own job among the finished ones.
    std::lock_guard lock(lock_);
    finished_.push_back(std::move(owned));
}

const PreviewService::Entry* PreviewService::FindCached(const Key& key, std::span<const uint8_t> bytes) {
    const auto [first, last] = cached_.equal_range(key);
    for (auto it = first; it != last; ++it) {
        const Lru::iterator entry = it->second;
        if (std::equal(entry->bytes.begin(), entry->bytes.end(), bytes.begin(), bytes.end())) {
            lru_.splice(lru_.begin(), lru_, entry);
            return &*entry;
        }
    }
    return nullptr;
}

PreviewService::Job* PreviewService::FindPending(const Key& key, std::span<const uint8_t> bytes) const {
    const auto [first, last] = pending_.equal_range(key);
    for (auto it = first; it != last; ++it) {
        const std::vector<uint8_t>& held = it->second->bytes;
        if (std::equal(held.begin(), held.end(), bytes.begin(), bytes.end())) return it->second.get();
    }
    return nullptr;
}

void PreviewService::AddToCache(Entry entry) {
    // A picture larger than the whole cache is delivered but not kept.
    if (entry.cost > limits_.maxBytes || limits_.maxEntries == 0) return;
    cachedBytes_ += entry.cost;
    lru_.push_front(std::move(entry));
    cached_.emplace(lru_.front().key, lru_.begin());
    EvictOver();
}

void PreviewService::EvictOver() {
    while (!lru_.empty() && (cachedBytes_ > limits_.maxBytes || lru_.size() > limits_.maxEntries)) {
        const Lru::iterator oldest = std::prev(lru_.end());
        const auto [first, last] = cached_.equal_range(oldest->key);
        for (auto it = first; it != last; ++it) {
            if (it->second == oldest) {
                cached_.erase(it);
                break;
            }
        }
        cachedBytes_ -= oldest->cost;
        lru_.erase(oldest);
    }
}

void PreviewService::DestroyFinishedJobs() {
    std::vector<std::unique_ptr<Job>> done;
    {
        std::lock_guard lock(lock_);
        done.swap(finished_);
    }
}

}  // namespace quorvane
