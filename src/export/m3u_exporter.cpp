#include "export/m3u_exporter.h"

#include "export/playlist_entry.h"

namespace quorvane {

std::vector<FileFilter> M3uExporter::Filters() const {
    return {{u"M3U Files", u"*.m3u"}, {u"All Files", u"*.*"}};
}

std::string M3uExporter::Document(std::span<const RecordPtr> targets) const {
    std::string out = "#EXTM3U\n";
    for (const RecordPtr& record : targets) {
        const PlaylistEntry entry = MakePlaylistEntry(*record, codePage_);
        out += "#EXTINF:" + std::to_string(entry.duration) + "," + entry.artist + " - " + entry.title + "\n";
        // A line starting with '#' is a comment to every player; "./" keeps such a file
        // in the list under the same name.
        if (entry.fileName.starts_with('#')) out += "./";
        out += entry.fileName + "\n";
    }
    return out;
}

}  // namespace quorvane
