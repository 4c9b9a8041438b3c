#pragma once

#include <QDialog>
#include <QImage>
#include <array>
#include <functional>
#include <string>

namespace trelvo {

class TXLabel;
struct DictionaryHeader;

// The about box: the program and the active dictionary, in shadowed labels
// over a picture of the project's own, with a link to the help.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    // The help page is looked for in programDir, the folder of the program's files.
    explicit TForm3(const std::string& programDir, QWidget* parent = nullptr);

    // The values of the active dictionary, or none (empty labels).
    void showDictionary(const DictionaryHeader* header, std::size_t entryCount);

    enum Value { name, author, entries, version, note };
    std::array<TXLabel*, 5> values{};
    TXLabel* helpLink = nullptr;
    TXLabel* programVersion = nullptr;
    // Opens the help at the topic "Slovník"; a test puts its own here.
    std::function<void()> openHelp;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage background_;
};

}  // namespace trelvo
