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
    env.screens = [] {
        std::vector<QRect> areas;
        QScreen* primary = QGuiApplication::primaryScreen();
        if (primary) areas.push_back(primary->availableGeometry());
        for (QScreen* screen : QGuiApplication::screens())
            if (screen != primary) areas.push_back(screen->availableGeometry());
        if (areas.empty()) areas.push_back(QRect(0, 0, 1024, 768));
        return areas;
    };
    env.http = [] { return makeHttpClient(); };
    env.prompts = &prompts;
    return env;
}

}  // namespace trelvo
