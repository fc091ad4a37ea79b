// The bare-I/O floor of listing: per file open, read the tag header and the tag, 4 KiB
// after it and the last 128 bytes, close. Directories are walked with readdir.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "walk_mp3.h"
#include <vector>

static size_t files = 0;
static unsigned long long checksum = 0;

static void Visit(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    unsigned char header[10];
    size_t tag = 0;
    if (read(fd, header, 10) == 10 && memcmp(header, "ID3", 3) == 0) {
        tag = (header[6] & 0x7f) << 21 | (header[7] & 0x7f) << 14 | (header[8] & 0x7f) << 7 | (header[9] & 0x7f);
    }
    std::vector<unsigned char> buffer(tag + 4096);
    const ssize_t got = pread(fd, buffer.data(), buffer.size(), tag ? 10 : 0);
    if (got > 0) checksum += buffer[got - 1];
    struct stat st {};
    fstat(fd, &st);
    unsigned char tail[128];
    if (st.st_size >= 128 && pread(fd, tail, 128, st.st_size - 128) == 128) checksum += tail[0];
    close(fd);
    ++files;
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) WalkMp3(argv[i], Visit);
    std::printf("%zu files (%llu)\n", files, checksum);
}
