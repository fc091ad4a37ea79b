#include <cstdio>

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    std::fprintf(stderr, "usage: quorvane-cli COMMAND [OPTIONS] PATH...\n");
    return 2;
}
