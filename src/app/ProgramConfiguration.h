#pragma once

#include <cstdint>
#include <string>

namespace trelvo {

// The settings kept between runs in "trelvo.cfg": 22 bytes, little-endian.
struct ProgramConfiguration {
    bool autoUpdate = true;
    int lastDictionary = 0;  // catalogue position, stored as one unsigned byte
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;
    int lastUpdateDay = 0;
};

// Reads the file over the values in config, which hold the defaults (the
// window's start position and size). Fields a short file lacks keep their
// values, except lastUpdateDay, which becomes 0. Returns false, changing
// nothing, when the file cannot be opened.
bool readConfiguration(const std::string& path, ProgramConfiguration& config);
// Returns false when the file cannot be written (the old file then stays).
bool writeConfiguration(const std::string& path, const ProgramConfiguration& config);

}  // namespace trelvo
