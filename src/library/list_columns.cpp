#include "library/list_columns.h"

#include <cstdio>

#include "library/mp3_file_record.h"
#include "platform/text_codec.h"

namespace quorvane {

std::u16string BitrateText(const Mp3FileRecord& record) {
    std::u16string text = U16(std::to_string(record.Stream().bitrate));
    if (record.Stream().vbr) text += u" (VBR)";
    return text;
}

std::u16string DurationText(const Mp3FileRecord& record) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2u:%.2u", record.Stream().duration / 60, record.Stream().duration % 60);
    return U16(buffer);
}

}  // namespace quorvane
