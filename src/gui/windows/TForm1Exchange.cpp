// Import, export, synchronisation with another dictionary, and the
// update check.
#include "TForm1.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>

#include "TForm4.h"
#include "UiText.h"
#include "core/dictionary/WholeFile.h"
#include "core/exchange/Export.h"
#include "core/exchange/Synchronisation.h"
#include "core/exchange/TextImport.h"
#include "core/settings/ProgramPaths.h"
#include "core/update/HttpClient.h"
#include "core/update/UpdateCheck.h"
#include "gui/app/EscapeWatch.h"
#include "gui/app/Prompts.h"
#include "gui/app/WorkerThread.h"

namespace trelvo {

namespace {

QString plannedMergeText(bool edition, const SyncCounts& counts) {
    if (edition)
        return QStringLiteral("Nové vydání slovníku nahradí %1 výchozích záznamů, %2 vlastních a importovaných "
                              "záznamů zůstane zachováno a %3 záznamů přibude. Má se synchronizace provést?")
            .arg(counts.replaced)
            .arg(counts.kept)
            .arg(counts.added);
    return QStringLiteral("Do slovníku přibude %1 importovaných záznamů, stávajících %2 záznamů zůstane beze změny. "
                          "Má se import provést?")
        .arg(counts.added)
        .arg(counts.kept);
}

QString mergeDoneText(bool edition, const SyncCounts& counts) {
    if (edition)
        return QStringLiteral("Nahrazeno výchozích záznamů: %1\nZachováno vlastních a importovaných záznamů: %2\n"
                              "Přidáno nových záznamů: %3")
            .arg(counts.replaced)
            .arg(counts.kept)
            .arg(counts.added);
    return QStringLiteral("Přidáno importovaných záznamů: %1\nStávajících záznamů beze změny: %2")
        .arg(counts.added)
        .arg(counts.kept);
}

// The update question: the program's own two sentences, and between them
// what the merge will do and whose signature vouches for the edition.
QString editionQuestion(const EditionOffer& offer) {
    const QString signature =
        offer.signature.verdict == SignatureVerdict::verified
            ? QStringLiteral("Vydání je podepsáno důvěryhodným klíčem: %1")
                  .arg(QString::fromStdString(offer.signature.signer))
            : QStringLiteral("Vydání není podepsáno, jeho původ nelze ověřit.");
    return QStringLiteral("Na aktualizačním serveru byla nalezena novější verze slovníku verze: %1.\n"
                          "Bude nahrazeno výchozích záznamů: %2\n"
                          "Zůstane zachováno vlastních a importovaných záznamů: %3\n"
                          "Přibude nových záznamů: %4\n"
                          "%5\n"
                          "Přejete si provést synchronizaci dat?")
        .arg(QString::fromStdString(offer.version))
        .arg(offer.counts.replaced)
        .arg(offer.counts.kept)
        .arg(offer.counts.added)
        .arg(signature);
}

}  // namespace

// One update check under way. The thread that waits on its servers shares
// it with the window, so each outlives whichever lets go first.
struct TForm1::UpdateJob {
    std::unique_ptr<HttpClient> http;
    SignaturePolicy policy;  // read before the thread starts, only read after
    EditionSearch search;
    EditionDownload download;
};

UpdateUi TForm1::updateUi() {
    UpdateUi ui;
    ui.setStatus = [this](const std::string& text) { showUpdateStatus(text); };
    ui.askToSynchronise = [this](const EditionOffer& offer) {
        return env_.prompts->ask(this, QStringLiteral("Upozornění ..."), editionQuestion(offer));
    };
    // The header as the edition's merge left it, before the update stamps it.
    auto merged = std::make_shared<std::optional<DictionaryHeader>>();
    ui.synchroniseWithDownload = [this, merged](const std::string& path,
                                                const std::function<bool(const SyncCounts&)>& agree) {
        OpenDialog2FileName = path;
        const SyncOutcome outcome = ToolButton11Click(false, agree);
        if (outcome == SyncOutcome::synchronised) *merged = store.header;
        return outcome;
    };
    ui.save = [this, merged] {
        // The edition's stamp, set after the merge, is undone with it (ChangeCommand joins them).
        if (*merged && store.header != **merged) {
            DictionaryChange stamp = DictionaryChange::headerChanged(**merged, store.header);
            stamp.kind = ChangeKind::synchronised;
            // The merge was saved, its stamp not yet: the step joined of both is not what the
            // file holds until the save below (and a stack never joins onto its saved place).
            undoStack_->resetClean();
            recordChange(std::move(stamp));
            *merged = store.header;
        }
        return saveDictionary();
    };
    ui.today = env_.today;
    ui.reportCompleted = [this] {
        env_.prompts->inform(this, Prompts::Icon::information, QStringLiteral("Dokončení automatické aktualizace ..."),
                             QStringLiteral("Automatická aktualizace byla dokončena."));
    };
    return ui;
}

void TForm1::showUpdateStatus(const std::string& text) {
    updateStatus_ = QString::fromStdString(text);
    statusPanels[0]->setText(updateStatus_);
}

void TForm1::checkForUpdate() {
    if (abandonUpdateCheck()) refreshDictionaryStatus();
    if (!store.isOpen() || !toolButton(ToolButton::automaticUpdate)->isChecked()) {
        emit updateChecked(2);
        return;
    }
    auto job = std::make_shared<UpdateJob>();
    job->http = env_.http();
    // Read for each check, so that a key added or require-signed put in
    // place while the program runs counts from the next check on.
    job->policy = readSignaturePolicy(joinPath(programDir, trustedKeysName), joinPath(programDir, requireSignedName),
                                      joinPath(programDir, signedLocationsName));
    update_ = job;
    WorkerThread* worker = updateWorker_.get();
    const std::string downloadPath = joinPath(programDir, "download.dsl");
    // The thread works on copies: the dictionary may change while it waits.
    // The edition is downloaded before the question, which says what it holds.
    worker->start(
        [this, worker, job, locations = updateLocations, dictionaryId = store.header.idAndAccessCode,
         stamp = store.header.updateStamp, shown = statusPanels[0]->text().toStdString(), downloadPath] {
            auto setStatus = [this, worker, job](const std::string& text) {
                worker->post([this, job, text] {
                    if (job == update_) showUpdateStatus(text);
                });
            };
            job->search = searchLocations(locations, numericId(dictionaryId), stamp, *job->http, setStatus, shown);
            if (job->search.edition)
                job->download =
                    downloadEdition(*job->http, *job->search.edition, downloadPath, job->policy, dictionaryId);
        },
        [this, job, downloadPath] {
            whenFree(job, [this, job, downloadPath] {
                if (job->search.edition)
                    takeEdition(job, downloadPath);
                else
                    endUpdateCheck(job->search.ended);
            });
        },
        [job] { job->http->cancel(); });
}

void TForm1::whenFree(const std::shared_ptr<UpdateJob>& job, std::function<void()> step) {
    if (job != update_) return;
    if (isEnabled() && !QApplication::activeModalWidget() && !QApplication::activePopupWidget()) {
        step();
        return;
    }
    // The question or the merge would come in the middle of what holds the window.
    QTimer::singleShot(100, this, [this, job, step = std::move(step)] { whenFree(job, step); });
}

void TForm1::takeEdition(const std::shared_ptr<UpdateJob>& job, const std::string& downloadPath) {
    // Nothing waits on a server any more: the merge shows its own progress.
    updateStatus_.clear();
    UpdateUi ui = updateUi();
    endUpdateCheck(
        trelvo::takeEdition(store, *job->search.edition, downloadPath, job->download, ui, lastUpdateDay));
    settingsChanged();  // the day of the update
}

void TForm1::endUpdateCheck(const UpdateCheckResult& result) {
    update_.reset();
    updateStatus_.clear();
    // The check's progress texts took the first panel; whatever came of it,
    // the panel names the dictionary again.
    refreshDictionaryStatus();
    if (!result.error.empty())
        env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"), QString::fromStdString(result.error));
    if (result.code == 0) {
        // No location answers: no later opening tries again until the program ends.
        toolButton(ToolButton::automaticUpdate)->setEnabled(false);
        toolButton(ToolButton::automaticUpdate)->setChecked(false);
    }
    emit updateChecked(result.code);
}

bool TForm1::abandonUpdateCheck() {
    if (!update_) return false;
    update_.reset();
    updateStatus_.clear();
    updateWorker_->cancelAll();
    return true;
}

void TForm1::ToolButton12Click(bool down) {
    autoUpdate = down;
    settingsChanged();
    if (autoUpdate)
        checkForUpdate();
    else if (abandonUpdateCheck())  // the permission is withdrawn from the check under way too
        refreshDictionaryStatus();
}

void TForm1::ToolButton2Click() {
    if (!store.isOpen()) return;
    // The file's first column is always language 0.
    if (direction.sourceSide != 0) swapDirection();
    const QString path = env_.prompts->openFile(
        this, QStringLiteral("Import slov"),
        QStringLiteral("Textové soubory (*.txt);;CSV (*.csv);;Sešity Excelu (*.xlsx);;TBX (*.tbx *.xml);;Všechny soubory (*)"));
    // A cancelled choice changes nothing.
    if (path.isEmpty()) return;
    RegularFile file;
    // A device or an oversized file is refused rather than read without end.
    if (!file.open(path.toStdString(), wordListLimit)) {
        env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                             QStringLiteral("Soubor \"%1\" nelze přečíst (není to běžný soubor, nebo je větší "
                                            "než 1 GiB); nic se nezměnilo.")
                                 .arg(path));
        return;
    }
    const EscapeWatch escape;  // from the moment the text offers it
    setEnabled(false);
    statusPanels[0]->setText(QStringLiteral("Probíhá import položek ... (Storno: klávesa Esc)"));
    QCoreApplication::processEvents();
    const auto importedFrom = static_cast<std::uint32_t>(store.entryCount());
    ImportSource source(file);
    const ImportResult result =
        importFile(store, characterTables, path.toStdString(), source, [&escape](std::size_t) {
            QCoreApplication::processEvents();
            return !escape.pressed();
        });
    const ImportReading& reading = result.reading;
    if (result.outcome != ImportOutcome::imported) {
        refreshDictionaryStatus();
        setEnabled(true);
        if (result.outcome == ImportOutcome::cancelled)
            env_.prompts->inform(this, Prompts::Icon::information, QStringLiteral("Import stornován"),
                                 QStringLiteral("Import byl stornován, slovník se nezměnil."));
        else
            env_.prompts->inform(
                this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                result.outcome == ImportOutcome::tooLarge
                    ? QString::fromStdString(tooLargeImportMessage(path.toStdString(), store.limits))
                    : QStringLiteral("Soubor \"%1\" nelze načíst (%2); nic se nezměnilo.")
                          .arg(path, QString::fromStdString(reading.error)));
        return;
    }
    // The entries go in at the end: the change is they alone, with no copy of the list before.
    recordChange(DictionaryChange::appended(ChangeKind::imported, store.entries, importedFrom));
    showFromTheStart();
    setEnabled(true);
    // Many entries may have changed: the user is told what happened.
    QString report = QStringLiteral("Načteno řádků se slovy: %1\n"
                                    "Přidáno nových záznamů: %2\n"
                                    "Vynecháno, ve slovníku již jsou: %3\n"
                                    "Znaků nahrazených otazníkem: %4")
                         .arg(result.read)
                         .arg(result.added)
                         .arg(result.read - result.added)
                         .arg(reading.replacedCharacters);
    if (reading.withdrawnTerms > 0)
        report += QStringLiteral("\nVynechány zastaralé, nahrazené nebo nedoporučené termíny: %1")
                      .arg(reading.withdrawnTerms);
    if (!reading.leftLanguages.empty()) {
        QStringList left;
        for (const std::string& language : reading.leftLanguages) left << QString::fromStdString(language);
        report += QStringLiteral("\nJazyky souboru, které slovník nemá: ") + left.join(QStringLiteral(", "));
    }
    env_.prompts->inform(this, Prompts::Icon::information, QStringLiteral("Import dokončen"), report);
}

