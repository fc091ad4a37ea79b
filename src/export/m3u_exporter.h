#pragma once
// The M3U playlist: "#EXTM3U", then per file "#EXTINF:<seconds>,<artist> - <title>" and
// the file's name, every line ended by a line feed.
#include "export/exporter.h"
#include "platform/text_codec.h"

namespace quorvane {

class M3uExporter final : public Exporter {
public:
    // Titles and artists in `codePage` (the system's unless a test says otherwise).
    explicit M3uExporter(const CodePage& codePage = CodePage::System()) : codePage_(codePage) {}
    std::vector<FileFilter> Filters() const override;
    std::u16string DefaultExtension() const override { return u"m3u"; }
    std::string Document(std::span<const RecordPtr> targets) const override;

private:
    const CodePage& codePage_;
};

}  // namespace quorvane
