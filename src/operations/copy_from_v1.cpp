#include "operations/copy_from_v1.h"

namespace quorvane {

bool HasV1ToCopy(const Mp3FileRecord& record) {
    return (record.HasV1() || record.Tag().V1().IsChanged()) && !record.RemoveV1Requested();
}

CopyFromV1Result CopyFieldsFromV1(const EditContext& context, std::span<const RecordPtr> selection) {
    CopyFromV1Result result;
    if (RefuseWhileSaving(context.gate, selection, context.prompts)) {
        result.refused = true;
        return result;
    }
    for (const RecordPtr& record : selection) {
        if (!HasV1ToCopy(*record)) {
            result.withoutV1.push_back(record);
            continue;
        }
        record->Tag().CopyFromV1();
        context.listener.FileEdited(record);
    }
    return result;
}

}  // namespace quorvane
