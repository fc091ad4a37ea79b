#pragma once
// The picture a row of the Pictures tab stands for. "Edit" and "Delete" act on the frame
// the user picked, also in a file that holds two pictures of one type.
#include <cstddef>
#include <span>

#include "operations/shared_pictures.h"
#include "tags/id3_tag.h"

namespace quorvane {

class EditGate;
class UserPrompts;

// The APIC frame holds the listed picture: MIME type, type, description and image alike.
bool HoldsListedPicture(const Id3Frame& frame, const SharedPicture& picture);

// The frame of `tag` the listed picture stands for: in the first selected file the one at
// the listed position if it still holds the picture; otherwise (and in every other file)
// the first APIC frame that holds it. Null when none does.
Id3Frame* FindListedPicture(const Id3Tag& tag, const SharedPicture& picture, bool firstFile);

// "Delete": the picked picture goes from every selected file that holds it; the file's
// other pictures of that type stay. How many were removed; 0 also when a running save
// refused it (with its message).
size_t DeleteListedPicture(std::span<const RecordPtr> records, const SharedPicture& picked, const EditGate& gate,
                           UserPrompts& prompts);

}  // namespace quorvane
