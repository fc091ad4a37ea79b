#include "export/exporter.h"

#include "platform/paths.h"

namespace quorvane {

std::u16string ExportStartDirectory(std::span<const RecordPtr> targets) {
    if (targets.empty()) return {};
    return JoinPath(targets.front()->Directory(), u"");
}

}  // namespace quorvane
