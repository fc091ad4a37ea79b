#pragma once
// The pictures the Pictures tab shows for a selection: those every selected file holds
// alike.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "library/mp3_file_record.h"
#include "tags/picture_format.h"

namespace quorvane {

// One shown picture, copied out of the first selected file: the tab may keep it while
// the records change.
struct SharedPicture {
    size_t position = 0;  // among the first selected file's APIC frames
    uint8_t type = 0;  // the icon's caption is PictureTypeName(type)
    std::string mimeType;
    PictureFormat format = PictureFormat::None;  // from the MIME type; None gives no thumbnail
    std::u16string description;
    std::vector<uint8_t> bytes;  // empty: no thumbnail
};

// Every picture of the first record, in tag order, that each of the others holds an
// equal copy of (same MIME type, type byte, description and image bytes).
std::vector<SharedPicture> SharedPictures(std::span<const RecordPtr> records);

// "Delete All" is offered while any selected file has a picture.
bool AnyHasPicture(std::span<const RecordPtr> records);

}  // namespace quorvane
