#include "TestProgram.h"

#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/settings/ProgramConfiguration.h"
#include "core/update/HttpClient.h"
#include "gui/windows/TForm3.h"
#include "gui/windows/TForm4.h"
#include "gui/windows/TForm5.h"
#include "gui/windows/Tgridik.h"
#include "gui/windows/TNewTrelvo.h"

namespace fs = std::filesystem;

namespace trelvo {

std::uint32_t next(std::deque<std::uint32_t>& values) {
    std::uint32_t value = values.front();
    values.pop_front();
    return value;
}

std::string readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

EntryList entriesInFile(const std::string& path) {
    DictionaryHeader h;
    EntryList entries;
    EXPECT_TRUE(readDictionaryFile(path, h, entries));
    return entries;
}

void TestProgram::SetUp() {
    char name[] = "/tmp/trelvo-window-XXXXXX";
    dir_ = std::string(mkdtemp(name)) + "/";
    fs::copy_file(std::string(TRELVO_RUNTIME_DIR) + "/upchar.dat", dir_ + "upchar.dat");
    fs::create_directory(dir_ + "DSL");
    // Updates are looked for only on this machine, at a port where nothing listens.
    std::ofstream(dir_ + "net.ini") << "127.0.0.1:9/trelvo\n";
}

void TestProgram::TearDown() {
    window_.reset();
    fs::remove_all(dir_);
}

std::string TestProgram::dictionary(const std::string& file, const std::string& name, bool withPicture,
                                    const std::vector<std::pair<std::string, std::string>>& pairs) {
    EntryList entries;
    for (const auto& [term, translation] : pairs)
        entries.append(CodePage::fromUtf8(term, 1250), CodePage::fromUtf8(translation, 1252), "", 0);
    std::string path = dictionary(file, name, entries);
    if (!withPicture) {
        DictionaryHeader h;
        EntryList read;
        EXPECT_TRUE(readDictionaryFile(path, h, read));
        h.languageImage[0].clear();
        EXPECT_TRUE(writeDictionaryFile(h, read, path));
    }
    return path;
}

std::string TestProgram::dictionary(const std::string& file, const std::string& name, const EntryList& entries) {
    DictionaryHeader h;
    h.name = CodePage::fromUtf8(name, 1250);
    h.languageName = {CodePage::fromUtf8("Čeština", 1250), CodePage::fromUtf8("Angličtina", 1250)};
    h.languageCharset = {238, 0};
    h.languageImage[0] = readBytes(std::string(TRELVO_RUNTIME_DIR) + "/../flags/cz.bmp");
    std::string path = dir_ + "DSL/" + file;
    EXPECT_TRUE(writeDictionaryFile(h, entries, path));
    return path;
}

void TestProgram::settings(int lastUpdateDay, int lastDictionary, QRect window) {
    ProgramConfiguration config;
    config.lastDictionary = lastDictionary;
    config.left = window.left();
    config.top = window.top();
    config.width = window.width();
    config.height = window.height();
    config.lastUpdateDay = lastUpdateDay;
    ASSERT_TRUE(writeConfiguration(dir_ + "trelvo.cfg", config));
}

TForm1Probe TestProgram::start(bool expectRunning) {
    ProgramEnvironment env;
    env.programDir = dir_;
    env.today = [] { return today; };
    env.random = [this] { return randomValues_.empty() ? 0x1234u : next(randomValues_); };
    env.screens = [this] { return screens_; };
    env.http = [] { return makeHttpClient(); };
    env.prompts = &prompts_;
    window_ = std::make_unique<TForm1>(env);
    EXPECT_EQ(window_->startUp(), expectRunning);
    // The dialogs belong to the window and go with it.
    properties_ = new TNewTrelvo(prompts_, window_.get());
    accessCode_ = new TForm5(window_.get());
    window_->attachDialogs(properties_, new TForm3(dir_, window_.get()), new TForm4(window_.get()), accessCode_);
    return *window_;
}

TForm1Probe TestProgram::startOnFirst() {
    TForm1Probe w = start();
    w.window().resize(700, 450);
    w.window().show();
    QApplication::setActiveWindow(&w.window());
    w.Timer3()->stop();
    w.chooseDictionary(0);
    return w;
}

QLineEdit* TestProgram::typeIntoCell(TForm1Probe w, const QString& text) {
    QTest::keyClick(w.grid(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (!editor) return nullptr;
    editor->selectAll();
    QTest::keyClicks(editor, text);
    return editor;
}

QString TestProgram::panel(int i) const { return TForm1Probe(*window_).statusPanel(i)->text(); }

}  // namespace trelvo
