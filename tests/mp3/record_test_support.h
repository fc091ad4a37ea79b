#pragma once
// Real files for the record and save tests: lame output tagged by mutagen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "library/mp3_file_record.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane::test {

// Tags `path` with mutagen: ID3v2 of `version` (3 or 4, 0 for none) with the frames
// given as "ID=text" (COMM as "COMM=lang|desc|text", APIC as "APIC=<size>"), and an ID3v1
// record from the same title/artist/album when `v1`.
inline void TagWithMutagen(const std::filesystem::path& path, int version, const std::vector<std::string>& frames,
                           bool v1) {
    static const char* kScript = R"PY(
import sys
from mutagen.id3 import ID3, Frames, COMM, APIC
path, version, v1 = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
tags = ID3()
for spec in sys.argv[4:]:
    fid, text = spec.split('=', 1)
    if fid == 'COMM':
        lang, desc, value = text.split('|')
        tags.add(COMM(encoding=1, lang=lang, desc=desc, text=value))
    elif fid == 'APIC':
        data = bytes((i * 7) % 251 for i in range(int(text)))
        tags.add(APIC(encoding=0, mime='image/jpeg', type=3, desc='cover', data=data))
    else:
        tags.add(Frames[fid](encoding=1, text=text))
if version:
    tags.save(path, v2_version=version, v1=2 if v1 else 0)
elif v1:
    tags.save(path, v1=2)
    from mutagen.id3 import delete
    delete(path, delete_v1=False, delete_v2=True)  # keep only the ID3v1 record
)PY";
    std::vector<std::string> args = {path.string(), std::to_string(version), v1 ? "1" : "0"};
    args.insert(args.end(), frames.begin(), frames.end());
    const CommandResult r = RunPython(kScript, args);
    ASSERT_EQ(r.status, 0) << r.err;
}

// Mutagen's view of a file: "v2=<version> TIT2=<text> ...; v1=<title>" (frames sorted).
inline std::string MutagenView(const std::filesystem::path& path) {
    static const char* kScript = R"PY(
import sys
from mutagen.id3 import ID3, ID3NoHeaderError
path = sys.argv[1]
out = []
with open(path, 'rb') as fh:
    has_v2 = fh.read(3) == b'ID3'
if has_v2:
    t = ID3(path, load_v1=False)
    out.append('v2=%d' % t.version[1])
    for k in sorted(t.keys()):
        f = t[k]
        out.append('%s=%s' % (k, getattr(f, 'text', [''])[0] if hasattr(f, 'text') else len(f.data)))
else:
    out.append('v2=none')
with open(path, 'rb') as fh:
    fh.seek(-128, 2)
    tail = fh.read(128)
out.append('v1=' + (tail[3:33].rstrip(b'\0 ').decode('latin-1') if tail[:3] == b'TAG' else 'none'))
print(' '.join(out))
)PY";
    const CommandResult r = RunPython(kScript, {path.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string out = r.out;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

inline std::unique_ptr<Mp3FileRecord> LoadRecord(const std::filesystem::path& path, UserPrompts& prompts) {
    const std::u16string dir = PathFromNative(path.parent_path().string());
    auto record = std::make_unique<Mp3FileRecord>(dir, PathFromNative(path.filename().string()), dir);
    record->LoadFile(prompts);
    return record;
}

class RecordFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SettingsStore::Instance().OpenAt((settings_ / "s.ini").string())); }
    TempDir settings_;
    TempDir dir_;
    RecordingPrompts prompts_;
};

}  // namespace quorvane::test
