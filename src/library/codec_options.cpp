#include "library/codec_options.h"

#include "platform/settings_store.h"

namespace quorvane {

LoadOptions LoadOptionsFromSettings() {
    LoadOptions options;
    options.tag.saveEmpty = settings::SaveEmpty();
    options.autoConvertToV2 = settings::AutoConvertToV2();
    return options;
}

TagWriteOptions WriteOptionsFromSettings() {
    TagWriteOptions options;
    options.use24 = settings::Use24();
    options.encoding = settings::Encoding();
    options.decreasePaddingVal = settings::DecreasePaddingVal();
    options.autoDeleteV1 = settings::AutoDeleteV1();
    return options;
}

}  // namespace quorvane
