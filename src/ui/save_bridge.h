#pragma once
// The saver's reports, carried from the saver thread to the GUI thread as queued calls.
// The saver never waits for the window: each report is posted and the thread goes on.
#include <QObject>

#include <functional>

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
    SavedHandler saved_;
    FinishedHandler finished_;
};

}  // namespace quorvane::ui
