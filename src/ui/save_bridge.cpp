#include "ui/save_bridge.h"

#include <QMetaObject>

#include <vector>

namespace quorvane::ui {

namespace {
// Records handed over per turn of the event loop.
constexpr size_t kRecordsPerTurn = 300;
}

SaveBridge::SaveBridge(SavedHandler saved, FinishedHandler finished, QObject* parent)
    : QObject(parent), saved_(std::move(saved)), finished_(std::move(finished)) {}

void SaveBridge::Saved(const RecordPtr& record) {
    std::lock_guard lock(mutex_);
    records_.push_back(record);
    PostLocked();
}

void SaveBridge::SaveFinished() {
    std::lock_guard lock(mutex_);
    finished_pending_ = true;
    PostLocked();
}

void SaveBridge::PostLocked() {
    if (posted_) return;
    posted_ = true;
    QMetaObject::invokeMethod(this, &SaveBridge::Deliver, Qt::QueuedConnection);
}

void SaveBridge::Deliver() {
    std::vector<RecordPtr> slice;
    bool finished = false;
    {
        std::lock_guard lock(mutex_);
        const size_t count = std::min(records_.size(), kRecordsPerTurn);
        slice.assign(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(count));
        records_.erase(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(count));
        if (records_.empty()) {
            finished = finished_pending_;
            finished_pending_ = false;
            posted_ = false;
        } else {
            // More to come: the next slice after the events waiting now.
            QMetaObject::invokeMethod(this, &SaveBridge::Deliver, Qt::QueuedConnection);
        }
    }
    for (const RecordPtr& record : slice) saved_(record);
    if (finished) finished_();
}

}  // namespace quorvane::ui
