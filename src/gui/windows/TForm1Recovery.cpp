// The recovery journal of the open dictionary, the recovery of changes a
// killed program left, and the merge with another program's save.
#include "TForm1.h"

#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>
#include <utility>

#include "UiText.h"
#include "core/editing/ChangeReplay.h"
#include "gui/app/Prompts.h"

namespace trelvo {

namespace {

// What is written to the journal is on the disk within this time, even
// after a power cut.
constexpr std::chrono::milliseconds journalSyncDelay{1000};
// How long the status bar says that the journal cannot be written.
constexpr int journalUnwrittenMessageTime = 15000;

}  // namespace

void TForm1::startJournal() {
    journal_.begin(store.header.filePath, store.fileIdentity);
    mergeCounts_.reset();
}

void TForm1::journalChange(const DictionaryChange& change) {
    if (!store.isOpen() || change.empty()) return;
    if (!journal_.append(change) && !std::exchange(journalUnwrittenTold_, true)) {
        StatusBar1->showMessage(QStringLiteral("Neuložené změny nejsou zajištěny pro případ pádu programu – "
                                               "uložte slovník."),
                                journalUnwrittenMessageTime);
        // After the change is done: the box would otherwise come in the middle of it.
        const QString text = QStringLiteral("Změny slovníku „%1“ se nedaří průběžně zapisovat na disk (disk je "
                                            "nejspíš plný). Kdyby se program neočekávaně ukončil, neuložené změny "
                                            "by se ztratily. Uložte proto slovník co nejdříve, případně uvolněte "
                                            "místo na disku.")
                                 .arg(uiText(store.header.name));
        QTimer::singleShot(0, this, [this, text] {
            env_.prompts->inform(this, Prompts::Icon::warning, QStringLiteral("Upozornění"), text);
        });
    }
    if (!journalSync_) {
        journalSync_ = new QTimer(this);
        journalSync_->setSingleShot(true);
        connect(journalSync_, &QTimer::timeout, this, [this] { journal_.sync(); });
    }
    if (!journalSync_->isActive()) journalSync_->start(journalSyncDelay);
}

void TForm1::offerRecovery() {
    const QString name = uiText(store.header.name);
    for (const LeftJournal& left : leftJournals(store.header.filePath)) {
        const std::vector<DictionaryChange>& changes = left.contents.changes;
        if (changes.empty()) {
            removeLeftJournal(left.file);
            continue;
        }
        // The file was saved or replaced since: replayed onto it, the changes
        // could undo another's work. The user's entries are put aside to import.
        QString lead = QStringLiteral("Slovník „%1“ má neuložené změny z doby před neočekávaným ukončením "
                                      "programu (%2), jeho soubor byl ale od té doby změněn, a proto je nelze "
                                      "obnovit.")
                           .arg(name)
                           .arg(changes.size());
        if (left.contents.identity == store.fileIdentity) {
            const QString question = QStringLiteral("Slovník „%1“ má neuložené změny z doby před neočekávaným "
                                                    "ukončením programu (%2). Mají se obnovit?")
                                         .arg(name)
                                         .arg(changes.size());
            if (!env_.prompts->ask(this, QStringLiteral("Upozornění"), question, Prompts::Icon::warning,
                                   Prompts::Default::yes)) {
                removeLeftJournal(left.file);
                continue;
            }
            // The recovered state is where taking changes back begins: the
            // changes go to this window's journal, not to its undo stack.
            if (!replayChanges(store, changes, characterTables).tooLarge) {
                for (const DictionaryChange& change : changes) journalChange(change);
                // No undo reaches the file's state again: unsaved until saved.
                undoStack_->resetClean();
                markModified(true);
                showFromTheStart();
                // On the disk before the old journal goes: a power cut between
                // the two must not leave the recovered changes in neither.
                journal_.sync();
                removeLeftJournal(left.file);
                continue;
            }
            // Too many for the dictionary: they are put aside to import what fits.
            lead = QString::fromStdString(tooLargeReplayMessage(store.header.filePath, store.limits));
        }
        const EntryList entries = entriesPutIn(changes);
        if (entries.empty()) {
            env_.prompts->inform(this, Prompts::Icon::warning, QStringLiteral("Upozornění"),
                                 lead + QStringLiteral(" Změny nepřidaly ani neupravily žádný záznam, zahazují se."));
            removeLeftJournal(left.file);
            continue;
        }
        const std::string saved = saveForImport(store.header, entries);
        if (saved.empty()) {
            // Kept for the next opening, when there may be room for the file.
            env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                                 lead + QStringLiteral(" Záznamy, které přidaly nebo upravily, se nepodařilo uložit "
                                                       "do souboru; nabídnou se znovu při příštím otevření slovníku."));
            continue;
        }
        env_.prompts->inform(this, Prompts::Icon::warning, QStringLiteral("Upozornění"),
                             lead + QStringLiteral("\n\nZáznamy, které tyto změny přidaly nebo upravily (%1), jsou "
                                                   "uloženy v souboru\n%2\nDo slovníku je můžete přidat příkazem "
                                                   "Import slov; záznamy, které slovník již obsahuje, se přeskočí.")
                                          .arg(entries.size())
                                          .arg(QString::fromStdString(saved)));
        removeLeftJournal(left.file);
    }
}

