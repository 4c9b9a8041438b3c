#pragma once

#include <QString>
#include <deque>
#include <vector>

class QWidget;

namespace trelvo {

// Every message box and file dialog of the program passes here. In test mode
// nothing is shown: answers come from a queue and every box is recorded, so
// that a test can check the exact text and answer it.
class Prompts {
public:
    enum class Icon { information, warning, question, error };
    enum class Answer { ok, yes, no };

    struct Shown {
        Icon icon;
        QString caption;
        QString text;
    };

    explicit Prompts(bool testMode = false) : testMode_(testMode) {}

    void inform(QWidget* parent, Icon icon, const QString& caption, const QString& text);
    // Yes/No question; a No leaves everything unchanged.
    bool ask(QWidget* parent, const QString& caption, const QString& text, Icon icon = Icon::question);
    // An empty result means the dialog was cancelled.
    QString openFile(QWidget* parent, const QString& caption, const QString& filter);
    QString saveFile(QWidget* parent, const QString& caption, const QString& filter);

    // Test mode: queued answers, taken in order; with none left a question is
    // answered No and a file dialog cancelled.
    void queueAnswer(bool yes) { answers_.push_back(yes); }
    void queueFile(const QString& path) { files_.push_back(path); }
    const std::vector<Shown>& shown() const { return shown_; }
    void clearShown() { shown_.clear(); }

private:
    QString nextFile();

    bool testMode_;
    std::deque<bool> answers_;
    std::deque<QString> files_;
    std::vector<Shown> shown_;
};

}  // namespace trelvo
