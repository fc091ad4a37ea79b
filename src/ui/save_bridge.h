#pragma once
// The saver's reports, carried from the saver thread to the GUI thread. The saver never
// waits for the window: it adds the record to a queue, and at most one queued call is on
// its way. The GUI thread hands the records over in slices, with the event loop running
// between them, so ten thousand quick saves never stall the window; the finish is handed
// over after the last record.
#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

#include "library/save_listener.h"

namespace quorvane::ui {

class SaveBridge final : public QObject, public SaveListener {
    Q_OBJECT
public:
    using SavedHandler = std::function<void(const RecordPtr&)>;
    using FinishedHandler = std::function<void()>;
    // The handlers run on the thread this object lives on.
    SaveBridge(SavedHandler saved, FinishedHandler finished, QObject* parent = nullptr);

    void Saved(const RecordPtr& record) override;
    void SaveFinished() override;

private:
    void PostLocked();
    void Deliver();

    SavedHandler saved_;
    FinishedHandler finished_;
    std::mutex mutex_;  // guards the fields below
    std::deque<RecordPtr> records_;
    bool finished_pending_ = false;
    bool posted_ = false;
};

}  // namespace quorvane::ui
