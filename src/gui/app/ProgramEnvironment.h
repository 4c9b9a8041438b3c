#pragma once

#include <QRect>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trelvo {

class HttpClient;
class Prompts;

// What the program takes from its surroundings, so that a test can give it a
// folder of its own, a fixed day, a fixed screen and recorded message boxes.
struct ProgramEnvironment {
    std::string programDir;                    // ends in "/"
    std::function<int()> today;                // day number of the current date
    std::function<std::uint32_t()> random;     // seeded from the clock
    // The available area of each screen, the primary one first.
    std::function<std::vector<QRect>()> screens;
    std::function<std::unique_ptr<HttpClient>()> http;  // a client for the update check
    Prompts* prompts = nullptr;
};

// The environment of the running program: its own folder, the clock and the
// screens.
ProgramEnvironment realEnvironment(Prompts& prompts);

}  // namespace trelvo
