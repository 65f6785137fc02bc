// Holds a busy desktop's process table until it is killed, for bench/cli_bench.sh:
//   busy_desktop PROCESSES DESCRIPTORS_EACH
#include "busy_desktop.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: busy_desktop PROCESSES DESCRIPTORS_EACH\n", stderr);
        return 64;
    }
    const vantu::bench::BusyDesktop desktop(std::atoi(argv[1]), std::atoi(argv[2]));
    std::printf("ready %zu\n", desktop.size());
    std::fflush(stdout);
    for (;;) {
        ::pause();
    }
}
