#pragma once
// How worker threads report to the main window: a sink called from the worker; the
// desktop program turns each call into a queued call on its own thread.
#include <cstdint>

namespace quorvane {

class Mp3FileRecord;

inline constexpr uint32_t kNotifySaved = 0;            // the record has just been saved
inline constexpr uint32_t kNotifySaveFinished = 1000;  // the saver has walked its list
inline constexpr uint32_t kNotifyPictureDecoded = 5000;

class NotificationSink {
public:
    virtual ~NotificationSink() = default;
    // Called on the worker thread. `record` is null for kNotifySaveFinished. Must not
    // wait for the receiver: the receiver of kNotifySaveFinished joins the saver thread.
    virtual void Notify(const void* sender, uint32_t code, Mp3FileRecord* record) = 0;
};

}  // namespace quorvane