bool TForm1::askToOverwriteOrMerge() {
    const QString question = QStringLiteral(
        "Soubor slovníku byl mezitím změněn jiným programem. Má se přepsat?\n\n"
        "Sloučit: změny z tohoto okna se provedou v souboru tak, jak ho uložil jiný program.\n"
        "Ano: soubor se přepíše obsahem tohoto okna, změny jiného programu se ztratí.\n"
        "Ne: nic se neuloží, změny z tohoto okna zůstanou neuložené.");
    switch (env_.prompts->choose(this, Prompts::Icon::warning, QStringLiteral("Upozornění"), question,
                                 {QStringLiteral("Sloučit"), QStringLiteral("Ano"), QStringLiteral("Ne")})) {
        case 0: break;
        case 1: return true;
        default: return false;
    }
    // This window's changes since its last save: exactly what its journal holds.
    const std::optional<ReplayCounts> counts = mergeOntoFile(store, journal_.changes(), characterTables);
    if (!counts || counts->tooLarge) {
        const QString file = QString::fromStdString(store.header.filePath);
        const QString reason = counts ? QString::fromStdString(tooLargeReplayMessage(store.header.filePath, store.limits))
                                      : QStringLiteral("Soubor slovníku \"%1\" se nepodařilo přečíst, a tak ho nelze "
                                                       "sloučit se změnami z tohoto okna.")
                                            .arg(file);
        env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                             reason + QStringLiteral(" Provedené změny zůstávají neuložené."));
        return false;
    }
    // Should the save fail, the unsaved changes are now those made to the file as read.
    journal_.rebase(store.fileIdentity);
    mergeCounts_ = counts;
    showFromTheStart();
    return true;
}

void TForm1::reportMerge() {
    if (!mergeCounts_) return;
    const ReplayCounts counts = *mergeCounts_;
    mergeCounts_.reset();
    QString text = QStringLiteral("Změny z tohoto okna byly sloučeny se změnami jiného programu a slovník byl "
                                  "uložen.\n\nPřevzaté změny z tohoto okna: %1\nZáznamy v rozporu: %2")
                       .arg(counts.changes)
                       .arg(counts.conflicts);
    if (counts.conflicts > 0)
        text += QStringLiteral("\n\nZáznamy v rozporu jiný program mezitím změnil nebo odstranil: zůstala jeho "
                               "verze, a kde jste záznam upravili, je vaše verze přidána vedle ní jako záznam "
                               "upravený uživatelem.");
    env_.prompts->inform(this, Prompts::Icon::information, QStringLiteral("Sloučení změn"), text);
}

}  // namespace trelvo
