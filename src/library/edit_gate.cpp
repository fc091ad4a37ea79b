#include "library/edit_gate.h"

#include "platform/user_prompts.h"

namespace quorvane {

bool RefuseWhileSaving(const EditGate& gate, std::span<const RecordPtr> records, UserPrompts& prompts) {
    for (const RecordPtr& record : records) {
        if (record && gate.IsBeingSaved(*record)) {
            prompts.ShowError(ProgramTitle(), kEditWhileSaving);
            return true;
        }
    }
    return false;
}

}  // namespace quorvane
