// TagLib doing the listing work (the ten columns) or the in-place title edit.
//   taglib_bench list DIR | taglib_bench set TITLE DIR
#include <dirent.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "walk_mp3.h"

#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

static size_t files = 0;
static unsigned long long checksum = 0;
static std::string mode, title;

static void Visit(const std::string& path) {
    TagLib::MPEG::File f(path.c_str(), true, TagLib::AudioProperties::Average);
    if (!f.isValid()) return;
    if (mode == "list") {
        TagLib::Tag* t = f.tag();
        checksum += t->title().size() + t->artist().size() + t->album().size() + t->genre().size() + t->year() +
                    t->track();
        if (f.audioProperties()) checksum += f.audioProperties()->bitrate() + f.audioProperties()->lengthInSeconds();
    } else {
        f.ID3v2Tag(true)->setTitle(TagLib::String(title, TagLib::String::UTF8));
        f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate);
    }
    ++files;
}

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    mode = argv[1];
    int first = 2;
    if (mode == "set") title = argv[first++];
    for (int i = first; i < argc; ++i) WalkMp3(argv[i], Visit);
    std::printf("%zu files (%llu)\n", files, checksum);
}
