#pragma once
// The directory walk the bench programs share: every .mp3 file (any case) below a
// directory, hidden names skipped, handed to `visit` in readdir order.
#include <dirent.h>
#include <strings.h>

#include <string>

template <typename Visit>
void WalkMp3(const std::string& dir, Visit&& visit) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = dir + "/" + name;
        if (e->d_type == DT_DIR) {
            if (name[0] != '.') WalkMp3(path, visit);
        } else if (name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".mp3") == 0 && name[0] != '.') {
            visit(path);
        }
    }
    closedir(d);
}
