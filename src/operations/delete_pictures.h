#pragma once
// "Delete" and "Delete All" of the Pictures tab, on every selected file.
#include <cstddef>
#include <cstdint>
#include <span>

#include "library/mp3_file_record.h"

namespace quorvane {

class EditGate;
class UserPrompts;

// Removes the first picture of the type (21 and more count as 0) from each file. How
// many pictures were removed; 0 also when a running save refused it (with its message).
size_t DeletePicture(std::span<const RecordPtr> records, uint8_t type, const EditGate& gate, UserPrompts& prompts);

// Removes every picture of each file, also those the files do not share.
size_t DeleteAllPictures(std::span<const RecordPtr> records, const EditGate& gate, UserPrompts& prompts);

}  // namespace quorvane
