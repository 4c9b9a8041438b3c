#pragma once

#include <gtest/gtest.h>

#include <QRect>
#include <QString>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/dictionary/EntryList.h"
#include "gui/app/Prompts.h"
#include "gui/windows/TForm1Probe.h"

class QLineEdit;

namespace trelvo {

// A program folder of its own for a widget test: upchar.dat, a DSL folder and
// whatever dictionaries and settings the test writes, and the main window
// started on it with a fixed day, a fixed screen and recorded message boxes.
class TNewTrelvo;
class TForm5;

class TestProgram : public ::testing::Test {
protected:
    static constexpr int today = 2026 * 372 + 11 * 31 + 7;

    void SetUp() override;
    void TearDown() override;

    // A Czech-English dictionary in DSL/; texts are given in UTF-8.
    std::string dictionary(const std::string& file, const std::string& name, bool withPicture = true,
                           const std::vector<std::pair<std::string, std::string>>& pairs = {
                               {"výhybka", "points"}, {"návěstidlo", "signal"}});
    std::string dictionary(const std::string& file, const std::string& name, const EntryList& entries);
    void settings(int lastUpdateDay, int lastDictionary = 0, QRect window = QRect(50, 60, 640, 400));
    // Starts the main window; the tests look into it through the probe.
    TForm1Probe start(bool expectRunning = true);
    // The window started, shown at 700 × 450 and active, with the first
    // dictionary of the menu open at once.
    TForm1Probe startOnFirst();
    // Types into the cell under the grid's cursor, leaving its editor open;
    // null when no editor opened.
    static QLineEdit* typeIntoCell(TForm1Probe w, const QString& text);
    QString panel(int i) const;

    std::string dir_;
    Prompts prompts_{true};
    std::unique_ptr<TForm1> window_;
    TNewTrelvo* properties_ = nullptr;
    TForm5* accessCode_ = nullptr;
    std::vector<QRect> screens_{QRect(0, 0, 1024, 768)};  // the primary screen first
    std::deque<std::uint32_t> randomValues_;  // what the random generator gives, then 0x1234
};

std::string readBytes(const std::string& path);
// The entries of the dictionary file at path, as the program reads them.
EntryList entriesInFile(const std::string& path);

}  // namespace trelvo
