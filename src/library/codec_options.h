#pragma once
// The codecs' options as the settings give them, taken once per load or save.
#include "library/mp3_file_record.h"
#include "tags/tag_options.h"

namespace quorvane {

// "SaveEmpty" and "AutoConvertToV2".
LoadOptions LoadOptionsFromSettings();
// "Use2.4", "Encoding", "DecreasePaddingVal" and "AutoDeleteV1".
TagWriteOptions WriteOptionsFromSettings();

}  // namespace quorvane
