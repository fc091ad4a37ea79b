#include "operations/track_numbering.h"

namespace quorvane {

bool NumberTrack(const EditContext& context, const RecordPtr& record, TrackCounter& counter) {
    if (!counter.IsDown() || RefuseWhileSaving(context.gate, std::span(&record, 1), context.prompts)) return false;
    record->Tag().SetText(kFrameTRCK, *counter.TakeNumber());
    context.listener.FileEdited(record);
    return true;
}

}  // namespace quorvane
