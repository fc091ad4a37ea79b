#pragma once
// What `--dry-run` shows of an edit: every field whose value it changed, old and new.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "library/mp3_file_record.h"

namespace quorvane::cli {

// The fields of some records as they are now: the file name, every text frame (by its
// four letters), every comment (by language and short description) and the ID3v1 fields.
class FieldSnapshot {
public:
    explicit FieldSnapshot(const std::vector<RecordPtr>& records);

    // One line per field that differs from the snapshot, file by file in the snapshot's
    // order: `PATH: FIELD OLD -> NEW`, values as JSON strings, `none` for an absent field.
    std::vector<std::string> Changes() const;

private:
    // Field name -> its values, one per frame of that name, in tag order.
    using Fields = std::map<std::string, std::vector<std::string>>;
    static Fields Read(const Mp3FileRecord& record);

    std::vector<std::pair<RecordPtr, Fields>> before_;
};

}  // namespace quorvane::cli
