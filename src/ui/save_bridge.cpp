#include "ui/save_bridge.h"

#include <QMetaObject>

namespace quorvane::ui {

SaveBridge::SaveBridge(SavedHandler saved, FinishedHandler finished, QObject* parent)
    : QObject(parent), saved_(std::move(saved)), finished_(std::move(finished)) {}

void SaveBridge::Saved(const RecordPtr& record) {
    QMetaObject::invokeMethod(this, [this, record] { saved_(record); }, Qt::QueuedConnection);
}

void SaveBridge::SaveFinished() {
    QMetaObject::invokeMethod(this, [this] { finished_(); }, Qt::QueuedConnection);
}

}  // namespace quorvane::ui
