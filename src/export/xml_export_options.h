#pragma once
// The options of the XML export, as the "Export XML" dialog shows them and the settings
// keep them (values "XML/..."), and the rules of its four structure levels.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorvane {

class SettingsStore;

// The entries of a structure level's list, by index (the stored value).
enum class XmlLevel : uint8_t { List = 0, Artist = 1, Album = 2, Year = 3, Directory = 4 };
inline constexpr size_t kXmlLevelCount = 4;
// The level's entry text ("List", "Artist", ...).
std::u16string_view XmlLevelName(XmlLevel level);

// The location radio buttons: "File name", "Full file path", "No location info".
enum class XmlLocation { FileName, FullPath, None };

// The tag fields of the ID3v2 and ID3v1 groups, in attribute order.
enum XmlTagField : size_t { kXmlArtist, kXmlAlbum, kXmlTitle, kXmlYear, kXmlTrack, kXmlGenre };
inline constexpr size_t kXmlTagFieldCount = 6;

struct XmlExportOptions {
    XmlLocation location = XmlLocation::FileName;
    bool duration = false;
    bool bitrate = true;
    bool vbr = false;
    std::array<bool, kXmlTagFieldCount> v2 = {true, true, true, false, false, false};
    std::array<bool, kXmlTagFieldCount> v1 = {};
    bool skipIfEmpty = true;
    std::array<XmlLevel, kXmlLevelCount> levels = {XmlLevel::List, XmlLevel::List, XmlLevel::List, XmlLevel::List};
    bool operator==(const XmlExportOptions&) const = default;
};

// One level's drop-down list in the dialog.
struct XmlLevelControl {
    XmlLevel selection = XmlLevel::List;
    bool enabled = false;
    bool operator==(const XmlLevelControl&) const = default;
};
using XmlLevelControls = std::array<XmlLevelControl, kXmlLevelCount>;

// The levels as the dialog opens with the stored "Structure0".."Structure3" (a missing
// value counts as 0): first "Artist", "Album", "List", "List" with level 4 disabled;
// then restored from level 1: a value of 5 or more ends the restoring and leaves that
// level as it was; any other value is selected and the level enabled, and 0 ("List")
// ends the restoring after it. The levels after the one where the restoring ended are
// set to "List" and disabled, up to the first of them whose stored value is 5 or more.
XmlLevelControls RestoreXmlLevels(const std::array<uint32_t, kXmlLevelCount>& stored);

// A level set by the user: "List" sets every following level to "List" and disables
// it; any other entry enables the next level.
XmlLevelControls ChangeXmlLevel(XmlLevelControls levels, size_t index, XmlLevel selection);

// The stored "Structure0".."Structure3" (0 when missing).
std::array<uint32_t, kXmlLevelCount> ReadStoredXmlLevels(SettingsStore& store);

// The options as the dialog opens: every value read with its default, the location
// "Full file path" when "FullPath" is on, else "File name" when "FileName" is on, else
// none; the levels as RestoreXmlLevels gives them.
XmlExportOptions ReadXmlExportOptions(SettingsStore& store);
// Stores every option, as the dialog does after a successful build; a value already
// stored as it is is not written again.
void WriteXmlExportOptions(const XmlExportOptions& options, SettingsStore& store);

}  // namespace quorvane
