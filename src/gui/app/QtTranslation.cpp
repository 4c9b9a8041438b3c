#include "QtTranslation.h"

#include <QCoreApplication>
#include <QTranslator>

namespace trelvo {

bool installQtTranslation(QCoreApplication& application, const QString& folder) {
    // Czech whatever the user's locale: the program itself knows no other language.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_cs"), folder) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

}  // namespace trelvo
