#include <QApplication>
#include <csignal>
#include <exception>

#include "Prompts.h"
#include "QtTranslation.h"
#include "TerminationRequest.h"
#include "gui/windows/TForm1.h"
#include "gui/windows/TForm3.h"
#include "gui/windows/TForm4.h"
#include "gui/windows/TForm5.h"
#include "gui/windows/TNewTrelvo.h"

namespace {

// The box for a failure that nothing else caught, in the user's language;
// the exception's own words, if it has any, follow for a report of the fault.
QString unexpectedFailureText() {
    QString text = QStringLiteral("V programu došlo k neočekávané chybě. Program bude ukončen.");
    try {
        throw;
    } catch (const std::exception& e) {
        text += QStringLiteral("\n\n") + QString::fromLocal8Bit(e.what());
    } catch (...) {
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    // A write past the file-size limit then fails like a write to a full
    // disk, and the save says so, instead of the signal ending the program
    // with the user's changes.
    std::signal(SIGXFSZ, SIG_IGN);
    trelvo::TerminationRequest::install();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trelvo"));
    trelvo::installQtTranslation(application);
    trelvo::Prompts prompts;
    try {
        // The windows in their fixed order; the main window's start-up may end
        // the program before anything is shown.
        const trelvo::ProgramEnvironment environment = trelvo::realEnvironment(prompts);
        trelvo::TForm1 form1(environment);
        if (!form1.startUp()) return 1;
        trelvo::TNewTrelvo newTrelvo(prompts, &form1);
        trelvo::TForm3 form3(environment.programDir, &form1);
        trelvo::TForm4 form4(&form1);
        trelvo::TForm5 form5(&form1);
        form1.attachDialogs(&newTrelvo, &form3, &form4, &form5);

        trelvo::TerminationRequest termination([&form1] { form1.close(); });
        form1.show();
        return QApplication::exec();
    } catch (...) {
        // Nothing that fails unexpectedly ends the program without a word.
        prompts.inform(nullptr, trelvo::Prompts::Icon::error, QStringLiteral("Chyba!"), unexpectedFailureText());
        return 1;
    }
}
