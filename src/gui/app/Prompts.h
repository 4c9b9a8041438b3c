#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QDialog;
class QWidget;

namespace trelvo {

// Every message box and file dialog of the program passes here. In test mode
// nothing is shown: answers come from a queue and every box is recorded, so
// that a test can check the exact text and answer it.
class Prompts {
public:
    enum class Icon { information, warning, question, error };
    enum class Answer { yes, no, back };
    // The button that Enter presses: "Ne" for questions whose "Ano" destroys.
    enum class Default { yes, no };

    struct Shown {
        Icon icon;
        QString caption;
        QString text;
        Default defaultButton = Default::yes;
        bool canGoBack = false;  // a third way out besides Ano and Ne
        // The buttons of a choice, and the number of the one Enter presses.
        QStringList buttons{};
        int defaultChoice = 0;
    };

    explicit Prompts(bool testMode = false) : testMode_(testMode) {}

    void inform(QWidget* parent, Icon icon, const QString& caption, const QString& text);
    // Yes/No question; a No leaves everything unchanged. Escape answers No.
    bool ask(QWidget* parent, const QString& caption, const QString& text, Icon icon = Icon::question,
             Default defaultButton = Default::yes);
    // Yes/No question with a way back: Escape, "Storno" and closing the box
    // answer back, so that the user can return to what they were doing.
    Answer askOrGoBack(QWidget* parent, const QString& caption, const QString& text);
    // A question with buttons of its own: the first is the default, and
    // Escape or closing the box answers the last. Gives the number of the
    // button pressed.
    int choose(QWidget* parent, Icon icon, const QString& caption, const QString& text, const QStringList& buttons);
    // A line of text asked for; an empty result means it was cancelled.
    QString askText(QWidget* parent, const QString& caption, const QString& text);
    // An empty result means the dialog was cancelled. An empty start folder
    // is the working directory.
    QString openFile(QWidget* parent, const QString& caption, const QString& filter,
                     const QString& startFolder = {});
    // The chooser asks nothing about an existing file: each caller has its own
    // question. A name typed without an extension gets defaultExtension, if
    // one is given ("txt" turns "list" into "list.txt"; "list.csv" stays).
    // With several filters ("A (*.txt);;B (*.csv)"), chosenFilter receives the
    // one the user chose, and without a defaultExtension a name typed without
    // one gets that filter's.
    QString saveFile(QWidget* parent, const QString& caption, const QString& filter, const QString& startFolder,
                     const QString& defaultExtension = {}, QString* chosenFilter = nullptr);

    // A modal dialog of the program; true when it was accepted.
    bool runDialog(QDialog& dialog);

    // Test mode: queued answers, taken in order; with none left a question is
    // answered No, a file dialog cancelled and a dialog rejected. A queued
    // dialog answer fills the dialog as a user would and says whether it
    // was accepted.
    // A queued back answers a plain question No.
    void queueAnswer(bool yes) { answers_.push_back(yes ? Answer::yes : Answer::no); }
    void queueGoBack() { answers_.push_back(Answer::back); }
    // The button pressed in the next choice; with none queued, its last.
    void queueChoice(int button) { choices_.push_back(button); }
    void queueDialog(std::function<bool(QDialog&)> answer) { dialogs_.push_back(std::move(answer)); }
    void queueFile(const QString& path) { files_.push_back(path); }
    // The text typed into a text question; with none queued it is cancelled.
    void queueText(const QString& typed) { texts_.push_back(typed); }
    // The filter a save dialog is left on; with none queued, its first filter.
    void queueFilter(const QString& filter) { filters_.push_back(filter); }
    const std::vector<Shown>& shown() const { return shown_; }
    // The folder each file dialog started in, in order.
    const std::vector<QString>& startFolders() const { return startFolders_; }
    void clearShown() { shown_.clear(); }
    // Called as each box or question is shown, in test mode too: a test sees
    // the window as the user would see it behind the box.
    std::function<void(const Shown&)> onShown;

private:
    QString nextFile();
    Answer nextAnswer();
    void record(const Shown& shown);

    bool testMode_;
    std::deque<Answer> answers_;
    std::deque<int> choices_;
    std::deque<QString> files_;
    std::deque<QString> filters_;
    std::deque<QString> texts_;
    std::deque<std::function<bool(QDialog&)>> dialogs_;
    std::vector<Shown> shown_;
    std::vector<QString> startFolders_;
};

}  // namespace trelvo
