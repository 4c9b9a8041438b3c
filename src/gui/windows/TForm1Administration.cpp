// New dictionaries, the dictionary properties behind their access code,
// and the about box.
#include "TForm1.h"

#include <filesystem>

#include "TForm3.h"
#include "TForm5.h"
#include "TNewTrelvo.h"
#include "Tgridik.h"
#include "UiText.h"
#include "core/dictionary/FileIdentity.h"
#include "core/editing/DictionaryProperties.h"
#include "core/exchange/LanguageCodes.h"
#include "core/settings/ProgramPaths.h"
#include "gui/app/Prompts.h"

namespace trelvo {

bool TForm1::checkAccessCode() {
    const std::string& stored = store.header.idAndAccessCode;
    Form5_->prepare(uiText(DictionaryProperties::idOf(stored)));
    centre(Form5_);
    if (DictionaryProperties::accessCodeOf(stored).empty()) return true;
    env_.prompts->runDialog(*Form5_);
    switch (trelvo::checkAccessCode(stored, uiBytes(Form5_->code()))) {
        case AccessCheck::granted: return true;
        case AccessCheck::cancelled: return false;
        case AccessCheck::wrongCode:
            env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                                 QStringLiteral("Nesprávná hodnota přístupového kódu!"));
            return false;
    }
    return false;
}

// "Vytvoření nové databáze slov"
void TForm1::ToolButton1Click() {
    // A new dictionary replaces the active one: its changes are offered for saving first.
    if (!askToSaveChanges()) return;
    centre(NewTrelvo_);
    DictionaryProperties empty;
    empty.id = DictionaryProperties::newId(env_.random);
    NewTrelvo_->setValues(empty);
    NewTrelvo_->createMode = 1;
    env_.prompts->runDialog(*NewTrelvo_);
    scanCatalogue();
    if (store.entryCount() == 0) store.clearIndexes();
    refreshDictionaryStatus();
    window.markStale();
    showPosition(0);
    update();
}

// "Nastavení slovníku", behind the access code
void TForm1::ToolButton10Click() {
    if (!store.isOpen() || !checkAccessCode()) return;
    centre(NewTrelvo_);
    NewTrelvo_->createMode = 0;
    NewTrelvo_->setValues(DictionaryProperties::of(store.header));
    env_.prompts->runDialog(*NewTrelvo_);
    scanCatalogue();
    refreshDictionaryStatus();
    update();
}

