#pragma once
// Previews of embedded pictures, decoded when something first shows them (the Pictures
// tab, the picture dialog, an export preview) and never when files are loaded, so a
// library of many covers costs no decoding until its pictures are looked at.
//
// Decoded previews stay in a cache bounded by bytes and by count, least recently used
// first out. The cache is keyed by the picture's content (its bytes and format), never
// by the frame that held them: a frame may be destroyed or changed while its picture
// decodes, and the request holds its own copy of the bytes.
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "library/job_pool.h"
#include "library/picture_decoder.h"

namespace quorvane {

// Names one request until its preview is delivered or it is cancelled; never 0.
using PreviewTicket = uint64_t;

struct Preview {
    std::shared_ptr<const RgbaImage> image;  // null when the picture cannot be decoded
    std::string error;                       // why not, then
};

class PreviewListener {
public:
    virtual ~PreviewListener() = default;
    // Called on a worker thread of the pool, once for each ticket that was not cancelled.
    // A window queues it onto its own thread. Must return promptly and must not throw; it
    // may call Request and Cancel.
    virtual void PreviewReady(PreviewTicket ticket, const Preview& preview) = 0;
};

struct PreviewCacheLimits {
    size_t maxBytes = size_t{64} * 1024 * 1024;  // decoded pixels and the encoded copies
    size_t maxEntries = 4096;
};

struct PreviewRequest {
    PreviewTicket ticket = 0;      // the notification to wait for; 0 when none follows
    std::optional<Preview> ready;  // the preview when it is known at once (cached, or no picture)
};

class PreviewService final : private DecodeListener {
public:
    // Starts the decoding pool. The listener must outlive the service.
    explicit PreviewService(PreviewListener& listener, PreviewCacheLimits limits = {});
    // Stops the pool: decodes in progress finish (and are delivered), queued ones are dropped.
    ~PreviewService() override;
    PreviewService(const PreviewService&) = delete;
    PreviewService& operator=(const PreviewService&) = delete;

    // The preview of a picture: at once when it is cached, or when there is nothing to
    // decode (no bytes, a format other than JPEG or PNG); otherwise a ticket whose
    // preview the listener receives. Requests for equal pictures share one decode. The
    // bytes are copied: the caller's frame may go away at any time afterwards.
    PreviewRequest Request(std::span<const uint8_t> bytes, PictureFormat format);
    // The listener will not be told about the ticket (unless the notification is already
    // on its way). A decode no other ticket waits for is dropped when it has not started;
    // one already running finishes and its preview is cached.
    void Cancel(PreviewTicket ticket);

    struct Stats {
        size_t cachedEntries = 0;
        size_t cachedBytes = 0;
        size_t pendingDecodes = 0;  // queued or running
        uint64_t decodes = 0;       // decodes this service has run
    };
    Stats GetStats() const;

private:
    struct Key {
        uint64_t hash = 0;
        size_t size = 0;
        PictureFormat format = PictureFormat::None;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const { return static_cast<size_t>(key.hash); }
    };
    class Job;
    struct Entry {
        Key key;
        std::vector<uint8_t> bytes;  // the encoded picture: a hash alone could collide
        Preview preview;
        size_t cost = 0;
    };
    using Lru = std::list<Entry>;

    static Key MakeKey(std::span<const uint8_t> bytes, PictureFormat format);
    void PictureDecoded(DecodeJob& job) override;
    // Under lock_: the cached entry for these bytes, made most recently used.
    const Entry* FindCached(const Key& key, std::span<const uint8_t> bytes);
    Job* FindPending(const Key& key, std::span<const uint8_t> bytes) const;
    void AddToCache(Entry entry);
    void EvictOver();
    // Destroys the jobs whose notifications have been sent; never under lock_.
    void DestroyFinishedJobs();

    PreviewListener& listener_;
    const PreviewCacheLimits limits_;

    mutable std::mutex lock_;  // taken before the pool's lock, never held while notifying
    Lru lru_;                  // most recently used first
    std::unordered_multimap<Key, Lru::iterator, KeyHash> cached_;
    size_t cachedBytes_ = 0;
    std::unordered_multimap<Key, std::unique_ptr<Job>, KeyHash> pending_;
    std::unordered_map<PreviewTicket, Job*> tickets_;
    std::vector<std::unique_ptr<Job>> finished_;  // delivered; their workers may still be returning
    PreviewTicket nextTicket_ = 1;
    bool stopping_ = false;
    uint64_t decodes_ = 0;

    std::unique_ptr<JobPool> pool_;  // last: stopped before anything it reports to
};

}  // namespace quorvane
