#pragma once
// What the codecs are told by their callers: whether empty frames are kept, the version
// and text encoding written, the padding rule, the ID3v1 rule and the code page. The
// file record fills them from the settings once per load or save; the codecs read no
// setting themselves.
#include <cstdint>

#include "platform/settings_store.h"
#include "platform/text_codec.h"

namespace quorvane {

class SaveFaults;

struct TagReadOptions {
    // Frames whose texts are all empty are kept ("SaveEmpty").
    bool saveEmpty = true;
    const CodePage* codePage = &CodePage::System();
};

struct TagWriteOptions {
    // ID3v2.4 is written, else 2.3 ("Use2.4").
    bool use24 = true;
    // The index of the text encoding in the list of the version written ("Encoding").
    uint32_t encoding = 0;
    // Surplus padding is cut out once it reaches this many bytes ("DecreasePaddingVal").
    uint32_t decreasePaddingVal = settings::kNeverDecreasePadding;
    // An ID3v1 record that became empty is removed rather than written ("AutoDeleteV1").
    bool autoDeleteV1 = true;
    const CodePage* codePage = &CodePage::System();
    // Failure seam of the file moves (tests).
    SaveFaults* faults = nullptr;
};

}  // namespace quorvane
