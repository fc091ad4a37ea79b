#include "export/xml_export_options.h"

#include <string>

#include "platform/settings_store.h"

namespace quorvane {
namespace {

constexpr std::array<std::string_view, kXmlTagFieldCount> kV2Names = {
    "XML/V2Artist", "XML/V2Album", "XML/V2Title", "XML/V2Year", "XML/V2Track", "XML/V2Genre"};
constexpr std::array<std::string_view, kXmlTagFieldCount> kV1Names = {
    "XML/V1Artist", "XML/V1Album", "XML/V1Title", "XML/V1Year", "XML/V1Track", "XML/V1Genre"};
constexpr std::array<std::string_view, kXmlLevelCount> kStructureNames = {
    "XML/Structure0", "XML/Structure1", "XML/Structure2", "XML/Structure3"};
// Beyond the last entry of a level's list: ends the levels.
constexpr uint32_t kLevelEntries = 5;

void Store(SettingsStore& store, std::string_view name, uint32_t value) {
    SettingValue wanted;
    wanted.kind = ValueKind::Dword;
    wanted.number = value;
    if (store.ReadRaw(name) != wanted) store.WriteNumber(name, value);
}

}  // namespace

std::u16string_view XmlLevelName(XmlLevel level) {
    switch (level) {
        case XmlLevel::List: return u"List";
        case XmlLevel::Artist: return u"Artist";
        case XmlLevel::Album: return u"Album";
        case XmlLevel::Year: return u"Year";
        case XmlLevel::Directory: return u"Directory";
    }
    return u"List";
}

XmlLevelControls RestoreXmlLevels(const std::array<uint32_t, kXmlLevelCount>& stored) {
    XmlLevelControls levels = {{{XmlLevel::Artist, true}, {XmlLevel::Album, true}, {XmlLevel::List, true},
                                {XmlLevel::List, false}}};
    size_t ended = kXmlLevelCount;  // the level where the restoring ended
    for (size_t i = 0; i < kXmlLevelCount; ++i) {
        if (stored[i] >= kLevelEntries) {
            ended = i;
            break;
        }
        levels[i] = {static_cast<XmlLevel>(stored[i]), true};
        if (stored[i] == 0) {
            ended = i;
            break;
        }
    }
    for (size_t i = ended + 1; i < kXmlLevelCount && stored[i] < kLevelEntries; ++i) {
        levels[i] = {XmlLevel::List, false};
    }
    return levels;
}

XmlLevelControls ChangeXmlLevel(XmlLevelControls levels, size_t index, XmlLevel selection) {
    if (index >= kXmlLevelCount) return levels;
    levels[index].selection = selection;
    if (selection == XmlLevel::List) {
        for (size_t i = index + 1; i < kXmlLevelCount; ++i) levels[i] = {XmlLevel::List, false};
    } else if (index + 1 < kXmlLevelCount) {
        levels[index + 1].enabled = true;
    }
    return levels;
}

std::array<uint32_t, kXmlLevelCount> ReadStoredXmlLevels(SettingsStore& store) {
    std::array<uint32_t, kXmlLevelCount> stored{};
    for (size_t i = 0; i < kXmlLevelCount; ++i) stored[i] = store.ReadNumber(kStructureNames[i], 0);
    return stored;
}

XmlExportOptions ReadXmlExportOptions(SettingsStore& store) {
    XmlExportOptions options;
    if (store.ReadBool("XML/FullPath", false)) {
        options.location = XmlLocation::FullPath;
    } else if (store.ReadBool("XML/FileName", true)) {
        options.location = XmlLocation::FileName;
    } else {
        options.location = XmlLocation::None;
    }
    options.duration = store.ReadBool("XML/Mp3Duration", false);
    options.bitrate = store.ReadBool("XML/Mp3Bitrate", true);
    options.vbr = store.ReadBool("XML/Mp3Vbr", false);
    for (size_t i = 0; i < kXmlTagFieldCount; ++i) {
        options.v2[i] = store.ReadBool(kV2Names[i], i <= kXmlTitle);
        options.v1[i] = store.ReadBool(kV1Names[i], false);
    }
    options.skipIfEmpty = store.ReadBool("XML/SkipIfEmpty", true);
    const XmlLevelControls levels = RestoreXmlLevels(ReadStoredXmlLevels(store));
    for (size_t i = 0; i < kXmlLevelCount; ++i) options.levels[i] = levels[i].selection;
    return options;
}

void WriteXmlExportOptions(const XmlExportOptions& options, SettingsStore& store) {
    Store(store, "XML/FileName", options.location == XmlLocation::FileName);
    Store(store, "XML/FullPath", options.location == XmlLocation::FullPath);
    Store(store, "XML/Mp3Duration", options.duration);
    Store(store, "XML/Mp3Bitrate", options.bitrate);
    Store(store, "XML/Mp3Vbr", options.vbr);
    for (size_t i = 0; i < kXmlTagFieldCount; ++i) {
        Store(store, kV2Names[i], options.v2[i]);
        Store(store, kV1Names[i], options.v1[i]);
    }
    Store(store, "XML/SkipIfEmpty", options.skipIfEmpty);
    for (size_t i = 0; i < kXmlLevelCount; ++i) {
        Store(store, kStructureNames[i], static_cast<uint32_t>(options.levels[i]));
    }
}

}  // namespace quorvane
