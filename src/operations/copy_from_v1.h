#pragma once
// The "Copy from ID3v1" button: the ID3v1 title, artist, album, year, genre and track of
// each selected file into its ID3v2 frames.
#include <span>
#include <vector>

#include "operations/edit_context.h"

namespace quorvane {

// A file has an ID3v1 tag to copy: one on disk that is not to be removed, or one the
// "ID3v1" pane filled in memory.
bool HasV1ToCopy(const Mp3FileRecord& record);

struct CopyFromV1Result {
    bool refused = false;             // a running save covers the records; nothing changed
    std::vector<RecordPtr> withoutV1;  // files passed over: they have no ID3v1 tag
};

// Copies each file that has an ID3v1 tag and announces it to the listener. A file
// without one is passed over: copying its empty record would blank five ID3v2 fields.
CopyFromV1Result CopyFieldsFromV1(const EditContext& context, std::span<const RecordPtr> selection);

}  // namespace quorvane
