#include "operations/target_files.h"

namespace quorvane {

std::vector<RecordPtr> TargetFiles(std::span<const RecordPtr> selection, std::span<const RecordPtr> listed) {
    const std::span<const RecordPtr> from = selection.empty() ? listed : selection;
    std::vector<RecordPtr> targets;
    targets.reserve(from.size());
    for (const RecordPtr& record : from) {
        if (record) targets.push_back(record);
    }
    return targets;
}

}  // namespace quorvane
