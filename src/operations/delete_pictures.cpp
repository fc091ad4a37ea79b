#include "operations/delete_pictures.h"

#include "library/edit_gate.h"
#include "tags/id3_tag.h"

namespace quorvane {

size_t DeletePicture(std::span<const RecordPtr> records, uint8_t type, const EditGate& gate, UserPrompts& prompts) {
    if (RefuseWhileSaving(gate, records, prompts)) return 0;
    size_t removed = 0;
    for (const RecordPtr& record : records) {
        Id3Tag& tag = record->Tag();
        if (const Id3Frame* frame = tag.FindPicture(type < kPictureTypeCount ? type : 0)) {
            tag.RemoveFrame(frame);
            ++removed;
        }
    }
    return removed;
}

size_t DeleteAllPictures(std::span<const RecordPtr> records, const EditGate& gate, UserPrompts& prompts) {
    if (RefuseWhileSaving(gate, records, prompts)) return 0;
    size_t removed = 0;
    for (const RecordPtr& record : records) {
        while (record->Tag().RemoveFrameById(kFrameAPIC)) ++removed;
    }
    return removed;
}

}  // namespace quorvane
