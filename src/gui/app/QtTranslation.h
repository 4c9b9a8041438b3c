#pragma once

#include <QLibraryInfo>
#include <QString>

class QCoreApplication;

namespace trelvo {

// Qt's own dialogs and buttons (the file chooser, standard buttons) speak
// Czech like the rest of the program. Returns whether the translation was
// found; without it they stay in English and nothing is reported.
bool installQtTranslation(QCoreApplication& application,
                          const QString& folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath));

}  // namespace trelvo
