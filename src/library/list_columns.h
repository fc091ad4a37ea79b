#pragma once
// Texts of the file list's columns that are not plain tag texts, shared by the list
// view and the command-line tool.
#include <string>

namespace quorvane {

class Mp3FileRecord;

// "192" or "192 (VBR)".
std::u16string BitrateText(const Mp3FileRecord& record);
// "%.2u:%.2u" of minutes and seconds; minutes are not wrapped into hours ("62:05").
std::u16string DurationText(const Mp3FileRecord& record);

}  // namespace quorvane
