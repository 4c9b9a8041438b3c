#include "ProgramEnvironment.h"

#include <QGuiApplication>
#include <QScreen>
#include <chrono>
#include <memory>
#include <random>

#include "core/settings/ProgramFolder.h"
#include "core/settings/ProgramPaths.h"
#include "core/update/HttpClient.h"

namespace trelvo {

ProgramEnvironment realEnvironment(Prompts& prompts) {
    ProgramEnvironment env;
    env.programDir = ProgramFolder::ofRunningProgram().prepare();
    env.today = todayDayNumber;
    auto generator = std::make_shared<std::mt19937>(
        static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    env.random = [generator] { return static_cast<std::uint32_t>((*generator)()); };
    env.screen = [] {
        QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    };
    env.http = [] { return makeHttpClient(); };
    env.prompts = &prompts;
    return env;
}

}  // namespace trelvo
