#pragma once
// Records of real files for the record and save tests: lame output tagged by mutagen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library/mp3_file_record.h"
#include "platform/text_codec.h"
#include "support/mutagen_support.h"
#include "support/test_support.h"

namespace quorvane::test {

inline RecordPtr LoadRecord(const std::filesystem::path& path, UserPrompts& prompts, const LoadOptions& options = {}) {
    const SharedText dir(PathFromNative(path.parent_path().string()));
    auto record = std::make_shared<Mp3FileRecord>(dir, PathFromNative(path.filename().string()), dir);
    record->LoadFile(prompts, options);
    return record;
}

class RecordFiles : public ::testing::Test {
protected:
    TempDir dir_;
    RecordingPrompts prompts_;
};

}  // namespace quorvane::test