void TForm1::ToolButton9Click() {
    centre(Form4_);
    QStringList notes;
    for (const std::string& note : availableNotes(store.entries)) notes << uiText(note);
    Form4_->setAvailableNotes(notes);
    env_.prompts->runDialog(*Form4_);
    scanCatalogue();
    refreshDictionaryStatus();
    update();
}

bool TForm1::runExport() {
    const TForm4::Values dialog = Form4_->values();
    const bool dsl = dialog.dictionaryFile;
    // A text file is written in the format of the chooser's filter; the
    // dictionary's own 8-bit text comes first and is the default.
    static const std::pair<QString, ExportFormat> textFormats[] = {
        {QStringLiteral("Textový soubor (*.txt)"), ExportFormat::text},
        {QStringLiteral("Text UTF-8 (*.txt)"), ExportFormat::utf8Text},
        {QStringLiteral("CSV (*.csv)"), ExportFormat::csv},
        {QStringLiteral("TBX (*.tbx)"), ExportFormat::tbx2008},
        {QStringLiteral("TBX 2019 (*.tbx)"), ExportFormat::tbx2019},
        {QStringLiteral("Sešit Excelu (*.xlsx)"), ExportFormat::xlsx},
    };
    QStringList filters;
    for (const auto& [filter, format] : textFormats) filters << filter;
    QString chosen;
    const QString path =
        dsl ? env_.prompts->saveFile(Form4_, QStringLiteral("Export"), QStringLiteral("Soubory slovníků (*.dsl)"),
                                     QString(), QStringLiteral("dsl"))
            : env_.prompts->saveFile(Form4_, QStringLiteral("Export"), filters.join(QStringLiteral(";;")), QString(),
                                     QString(), &chosen);
    if (path.isEmpty()) return true;  // a cancelled choice closes the dialog
    ExportFormat format = dsl ? ExportFormat::dictionary : ExportFormat::text;
    for (const auto& [filter, textFormat] : textFormats)
        if (!dsl && filter == chosen) format = textFormat;
    ExportChoice choice;
    choice.byFilter = dialog.byFilter;
    for (const QString& note : dialog.admittedNotes) choice.notes.push_back(uiBytes(note));
    choice.translatedOnly = dialog.translatedOnly;
    choice.sourceSide = direction.sourceSide;
    if (QFile::exists(path) &&
        !env_.prompts->ask(Form4_, QStringLiteral("Upozornění!"),
                           QStringLiteral("Zadaný soubor již existuje, má se jeho obsah nahradit?"),
                           Prompts::Icon::warning, Prompts::Default::no))
        return false;
    const std::optional<std::size_t> exported = exportEntries(store, choice, format, path.toStdString(), env_.random);
    if (!exported)
        env_.prompts->inform(Form4_, Prompts::Icon::error, QStringLiteral("Chyba!"),
                             QStringLiteral("Export do souboru \"%1\" se nepodařil.").arg(path));
    else  // a whole dictionary may have gone out: the user is told how much
        env_.prompts->inform(Form4_, Prompts::Icon::information, QStringLiteral("Export dokončen"),
                             QStringLiteral("Exportováno záznamů: %1\nSoubor: %2").arg(*exported).arg(path));
    return true;
}

