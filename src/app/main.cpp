#include <QApplication>

#include "app/ProgramPaths.h"
#include "app/TForm1.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trelvo"));
    trelvo::TForm1 window(trelvo::executableFolder());
    window.show();
    return QApplication::exec();
}
