#pragma once
// The texts of the file list's ten columns for one record.
#include <string>

namespace quorvane {
class Mp3FileRecord;
}

namespace quorvane::cli {

// "192" or "192 (VBR)".
std::u16string BitrateText(const Mp3FileRecord& record);
// "%.2u:%.2u" of minutes and seconds; minutes are not wrapped into hours ("62:05").
std::u16string DurationText(const Mp3FileRecord& record);

}  // namespace quorvane::cli