SyncOutcome TForm1::ToolButton11Click(bool bySender, const std::function<bool(const SyncCounts&)>& editionAgreed) {
    if (!store.isOpen()) return SyncOutcome::noDictionary;
    if (bySender) {
        QString path = env_.prompts->openFile(this, QStringLiteral("Synchronizace"),
                                              QStringLiteral("Soubory slovníků (*.dsl)"));
        if (path.isEmpty()) return SyncOutcome::declined;
        OpenDialog2FileName = path.toStdString();
    }
    // The questions and boxes before the merge stand over a window still in use;
    // the progress text comes when the merge itself starts.
    auto askImportOnly = [this, bySender] {
        // An update takes editions of the open dictionary only.
        return bySender && env_.prompts->ask(this, QStringLiteral("Upozornění"),
                                 QStringLiteral("Vybraný soubor slovníku není možné použít pro synchronizaci. Mají "
                                                "se položky v něm uložené pouze importovat?"));
    };
    // Every merge says first what it will do: the user's own in its question,
    // an update's in the update question.
    auto merging = [this, bySender, &editionAgreed](SyncOutcome branch, const SyncCounts& counts) {
        const bool edition = branch == SyncOutcome::synchronised;
        if (bySender ? !env_.prompts->ask(this, QStringLiteral("Upozornění"), plannedMergeText(edition, counts))
                     : !(editionAgreed && editionAgreed(counts)))
            return false;
        setEnabled(false);
        statusPanels[0]->setText(edition ? QStringLiteral("Probíhá synchronizace ...")
                                         : QStringLiteral("Probíhá import položek ..."));
        QCoreApplication::processEvents();
        return true;
    };
    SyncCounts counts;
    // The merge may change entries anywhere: what differs from the list before is the change.
    EntryList before = store.entries;
    const DictionaryHeader headerBefore = store.header;
    const SyncOutcome outcome = synchronise(store, characterTables, OpenDialog2FileName, askImportOnly,
                                            [](std::size_t) { QCoreApplication::processEvents(); }, &counts, merging);
    if (outcome == SyncOutcome::synchronised || outcome == SyncOutcome::imported) {
        DictionaryChange change = DictionaryChange::between(
            outcome == SyncOutcome::synchronised ? ChangeKind::synchronised : ChangeKind::imported, before,
            store.entries);
        if (store.header != headerBefore) {
            change.headerBefore = headerBefore;
            change.headerAfter = store.header;
        }
        recordChange(std::move(change));
        before.clear();  // before the save takes its room
        showFromTheStart();
        saveDictionary();
        if (bySender) {
            const bool edition = outcome == SyncOutcome::synchronised;
            env_.prompts->inform(this, Prompts::Icon::information,
                                 edition ? QStringLiteral("Synchronizace dokončena") : QStringLiteral("Import dokončen"),
                                 mergeDoneText(edition, counts));
        }
    } else {
        const bool unreadable = outcome == SyncOutcome::unreadable;
        if ((unreadable || outcome == SyncOutcome::tooLarge) && bySender)
            env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                                 QString::fromStdString(unreadable ? unreadableDictionaryMessage(OpenDialog2FileName)
                                                                   : tooLargeMergeMessage(OpenDialog2FileName)));
        refreshDictionaryStatus();
    }
    setEnabled(true);
    return outcome;
}

}  // namespace trelvo
