#pragma once
// Picture export: every embedded picture of the target files written as an image file
// into one directory, named "<file name> - <picture type>.<extension>".
//
// An export never overwrites: two pictures of one type in a file, files of one name in
// two directories, or a file already there, get " (2)", " (3)" ... before the
// extension. Every part of a name goes through the file-name character replacement,
// the extension taken from a tag's MIME type included ("image/../../x"), so every
// picture lands in the chosen directory.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/mp3_file_record.h"

namespace quorvane {

class UserPrompts;

inline constexpr std::u16string_view kNoImagesInFile = u"The selected file does not contain any images.";
inline constexpr std::u16string_view kNoImagesInFiles = u"The selected files do not contain any images.";

// From a MIME type: lowered, a leading "image/" removed, "jpeg" turned into "jpg", then
// the file-name character replacement ("image/png" gives "png", "" gives "").
std::u16string PictureExtension(std::string_view mimeType);

// "<fileName> - <picture-type name>" after the file-name character replacement.
std::u16string PictureBaseName(std::u16string_view fileName, uint8_t pictureType);

// "<base>.<extension>", or for copy n of 2 and more "<base> (n).<extension>".
std::u16string PictureFileName(std::u16string_view base, std::u16string_view extension, unsigned copy);

// Whether the targets hold a picture to export; when they hold none (and there is a
// target), the "does not contain any images" box (singular for one target) first.
bool CheckPicturesToExport(std::span<const RecordPtr> targets, UserPrompts& prompts);

struct PictureExportResult {
    std::vector<std::u16string> written;  // in the order written
    unsigned failures = 0;                // each reported once
};

// Writes the pictures of the targets, last target first and each file's pictures in
// tag order, into `directory`. A failure to create a file shows "Error when opening
// file", a failure while writing "Error when writing to file" (the partial file is
// removed); the export goes on with the next picture. With `dryRun` nothing is
// created: `written` lists the names an export would take now.
PictureExportResult ExportPictures(std::span<const RecordPtr> targets, std::u16string_view directory,
                                   UserPrompts& prompts, bool dryRun = false);

}  // namespace quorvane
