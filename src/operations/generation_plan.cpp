#include "operations/generation_plan.h"

namespace quorvane {

void ApplyGeneration(const GenerationPlan& plan) {
    for (auto file = plan.rbegin(); file != plan.rend(); ++file) {
        for (const FieldChange& change : file->changes) file->record->Tag().SetText(change.frame, change.newText);
    }
}

}  // namespace quorvane
