#pragma once
// Real files for the record and save tests: lame output tagged by mutagen, and
// mutagen's view of what a save left on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "library/mp3_file_record.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane::test {

// Tags `path` with mutagen: ID3v2 of `version` (3 or 4, 0 for none) with the frames
// given as "ID=text", and an ID3v1 record made from them when `v1`.
inline void TagWithMutagen(const std::filesystem::path& path, int version, const std::vector<std::string>& frames,
                           bool v1) {
    static const char* kScript = R"PY(
import sys
from mutagen.id3 import ID3, Frames, delete
path, version, v1 = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
tags = ID3()
for frame in sys.argv[4:]:
    fid, text = frame.split('=', 1)
    tags.add(Frames[fid](encoding=1, text=text))
tags.save(path, v2_version=version or 4, v1=2 if v1 else 0)
if not version:
    delete(path, delete_v1=False, delete_v2=True)
)PY";
    std::vector<std::string> args = {path.string(), std::to_string(version), v1 ? "1" : "0"};
    args.insert(args.end(), frames.begin(), frames.end());
    const CommandResult r = RunPython(kScript, args);
    ASSERT_EQ(r.status, 0) << r.err;
}

// Mutagen's view of a file: "v2=<version> TIT2=<text> ... v1=<title>" (frames sorted).
inline std::string MutagenView(const std::filesystem::path& path) {
    static const char* kScript = R"PY(
import sys
from mutagen.id3 import ID3
out = []
with open(sys.argv[1], 'rb') as fh:
    data = fh.read()
if data[:3] == b'ID3':
    t = ID3(sys.argv[1], load_v1=False)
    out.append('v2=%d' % t.version[1])
    out += ['%s=%s' % (k, t[k].text[0] if hasattr(t[k], 'text') else len(t[k].data)) for k in sorted(t.keys())]
else:
    out.append('v2=none')
out.append('v1=' + (data[-125:-95].rstrip(b'\0 ').decode('latin-1') if data[-128:-125] == b'TAG' else 'none'))
print(' '.join(out))
)PY";
    const CommandResult r = RunPython(kScript, {path.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out.substr(0, r.out.find('\n'));
}

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
