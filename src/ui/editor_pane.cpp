#include "ui/editor_pane.h"

#include <QKeyEvent>
#include <QPushButton>

#include "ui/editor_services.h"

namespace quorvane::ui {

EditorPane::EditorPane(EditorServices& services, QWidget* parent) : QWidget(parent), services_(services) {}

void EditorPane::ShowSelection(std::vector<RecordPtr> selection) {
    if (freshness_ == Freshness::Released || selection != shown_) {
        Reload(std::move(selection));
    } else if (freshness_ == Freshness::RecordsChanged) {
        freshness_ = Freshness::Current;
        Fill(true);
    }
}

void EditorPane::Reload(std::vector<RecordPtr> selection) {
    shown_ = std::move(selection);
    freshness_ = Freshness::Current;
    Fill(false);
}

void EditorPane::MarkStale() {
    if (freshness_ == Freshness::Current) freshness_ = Freshness::RecordsChanged;
}

bool EditorPane::HandleFormKey(const QKeyEvent& event, const std::function<void()>& save,
                               const std::function<void()>& cancel) {
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else {
            save();
        }
        return true;
    }
    if (event.key() == Qt::Key_Escape) {
        cancel();
        return true;
    }
    return false;
}

void EditorPane::Release() {
    shown_.clear();
    shown_.shrink_to_fit();
    freshness_ = Freshness::Released;
}

}  // namespace quorvane::ui
