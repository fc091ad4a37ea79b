#pragma once
// Mutagen as an outside tagger and reader of the files the tests make (/usr/bin/python3).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace quorvane::test {

// Runs Python (json, os, sys, hashlib imported) with `input` on standard input; what it
// printed, without the last line feed.
inline std::string Py(const std::string& code, const std::string& input, std::vector<std::string> args = {}) {
    args.insert(args.begin(), {PythonPath(), "-c", "import json, os, sys, hashlib\n" + code});
    const CommandResult r = RunCommand(args, input);
    EXPECT_EQ(r.status, 0) << r.err << input;
    return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - (r.out.back() == '\n'));
}

// Tags `path`: ID3v2.`version` (0: none) holding "ID=text" frames ("ID=a|b" gives two
// values; "COMM=lang|desc|text"; "APIC=<size>"), and an ID3v1 record made from them when `v1`.
inline void TagWithMutagen(const std::filesystem::path& path, int version, const std::vector<std::string>& frames,
                           bool v1 = false) {
    std::vector<std::string> args = {path.string(), std::to_string(version), v1 ? "1" : "0"};
    args.insert(args.end(), frames.begin(), frames.end());
    Py(R"(from mutagen.id3 import ID3, Frames, COMM, APIC, delete
tags = ID3()
for fid, text in (arg.split('=', 1) for arg in sys.argv[4:]):
    if fid == 'COMM':
        tags.add(COMM(encoding=1, lang=text[:3], desc=text[4:text.index('|', 4)], text=text[text.index('|', 4) + 1:]))
    elif fid == 'APIC':
        tags.add(APIC(encoding=0, mime='image/jpeg', type=3, desc='cover', data=bytes(i * 7 % 251 for i in range(int(text)))))
    else:
        tags.add(Frames[fid](encoding=1, text=text.split('|')))
tags.save(sys.argv[1], v2_version=int(sys.argv[2]) or 4, v1=2 if sys.argv[3] == '1' else 0)
if sys.argv[2] == '0':
    delete(sys.argv[1], delete_v1=False, delete_v2=True))",
       "", args);
}

// Mutagen's view: "v2=<version> ID=text ... v1=<ID3v1 title>" (frames sorted; pictures by
// size), "v2=none", "v1=none".
inline std::string MutagenView(const std::filesystem::path& path) {
    return Py(R"(from mutagen.id3 import ID3
data = open(sys.argv[1], 'rb').read()
out = []
if data[:3] == b'ID3':
    t = ID3(sys.argv[1], load_v1=False)
    out.append('v2=%d' % t.version[1])
    out += ['%s=%s' % (k, t[k].text[0] if hasattr(t[k], 'text') else len(t[k].data)) for k in sorted(t.keys())]
else:
    out.append('v2=none')
out.append('v1=' + (data[-125:-95].rstrip(b'\0 ').decode('latin-1') if data[-128:-125] == b'TAG' else 'none'))
print(' '.join(out)))",
              "", {path.string()});
}

}  // namespace quorvane::test
