#include <malloc.h>

#include <csignal>
#include <iostream>

#include "TrelvoTool.h"

int main(int argc, char** argv) {
    // Large blocks (file bytes, keys, index records) are taken from and given
    // back to the system: glibc would otherwise raise its threshold when the
    // first one is freed and keep the later ones in the heap, and a command's
    // peak memory would depend on the order of its frees.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    // A write past the file-size limit then fails like a write to a full
    // disk and is reported, instead of the signal killing the tool mid-save.
    std::signal(SIGXFSZ, SIG_IGN);
    std::ios::sync_with_stdio(false);
    trelvo::TrelvoTool tool(std::cin, std::cout, std::cerr);
    return tool.run(std::vector<std::string>(argv + 1, argv + argc));
}
