#include "export/xml_export.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/user_prompts.h"
#include "tags/id3v1.h"

namespace quorvane {
namespace {

constexpr std::array<FrameId, kXmlTagFieldCount> kV2Frames = {kFrameTPE1, kFrameTALB, kFrameTIT2,
                                                               kFrameTDRC, kFrameTRCK, kFrameTCON};
constexpr std::array<const char*, kXmlTagFieldCount> kV2Attributes = {"artist", "album", "title",
                                                                       "year",   "track", "genre"};
constexpr std::array<size_t, 4> kV1Strings = {Id3v1Record::kArtist, Id3v1Record::kAlbum, Id3v1Record::kTitle,
                                              Id3v1Record::kYear};
constexpr std::array<const char*, kXmlTagFieldCount> kV1Attributes = {"artist1", "album1", "title1",
                                                                       "year1",   "track1", "genre1"};

std::u16string GroupKey(const Mp3FileRecord& record, XmlLevel level) {
    switch (level) {
        case XmlLevel::Artist: return record.Tag().GetText(kFrameTPE1);
        case XmlLevel::Album: return record.Tag().GetText(kFrameTALB);
        case XmlLevel::Year: return record.Tag().GetText(kFrameTDRC);
        case XmlLevel::Directory: return record.Directory();
        case XmlLevel::List: break;
    }
    return {};
}

// The group element's name and the attribute that carries its key.
std::pair<const char*, const char*> GroupNames(XmlLevel level) {
    switch (level) {
        case XmlLevel::Artist: return {"Artist", "name"};
        case XmlLevel::Album: return {"Album", "name"};
        case XmlLevel::Year: return {"Year", "value"};
        case XmlLevel::Directory: return {"Directory", "path"};
        case XmlLevel::List: break;
    }
    return {"List", "name"};
}

void AddLevel(XmlElement& parent, const std::vector<const Mp3FileRecord*>& files, const XmlExportOptions& options,
              size_t level) {
    if (level >= kXmlLevelCount || options.levels[level] == XmlLevel::List) {
        for (const Mp3FileRecord* file : files) parent.AddChild(XmlFileElement(*file, options));
        return;
    }
    const XmlLevel kind = options.levels[level];
    std::vector<std::u16string> keys;
    std::vector<std::vector<const Mp3FileRecord*>> groups;
    std::unordered_map<std::u16string, size_t> index;
    for (const Mp3FileRecord* file : files) {
        std::u16string key = GroupKey(*file, kind);
        const auto [at, added] = index.try_emplace(key, groups.size());
        if (added) {
            keys.push_back(std::move(key));
            groups.emplace_back();
        }
        groups[at->second].push_back(file);
    }
    const auto [name, attribute] = GroupNames(kind);
    for (size_t g = 0; g < groups.size(); ++g) {
        XmlElement& group = parent.AddChild(name);
        group.AddAttribute(XmlAttribute::String(attribute, std::move(keys[g])));
        AddLevel(group, groups[g], options, level + 1);
    }
}

}  // namespace

XmlElement XmlFileElement(const Mp3FileRecord& record, const XmlExportOptions& options) {
    XmlElement file("File");
    if (options.location == XmlLocation::FileName) {
        file.AddAttribute(XmlAttribute::String("filename", record.FileName()));
    } else if (options.location == XmlLocation::FullPath) {
        file.AddAttribute(XmlAttribute::String("path", record.FullPath()));
    }
    if (options.bitrate) file.AddAttribute(XmlAttribute::Number("bitrate", record.Stream().bitrate));
    if (options.vbr) file.AddAttribute(XmlAttribute::Boolean("vbr", record.Stream().vbr));
    if (options.duration) file.AddAttribute(XmlAttribute::Number("duration", record.Stream().duration));

    const Id3Tag& tag = record.Tag();
    for (size_t i = 0; i < kXmlTagFieldCount; ++i) {
        if (!options.v2[i]) continue;
        std::u16string value = i == kXmlGenre ? tag.GetGenre() : tag.GetText(kV2Frames[i]);
        if (options.skipIfEmpty && value.empty()) continue;
        file.AddAttribute(XmlAttribute::String(kV2Attributes[i], std::move(value)));
    }
    const Id3v1Record& v1 = tag.V1();
    for (size_t i = 0; i < kV1Strings.size(); ++i) {
        if (!options.v1[i]) continue;
        const std::u16string& value = v1.GetString(kV1Strings[i]);
        if (options.skipIfEmpty && value.empty()) continue;
        file.AddAttribute(XmlAttribute::String(kV1Attributes[i], value));
    }
    if (options.v1[kXmlTrack] && !(options.skipIfEmpty && v1.Track() == 0)) {
        file.AddAttribute(XmlAttribute::Number(kV1Attributes[kXmlTrack], v1.Track()));
    }
    if (options.v1[kXmlGenre]) {
        // A number outside the list (255 for none) has no name: empty text.
        std::u16string genre(v1.Genre() < kGenreCount ? GenreName(v1.Genre()) : std::u16string_view{});
        if (!(options.skipIfEmpty && genre.empty())) {
            file.AddAttribute(XmlAttribute::String(kV1Attributes[kXmlGenre], std::move(genre)));
        }
    }
    return file;
}

XmlElement BuildXmlListing(std::span<const RecordPtr> targets, const XmlExportOptions& options) {
    XmlElement root("MP3List");
    root.AddChild("Generator").AddAttribute(XmlAttribute::String("name", ProgramTitle()));
    std::vector<const Mp3FileRecord*> files;
    files.reserve(targets.size());
    for (const RecordPtr& record : targets) files.push_back(record.get());
    AddLevel(root, files, options, 0);
    return root;
}

std::vector<FileFilter> XmlExporter::Filters() const {
    return {{u"XML Files (*.xml)", u"*.xml"}, {u"All Files (*.*)", u"*.*"}};
}

std::string XmlExporter::Document(std::span<const RecordPtr> targets) const {
    return XmlDocument(BuildXmlListing(targets, options_));
}

}  // namespace quorvane
