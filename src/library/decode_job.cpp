#include "library/decode_job.h"

#include <new>
#include <utility>

#include "library/job_pool.h"

namespace quorvane {

DecodeJob::~DecodeJob() { LeavePool(); }

void DecodeJob::SetData(std::span<const uint8_t> bytes, PictureFormat format) {
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    std::lock_guard lock(lock_);
    bytes_ = std::move(copy);
    format_ = format;
    image_.reset();
    error_.clear();
    decoded_ = false;
    ++generation_;
}

void DecodeJob::Run() {
    std::vector<uint8_t> bytes;
    PictureFormat format;
    uint64_t generation;
    {
        std::lock_guard lock(lock_);
        if (decoded_ || bytes_.empty()) return;
        bytes.swap(bytes_);
        format = format_;
        generation = generation_;
    }
    std::shared_ptr<const RgbaImage> image;
    std::string error;
    try {
        DecodeResult result = Decode(format, bytes);
        if (result) {
            image = std::make_shared<const RgbaImage>(result.TakeImage());
        } else {
            error = result.Error();
        }
    } catch (const std::bad_alloc&) {
        image.reset();
        error = "out of memory";
    }
    // The encoded copy is not needed once the picture exists.
    std::vector<uint8_t>().swap(bytes);
    std::lock_guard lock(lock_);
    if (generation != generation_) return;  // SetData came meanwhile: its bytes wait for their own run
    image_ = std::move(image);
    error_ = std::move(error);
    decoded_ = true;
}

std::shared_ptr<const RgbaImage> DecodeJob::Image() const {
    std::lock_guard lock(lock_);
    return image_;
}

std::string DecodeJob::Error() const {
    std::lock_guard lock(lock_);
    return error_;
}

bool DecodeJob::IsDecoded() const {
    std::lock_guard lock(lock_);
    return decoded_;
}

void DecodeJob::LeavePool() {
    if (JobPool* pool = pool_.load()) pool->Retire(*this);
}

DecodeResult DecodeJob::Decode(PictureFormat format, std::span<const uint8_t> bytes) {
    return DecodePicture(format, bytes);
}

}  // namespace quorvane
