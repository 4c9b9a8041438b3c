// A reload of the grid's 200 rows plus a full repaint, in the real main window
// over a dictionary of a million entries (offscreen).
#include <unistd.h>

#include <QApplication>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "GeneratedDictionary.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/settings/ProgramPaths.h"
#include "gui/app/Prompts.h"
#include "gui/windows/TForm1Probe.h"
#include "gui/windows/Tgridik.h"

using namespace trelvo;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::string dir = "/tmp/trelvo-grid-bench-" + std::to_string(getpid()) + "/";
    fs::create_directories(dir + "DSL");
    fs::copy_file(joinPath(executableFolder(), "upchar.dat"), dir + "upchar.dat");
    if (!writeDictionaryFile(generatedHeader(), generatedEntries(1'000'000, 3), dir + "DSL/big.dsl")) return 1;

    Prompts prompts(true);
    ProgramEnvironment env = realEnvironment(prompts);
    env.programDir = dir;
    {
        TForm1 form(env);
        if (!form.startUp()) return 1;
        const TForm1Probe window(form);
        form.resize(800, 600);
        form.show();
        window.toolButton(ToolButton::automaticUpdate)->setChecked(false);  // no update check while measuring
        window.chooseDictionary(0);
        QCoreApplication::processEvents();

        std::mt19937 random(1);
        std::uniform_int_distribution<std::size_t> pick(0, window.store().entryCount() - 1);
        std::vector<double> times;
        for (int i = 0; i < 100; ++i) {
            const std::size_t position = pick(random);
            auto start = std::chrono::steady_clock::now();
            window.reloadRowsAt(position);
            window.grid()->viewport()->repaint();
            times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(times.begin(), times.end());
        std::printf("grid refill + full repaint, 1,000,000 entries, %d rows visible: median %.2f ms, max %.2f ms\n",
                    window.grid()->bottomVisibleRow() - window.grid()->topVisibleRow() + 1, times[times.size() / 2],
                    times.back());
    }
    fs::remove_all(dir);
    return 0;
}
