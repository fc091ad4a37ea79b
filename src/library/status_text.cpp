#include "library/status_text.h"

#include <string>

#include "platform/text_codec.h"

namespace quorvane {

StatusTexts ComputeStatusTexts(const StatusInputs& inputs) {
    StatusTexts texts;
    if (inputs.saving) {
        if (!inputs.currentFile.empty()) texts.pane0 = u"Saving " + inputs.currentFile + u"...";
    } else if (inputs.directoryBeingScanned.empty()) {
        texts.pane0 = u"Done";
    } else {
        texts.pane0 = u"Loading " + inputs.directoryBeingScanned + u"...";
    }
    texts.pane1 = u"Loaded: " + U16(std::to_string(inputs.recordCount));
    texts.pane2 = u"Updated: " + U16(std::to_string(inputs.needingSaving));
    return texts;
}

}  // namespace quorvane
