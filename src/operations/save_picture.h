#pragma once
// "Save picture..." of the "Edit Picture Tag" dialog: the name and filter its save
// dialog proposes, and writing the picture to the chosen file.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tags/picture_format.h"

namespace quorvane {

class UserPrompts;

// The name of the picture type, made safe for a file name ("Lead artist/lead
// performer/soloist" gives "Lead artist lead performer soloist").
std::u16string SavePictureName(uint8_t type);
// "JPG Images (*.jpg)" or "PNG Images (*.png)".
std::u16string SavePictureFilter(PictureFormat format);
// "*.jpg" or "*.png".
std::u16string SavePicturePattern(PictureFormat format);

// Writes the picture's bytes unchanged to the file (created, or emptied when it exists:
// the save dialog asked before). False after "Image is empty!", "Error when opening
// file" or "Error when writing image".
bool WritePictureFile(std::u16string_view path, std::span<const uint8_t> bytes, UserPrompts& prompts);

}  // namespace quorvane
