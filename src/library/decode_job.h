#pragma once
// One picture's decoding job: a private copy of the encoded bytes, decoded once by a
// worker of a JobPool into an image that any thread may read.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "library/picture_decoder.h"

namespace quorvane {

class JobPool;

class DecodeJob {
public:
    DecodeJob() = default;
    // Leaves the pool first (see LeavePool). A subclass that overrides Run or Decode
    // must call LeavePool in its own destructor: by the time this one runs, the
    // subclass's part is gone while a worker might still be inside it.
    virtual ~DecodeJob();
    DecodeJob(const DecodeJob&) = delete;
    DecodeJob& operator=(const DecodeJob&) = delete;

    // Replaces the picture: copies `bytes` (none when empty), drops the old image and
    // error, and marks the job not decoded. Never waits for a decode in progress; a
    // decode of the old bytes that ends afterwards is discarded. Submit the job again
    // to decode the new bytes.
    void SetData(std::span<const uint8_t> bytes, PictureFormat format);

    // What the pool's workers call: decodes the bytes when there are any and they have
    // not been decoded yet, then frees the copy. The decode itself runs without the
    // job's lock, so readers and SetData are never held up by it.
    virtual void Run();

    // Null until a decode has succeeded.
    std::shared_ptr<const RgbaImage> Image() const;
    // Empty unless the last decode failed.
    std::string Error() const;
    bool IsDecoded() const;

    // Takes the job out of the pool it was last submitted to and waits until no worker
    // runs it, so that it can be destroyed or its owner can go. Does nothing when the
    // job was never submitted or its pool is gone; must not race with the destruction
    // of that pool. Never call it from the job's own Run or from a DecodeListener for
    // this job.
    void LeavePool();

protected:
    // The decoding step of Run; the default decodes JPEG or PNG with the default limits.
    virtual DecodeResult Decode(PictureFormat format, std::span<const uint8_t> bytes);

private:
    friend class JobPool;

    mutable std::mutex lock_;
    std::vector<uint8_t> bytes_;
    PictureFormat format_ = PictureFormat::None;
    std::shared_ptr<const RgbaImage> image_;
    std::string error_;
    bool decoded_ = false;
    uint64_t generation_ = 0;  // counts SetData calls: a decode of older bytes is stale

    std::atomic<JobPool*> pool_{nullptr};  // set by Submit, cleared by Retire and ~JobPool
};

}  // namespace quorvane
