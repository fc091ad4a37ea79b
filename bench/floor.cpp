// The bare-I/O floor of listing: per file open, read the tag header and the tag, 4 KiB
// after it and the last 128 bytes, close. Directories are walked with readdir.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
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

static void Walk(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = dir + "/" + name;
        if (e->d_type == DT_DIR) {
            if (name[0] != '.') Walk(path);
        } else if (name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".mp3") == 0 && name[0] != '.') {
            Visit(path);
        }
    }
    closedir(d);
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) Walk(argv[i]);
    std::printf("%zu files (%llu)\n", files, checksum);
}
