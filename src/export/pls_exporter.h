#pragma once
// The PLS playlist: "[playlist]", then per file n "File<n>=", "Title<n>=", "Length<n>="
// lines, then "NumberOfEntries=<count>" and "Version=2" (no line feed after it).
#include "export/exporter.h"
#include "platform/text_codec.h"

namespace quorvane {

class PlsExporter final : public Exporter {
public:
    explicit PlsExporter(const CodePage& codePage = CodePage::System()) : codePage_(codePage) {}
    std::vector<FileFilter> Filters() const override;
    std::u16string DefaultExtension() const override { return u"pls"; }
    std::string Document(std::span<const RecordPtr> targets) const override;

private:
    const CodePage& codePage_;
};

}  // namespace quorvane
