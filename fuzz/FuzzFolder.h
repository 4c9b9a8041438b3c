// A folder of the fuzz target's own for the files it reads, made once a run.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <string>

inline std::string fuzzFile(const std::string& name) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/trelvo-fuzz-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        return std::string(pattern);
    }();
    return folder + "/" + name;
}
