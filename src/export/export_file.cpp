#include "export/export_file.h"

#include "platform/binary_file.h"

namespace quorvane {

bool ExportTarget::Open(std::u16string_view path, UserPrompts& prompts, SaveFaults* faults) {
    path_ = path;
    prompts_ = &prompts;
    uint32_t error = 0;
    if (writer_.Open(path, error, faults)) return true;
    ShowFileError(prompts, kErrorOpeningFile, path, FileException{error});
    return false;
}

bool ExportTarget::Commit(std::string_view document) {
    if (!prompts_ || !writer_.IsOpen()) return false;
    try {
        writer_.Write(std::span(reinterpret_cast<const uint8_t*>(document.data()), document.size()));
        writer_.Commit();
        return true;
    } catch (const FileException& failure) {
        writer_.Discard();
        ShowFileError(*prompts_, kErrorWritingFile, path_, failure);
        return false;
    }
}

bool ExportDocument(const Exporter& exporter, std::span<const RecordPtr> targets, std::u16string_view path,
                    UserPrompts& prompts, SaveFaults* faults) {
    if (targets.empty()) return true;
    ExportTarget target;
    if (!target.Open(path, prompts, faults)) return false;
    return target.Commit(exporter.Document(targets));
}

}  // namespace quorvane