bool TForm1::applyProperties() {
    const bool creating = NewTrelvo_->createMode == 1;
    std::string path = store.header.filePath;
    if (creating) {
        QString chosen = env_.prompts->saveFile(NewTrelvo_, QStringLiteral("Uložení slovníku"),
                                                QStringLiteral("Soubory slovníků (*.dsl)"),
                                                QString::fromStdString(joinPath(programDir, "DSL")));
        if (chosen.isEmpty()) return false;
        // Only ".dsl" files are dictionaries the menu lists, so "norma 1.2" or
        // "seznam.txt" get it too rather than being lost to the menu.
        if (!chosen.endsWith(QStringLiteral(".dsl"), Qt::CaseInsensitive)) chosen += QStringLiteral(".dsl");
        if (std::filesystem::exists(chosen.toStdString()) &&
            !env_.prompts->ask(NewTrelvo_, QStringLiteral("Upozornění"),
                               QStringLiteral("Soubor slovníku s tímto názvem již existuje, má se jeho obsah opravdu "
                                              "nahradit?"),
                               Prompts::Icon::warning, Prompts::Default::no))
            return false;
        path = chosen.toStdString();
    }
    // A new dictionary is no edition of the old one: it starts from an empty header.
    DictionaryHeader header = creating ? DictionaryHeader{} : store.header;
    std::string failedPicture;
    switch (NewTrelvo_->values().applyTo(header, failedPicture)) {
        case DictionaryProperties::Failure::badId:
            env_.prompts->inform(NewTrelvo_, Prompts::Icon::error, QStringLiteral("Chyba!"),
                                 QStringLiteral("ID slovníku musí mít přesně 8 šestnáctkových číslic (0–9, A–F)."));
            return false;
        case DictionaryProperties::Failure::badPicture:
            env_.prompts->inform(NewTrelvo_, Prompts::Icon::error, QStringLiteral("Chyba!"),
                                 QStringLiteral("Obrázek ze souboru \"%1\" nelze použít: slovník přijme jen obrázek "
                                                "BMP o velikosti nejvýše 10000 bajtů.")
                                     .arg(QString::fromStdString(failedPicture)));
            return false;
        case DictionaryProperties::Failure::none:
            break;
    }
    const bool charsetsChanged = header.languageCharset != store.header.languageCharset;
    header.filePath = path;
    const DictionaryHeader headerBefore = store.header;
    store.header = header;
    // The dialog saves at once; the change can still be taken back.
    if (!creating) recordChange(DictionaryChange::headerChanged(headerBefore, store.header));
    if (creating) {
        // A new dictionary has nothing of the old one's to take back.
        forgetChanges();
        markModified(true);
        // The file chosen is to be replaced, as the user agreed if it exists:
        // the first save asks nothing more about it.
        store.fileIdentity = FileIdentity::of(path);
        abandonUpdateCheck();  // it was for the dictionary this one replaces
        store.entries.clear();
        store.clearIndexes();
    } else if (charsetsChanged) {
        // Each language is keyed with its own table: a new character set re-keys
        // it now. The rows on screen stood for positions of the old order, so
        // they are reloaded around the entry the cursor was on.
        const DictionaryIndex& before = sourceIndex();
        const std::size_t at = window.first() + static_cast<std::size_t>(std::max(0, grid->currentRow()));
        const bool onEntry = at < before.size();
        const std::uint32_t entry = onEntry ? before.entryNumber(at) : 0;
        store.rebuildIndexes(characterTables);
        window.markStale();
        showPosition(onEntry ? store.findIndexPosition(direction.sourceSide, entry) : 0);
    }
    direction = Direction::of(store, direction.sourceSide);
    saveDictionary();
    askLanguageCodes();
    return true;
}

void TForm1::askLanguageCodes() {
    // The interchange formats tag each language with its code; a language the
    // program cannot name from its name and character set is asked about.
    std::string codes[2];
    bool asked = false;
    for (int side : {0, 1}) {
        const std::string known = languageCode(store.header, side);
        // The side file keeps only codes the name does not give.
        if (derivedLanguageCode(store.header, side) == "und" && known != "und") codes[side] = known;
        if (known != "und") continue;
        const QString typed =
            env_.prompts
                ->askText(NewTrelvo_, QStringLiteral("Kód jazyka"),
                          QStringLiteral("Jazyk \"%1\" program podle názvu nepozná. Zadejte jeho kód podle ISO 639-1 "
                                         "(dvě malá písmena, například de), aby jej export do TBX správně označil:")
                              .arg(uiText(store.header.languageName[static_cast<std::size_t>(side)])))
                .trimmed()
                .toLower();
        if (isLanguageCode(typed.toStdString())) codes[side] = typed.toStdString();
        asked = true;
    }
    if (asked && !storeLanguageCodes(store.header.filePath, codes[0], codes[1]))
        env_.prompts->inform(NewTrelvo_, Prompts::Icon::error, QStringLiteral("Chyba!"),
                             QStringLiteral("Kódy jazyků se nepodařilo uložit do souboru \"%1\".")
                                 .arg(QString::fromStdString(languageCodesPath(store.header.filePath))));
}

// "Informace o programu a aktivním slovníku"
void TForm1::ToolButton8Click() {
    Form3_->showDictionary(store.isOpen() ? &store.header : nullptr, store.entryCount());
    centre(Form3_);
    // Not modal: the dictionary stays at hand while the box is open.
    Form3_->show();
}

}  // namespace trelvo
