#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// Takes the file's bytes over the values in config, which hold the defaults
// (the window's start position and size). Only the first 22 bytes count.
// Fields a short file lacks keep their values, except lastUpdateDay, which
// becomes 0.
void parseConfiguration(std::string_view bytes, ProgramConfiguration& config);
// The 22 bytes of the file for config.
std::string serializeConfiguration(const ProgramConfiguration& config);

// parseConfiguration on the file's first 22 bytes. Returns false, changing
// nothing, when the file cannot be opened or is no regular file.
bool readConfiguration(const std::string& path, ProgramConfiguration& config);
// Returns false when the file cannot be written (the old file then stays).
bool writeConfiguration(const std::string& path, const ProgramConfiguration& config);

}  // namespace trelvo
