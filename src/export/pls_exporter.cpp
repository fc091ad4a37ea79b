#include "export/pls_exporter.h"

#include "export/playlist_entry.h"

namespace quorvane {

std::vector<FileFilter> PlsExporter::Filters() const {
    return {{u"PLS Files", u"*.pls"}, {u"All Files", u"*.*"}};
}

std::string PlsExporter::Document(std::span<const RecordPtr> targets) const {
    std::string out = "[playlist]\n";
    uint32_t n = 0;
    for (const RecordPtr& record : targets) {
        const PlaylistEntry entry = MakePlaylistEntry(*record, codePage_);
        const std::string number = std::to_string(++n);
        out += "File" + number + "=" + entry.fileName + "\n";
        out += "Title" + number + "=" + entry.title + "\n";
        out += "Length" + number + "=" + std::to_string(entry.duration) + "\n";
    }
    out += "NumberOfEntries=" + std::to_string(n) + "\nVersion=2";
    return out;
}

}  // namespace quorvane
