// The main window: backups of the open dictionary before large changes are
// saved, and a backup put back.
#include <cerrno>
#include <ctime>

#include "TBackupList.h"
#include "TForm1.h"
#include "UiText.h"
#include "core/dictionary/DictionaryBackups.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/editing/DictionaryChange.h"
#include "gui/app/Prompts.h"

namespace trelvo {

namespace {

QString backupDate(const DictionaryBackup& backup) {
    const auto two = [](int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    return QStringLiteral("%1. %2. %3 %4:%5:%6")
        .arg(backup.day)
        .arg(backup.month)
        .arg(backup.year)
        .arg(backup.hour)
        .arg(two(backup.minute), two(backup.second));
}

QString backupRow(const DictionaryBackup& backup) {
    return backupDate(backup) + QStringLiteral(" – ") +
           (backup.entryCount ? entryCountText(*backup.entryCount) : QStringLiteral("nečitelná záloha"));
}

// Why a backup could not be made, as the user can act on it.
QString backupErrorText(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT: return QStringLiteral("na disku není místo");
        case EACCES:
        case EPERM:
        case EROFS: return QStringLiteral("do složky nelze zapisovat");
        case ELOOP:
        case ENOTDIR: return QStringLiteral("místo složky je tam odkaz nebo soubor");
        default: return QStringLiteral("chyba č. %1").arg(error);
    }
}

}  // namespace

void TForm1::noteLargeChange(const DictionaryChange& change) {
    switch (change.kind) {
        case ChangeKind::clearedTranslations:
        case ChangeKind::clearedNotes:
        case ChangeKind::converted:
        case ChangeKind::synchronised:
        case ChangeKind::restored:
        case ChangeKind::merged: largeChangeUnsaved_ = true; return;
        case ChangeKind::imported:
            if (change.added.size() > largeImport || change.removed.size() > largeImport) largeChangeUnsaved_ = true;
            return;
        case ChangeKind::added:
        case ChangeKind::edited:
        case ChangeKind::deleted:
        case ChangeKind::properties: return;
    }
}

// Under the dictionary's lock, just before the save writes the file.
void TForm1::backUpBeforeSave() {
    backupError_ = 0;
    if (!largeChangeUnsaved_) return;
    const BackupResult backup = backUpDictionary(store.header.filePath, std::time(nullptr));
    if (backup.outcome == BackupOutcome::failed)
        backupError_ = backup.error;
    else  // a save that fails now leaves that file as it is: one copy is enough
        largeChangeUnsaved_ = false;
}

// The save went on without the backup: the change was asked for, and the
// user learns that the old file is gone with it.
void TForm1::tellFailedBackup() {
    if (backupError_ == 0) return;
    const QString folder = QString::fromStdString(backupFolderOf(store.header.filePath));
    env_.prompts->inform(this, Prompts::Icon::warning, QStringLiteral("Upozornění"),
                         QStringLiteral("Před uložením se nepodařilo zazálohovat původní soubor slovníku do složky "
                                        "\"%1\" (%2). Změny jsou uloženy, ale předchozí stav slovníku nelze "
                                        "obnovit ze zálohy.")
                             .arg(folder, backupErrorText(backupError_)));
    backupError_ = 0;
}

void TForm1::restoreFromBackup() {
    if (!store.isOpen()) return;
    finishCellEdit();
    const std::vector<DictionaryBackup> backups = listBackups(store.header.filePath);
    const QString name = uiText(store.header.name);
    if (backups.empty()) {
        env_.prompts->inform(this, Prompts::Icon::information, QStringLiteral("Obnovení ze zálohy"),
                             QStringLiteral("Slovník „%1“ zatím nemá žádnou zálohu. Záloha vzniká při uložení "
                                            "velké změny: synchronizace, aktualizace, převodu na výchozí položky, "
                                            "vymazání sloupce nebo importu více než %2 záznamů.")
                                 .arg(name)
                                 .arg(largeImport));
        return;
    }
    QStringList rows;
    std::vector<bool> readable;
    for (const DictionaryBackup& backup : backups) {
        rows << backupRow(backup);
        readable.push_back(backup.entryCount.has_value());
    }
    TBackupList dialog(this);
    dialog.prepare(rows, readable);
    centre(&dialog);
    if (!env_.prompts->runDialog(dialog) || dialog.chosen() < 0) return;
    const DictionaryBackup& chosen = backups[static_cast<std::size_t>(dialog.chosen())];
    if (!env_.prompts->ask(this, QStringLiteral("Upozornění"),
                           QStringLiteral("Obsah slovníku „%1“ se nahradí zálohou ze dne %2 (%3). Slovník se tím "
                                          "změní, ale neuloží. Má se záloha obnovit?")
                               .arg(name, backupDate(chosen), entryCountText(chosen.entryCount.value_or(0))),
                           Prompts::Icon::warning, Prompts::Default::no))
        return;
    DictionaryHeader header;
    EntryList entries;
    if (!readDictionaryFile(chosen.path, header, entries, store.limits)) {
        env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                             QStringLiteral("Zálohu \"%1\" nelze načíst jako slovník; slovník se nezměnil.")
                                 .arg(QString::fromStdString(chosen.path)));
        return;
    }
    header.filePath = store.header.filePath;
    // The properties, the access code among them, change only for whoever may change them.
    if (!(header == store.header) && !checkAccessCode()) return;
    DictionaryChange change = DictionaryChange::between(ChangeKind::restored, store.entries, entries);
    if (!(header == store.header)) {
        const DictionaryChange properties = DictionaryChange::headerChanged(store.header, header);
        change.headerBefore = properties.headerBefore;
        change.headerAfter = properties.headerAfter;
    }
    // The whole backup is one change, taken back as one.
    if (applyRecorded(change)) recordChange(std::move(change));
}

}  // namespace trelvo
