#include "TForm1.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QScopedValueRollback>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QSvgRenderer>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QtMath>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "FrameColours.h"
#include "MatchList.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TNewTrelvo.h"
#include "Tgridik.h"
#include "UiText.h"
#include "core/dictionary/AtomicFile.h"
#include "core/settings/ProgramConfiguration.h"
#include "core/settings/UserSettings.h"
#include "core/settings/ProgramPaths.h"
#include "core/settings/WindowPlacement.h"
#include "core/update/UpdateLocations.h"
#include "gui/app/Prompts.h"
#include "gui/app/WorkerThread.h"
#include "gui/controls/CASShape.h"
#include "gui/controls/ProgramFrame.h"
#include "gui/controls/TWhintik.h"

namespace trelvo {

namespace {

const QString saveQuestion =
    QStringLiteral("V souboru aktivního slovníku byly provedeny změny, mají se tyto změny uložit?");

struct ToolButtonDefinition {
    ToolButton number;
    const char* hint;
    const char* keys;  // shown in the tooltip; empty for a button without keys
    bool checkable;
    bool separatorAfter;
};

// In the order of the tool bar, grouped: dictionaries, contents, editing,
// direction and update, information.
const ToolButtonDefinition toolButtonDefinitions[] = {
    {ToolButton::dictionaryMenu, "Výběr slovníku", "Ctrl+O, Alt+D", false, false},
    {ToolButton::newDictionary, "Vytvoření nové databáze slov", "Ctrl+N", false, false},
    {ToolButton::saveChanges, "Uložení provedených změn", "Ctrl+S", false, false},
    {ToolButton::settings, "Nastavení slovníku", "", false, true},
    {ToolButton::synchronise, "Synchronizace s jiným slovníkem", "", false, false},
    {ToolButton::importWords, "Import slov do aktuální databáze", "Ctrl+I", false, false},
    {ToolButton::exportEntries, "Export položek do textového souboru", "Ctrl+E", false, false},
    {ToolButton::convertToDefault, "Převést všechny položky na výchozí položky slovníku", "", false, true},
    {ToolButton::allowAdding, "Umožnit přidávání nových položek", "Insert", true, false},
    {ToolButton::swapDirection, "Změnit směr překladu", "F5", false, true},
    {ToolButton::automaticUpdate, "Povolení automatické aktualizace slovníku přes internet", "", true, true},
    {ToolButton::about, "Informace o programu a aktivním slovníku", "", false, false},
    {ToolButton::help, "Nápověda", "F1", false, false},
};

// The timers: the hint over a cell the pointer rests on (Timer1), the tick
// of the search while typing (Timer2), the reopening of the last dictionary
// once the window is up (Timer3).
constexpr std::chrono::milliseconds hintPause{300};
constexpr std::chrono::milliseconds reopenDelay{100};
// The pause after the last change of the settings before they are written.
constexpr std::chrono::milliseconds settingsPause{500};
// The language picture shows at most this much of the dictionary's bitmap.
constexpr int pictureWidth = 100;
constexpr int pictureHeight = 50;

constexpr int designWidth = 626;  // the proportions of the layout are those at this width
constexpr int margin = 4;        // left of Edit1, and of everything aligned with it
constexpr int statusPanelWidth = 200;  // the least width of the two status panels with texts
constexpr int toolBarTop = frameTop;
constexpr int editTop = frameTop + 38;
constexpr int gridTop = frameTop + 64;  // the scroll bar; the grid starts one pixel above
// How long a save waits for another program writing the same dictionary
// (trelvo-tool) before it says so; the window does not answer meanwhile.
constexpr std::chrono::seconds otherWriterWait{5};
// How long the status bar says that a save is done.
constexpr int savedMessageTime = 5000;

QString savedMessage(std::size_t entries) { return QStringLiteral("Uloženo: ") + entryCountText(entries); }

}  // namespace

TForm1::TForm1(ProgramEnvironment environment, QWidget* parent)
    : QWidget(parent), env_(std::move(environment)), updateWorker_(std::make_unique<WorkerThread>()) {
    setWindowTitle(QStringLiteral("Trelvo"));
    setMinimumSize(500, 350);
    resize(designWidth, 373);
    designGeometry_ = geometry();
    createControls();
    frame_ = putFrame(this, {QStringLiteral("Trelvo"), captionBlue, captionNavy, true, true,
                             QStringLiteral("Umožňovat vkládání nových záznamů")});
    // Over the frame the grid's hint has nothing to look for.
    connect(frame_, &CASShape::mouseMoved, this, [this] { pointerX = pointerY = -1; });
}

TForm1::~TForm1() {
    // An update check still waiting on a server is cancelled, and its thread
    // is over before anything it reports to goes.
    updateWorker_.reset();
    // The child widgets outlive this part of the window: their destruction
    // moves the focus and emits signals, which must no longer reach it.
    grid->onKeyDown = nullptr;
    grid->onPointerMove = nullptr;
    grid->onEnter = nullptr;
    grid->onLeaveEdit = nullptr;
    grid->onExit = nullptr;
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

void TForm1::createControls() {
    QFont base = font();
    base.setPixelSize(13);
    setFont(base);

    // Hidden labels that only carry the fonts of the grid's columns.
    Label1 = new QLabel(this);
    Label2 = new QLabel(this);
    Label3 = new QLabel(this);
    Label7 = new QLabel(this);
    QFont bold = base;
    bold.setPixelSize(11);
    bold.setBold(true);
    Label3->setFont(bold);
    QFont white = bold;
    white.setPixelSize(11);
    Label7->setFont(white);
    QPalette whitePalette = Label7->palette();
    whitePalette.setColor(QPalette::WindowText, Qt::white);
    Label7->setPalette(whitePalette);
    for (QLabel* label : {Label1, Label2, Label3, Label7}) {
        label->setText(QStringLiteral("Ag"));
        label->adjustSize();
        label->hide();
    }

    createToolBar();

    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(margin, editTop, 260, 22);

    Image5 = new QLabel(this);
    fadeBanner();

    Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::StyledPanel);
    Image3 = new QLabel(Panel1);
    Image3->move(1, 1);
    Panel1->move(0, editTop);
    Panel1->hide();

    ScrollBar1 = new QScrollBar(Qt::Vertical, this);
    ScrollBar1->move(0, gridTop);
    ScrollBar1->setFixedWidth(17);

    createGrid();

    PopupMenu2 = new QMenu(this);
    connect(PopupMenu2->addAction(QStringLiteral("Odstranit záznam")), &QAction::triggered, this,
            &TForm1::deleteEntry);
    connect(PopupMenu2->addAction(QStringLiteral("Vymazat veškeré přeložené texty")), &QAction::triggered, this,
            &TForm1::clearTranslations);
    connect(PopupMenu2->addAction(QStringLiteral("Vymazat veškeré poznámky")), &QAction::triggered, this,
            &TForm1::clearNotes);

    Edit2 = new QLineEdit(this);
    Edit3 = new QLineEdit(this);
    Button1 = new QPushButton(QStringLiteral("zařadit"), this);
    Edit2->setGeometry(margin, 0, 200, 22);
    Edit3->setGeometry(margin + 200, 0, 200, 22);
    Button1->setFixedHeight(20);
    for (QWidget* w : {static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3), static_cast<QWidget*>(Button1)})
        w->hide();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->move(2, 0);
    StatusBar1->setFixedHeight(20);
    const int widths[] = {statusPanelWidth, statusPanelWidth, 50};
    for (std::size_t i = 0; i < statusPanels.size(); ++i) {
        statusPanels[i] = new QLabel(StatusBar1);
        statusPanels[i]->setTextFormat(Qt::PlainText);  // they show the dictionary's own texts
        statusPanels[i]->setFixedWidth(widths[i]);
        statusPanels[i]->setFrameShape(QFrame::Panel);
        statusPanels[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(statusPanels[i]);
    }

    Panel2 = new QFrame(this);
    Panel2->move(2, 0);
    Panel2->hide();

    Timer1 = new QTimer(this);
    Timer1->setInterval(hintPause);
    Timer2 = new QTimer(this);
    Timer2->setInterval(searchTick);
    Timer3 = new QTimer(this);
    Timer3->setInterval(reopenDelay);
    Timer3->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    connect(Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    settingsTimer_ = new QTimer(this);
    settingsTimer_->setInterval(settingsPause);
    settingsTimer_->setSingleShot(true);
    connect(settingsTimer_, &QTimer::timeout, this, [this] { writeSettings(true); });

    Whintik1 = new TWhintik(this);
    Whintik1->Settv(4000);
    Whintik1->Settbv(200);
    Whintik1->SetMaxWidth(300);
    QFont hintFont = base;
    hintFont.setPixelSize(11);
    Whintik1->SetFont(hintFont);

    Edit1->installEventFilter(this);
    connect(Edit1, &QLineEdit::textEdited, this, [this] {
        if (swappedSinceSearch_) lastSearchText.clear();
        // Typing goes on: what the list was finding is no longer asked.
        matchList->cancel();
    });
    matchList = new MatchList(this);
    matchList->setDictionary(&store);
    connect(matchList, &MatchList::entryChosen, this, &TForm1::showMatch);
    connect(matchList, &MatchList::hideRequested, this, [this] { setMatchListHidden(true); });
    Edit2->installEventFilter(this);
    Edit3->installEventFilter(this);
    // Outside a dialog a push button ignores Enter unless it is auto-default;
    // Enter in the translation box hands the focus here so that the next Enter adds.
    Button1->setAutoDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm1::addEntry);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TForm1::ScrollBar1Scroll);
    connect(toolButton(ToolButton::swapDirection), &QToolButton::clicked, this, &TForm1::swapDirection);
    connect(toolButton(ToolButton::allowAdding), &QToolButton::clicked, this, &TForm1::ToolButton6Click);
    createShortcuts();
    createUndo();
}

void TForm1::createGrid() {
    grid = new Tgridik(this);
    grid->verticalHeader()->setDefaultSectionSize(Label1->height() + 2);
    grid->move(margin, gridTop - 1);
    grid->columnFonts = {Label1->font(), Label2->font(), Label3->font()};
    grid->watermark = QImage(208, 187, QImage::Format_RGB32);
    grid->watermark.fill(Qt::white);
    QPainter painter(&grid->watermark);
    QSvgRenderer(QStringLiteral(":/icons/watermark.svg")).render(&painter);
    painter.end();
    grid->markerPicture = QImage(12, 10, QImage::Format_ARGB32_Premultiplied);
    grid->markerPicture.fill(Qt::transparent);
    QPainter marker(&grid->markerPicture);
    QSvgRenderer(QStringLiteral(":/icons/marker.svg")).render(&marker);
    marker.end();
    // The context menu is offered only while no cell is being edited.
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    // Every column's width can be dragged at its head.
    grid->horizontalHeader()->show();
    grid->horizontalHeader()->setFixedHeight(Label1->height() + 4);
    // A narrow note column shows the start of its head, not its middle.
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this, &TForm1::columnDragged);
    connect(grid, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        if (!grid->editing()) PopupMenu2->popup(grid->viewport()->mapToGlobal(at));
    });
    connect(grid, &QTableWidget::currentCellChanged, this, &TForm1::StringGrid2SelectCell);
    connect(grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* cell) {
        if (!fillingRows_) commitCellEdit(cell->column(), cell->row(), cell->text());
    });
    connect(grid, &Tgridik::editorClosed, this, &TForm1::showEditedEntry);
    grid->onKeyDown = [this](QKeyEvent* e) { return StringGrid2KeyDown(e); };
    grid->onPointerMove = [this](QPoint p) { StringGrid2MouseMove(p); };
    grid->onWheel = [this](int notches) { StringGrid2MouseWheel(notches); };
    grid->onLeaveEdit = [this](int row, int col) { leaveEditTowards(row, col); };
    grid->onEnter = [this] { gridHadFocus = true; };
    grid->onExit = [this] {
        if (!hidingGrid) gridHadFocus = false;
    };
}

void TForm1::createToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setIconSize(QSize(24, 24));
    ToolBar1->move(margin, toolBarTop);
    for (const ToolButtonDefinition& definition : toolButtonDefinitions) {
        auto* button = new QToolButton(ToolBar1);
        const int number = static_cast<int>(definition.number);
        button->setObjectName(QStringLiteral("ToolButton%1").arg(number));
        const QString keys = QString::fromUtf8(definition.keys);
        button->setToolTip(QString::fromUtf8(definition.hint) +
                           (keys.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(keys)));
        button->setIcon(QIcon(QStringLiteral(":/icons/ToolButton%1.svg").arg(number)));
        button->setCheckable(definition.checkable);
        button->setAutoRaise(true);
        ToolBar1->addWidget(button);
        if (definition.separatorAfter) ToolBar1->addSeparator();
        toolButtons[static_cast<std::size_t>(number)] = button;
        // A tool button takes no focus, so a cell editor would stay open under its command.
        connect(button, &QToolButton::pressed, this, &TForm1::finishCellEdit);
    }
    // The button itself does nothing; its arrow opens the dictionary menu.
    PopupMenu1 = new QMenu(this);
    toolButton(ToolButton::dictionaryMenu)->setMenu(PopupMenu1);
    toolButton(ToolButton::dictionaryMenu)->setPopupMode(QToolButton::MenuButtonPopup);
    // A dictionary copied into DSL/ while the program runs is offered the next time the menu opens.
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TForm1::scanCatalogue);
    toolButton(ToolButton::automaticUpdate)->setChecked(true);
    connect(toolButton(ToolButton::saveChanges), &QToolButton::clicked, this, [this] { saveDictionary(); });
    connect(toolButton(ToolButton::newDictionary), &QToolButton::clicked, this, &TForm1::ToolButton1Click);
    connect(toolButton(ToolButton::settings), &QToolButton::clicked, this, &TForm1::ToolButton10Click);
    connect(toolButton(ToolButton::convertToDefault), &QToolButton::clicked, this, &TForm1::convertToDefault);
    connect(toolButton(ToolButton::about), &QToolButton::clicked, this, &TForm1::ToolButton8Click);
    connect(toolButton(ToolButton::importWords), &QToolButton::clicked, this, &TForm1::ToolButton2Click);
    connect(toolButton(ToolButton::exportEntries), &QToolButton::clicked, this, &TForm1::ToolButton9Click);
    connect(toolButton(ToolButton::synchronise), &QToolButton::clicked, this, [this] { ToolButton11Click(true); });
    connect(toolButton(ToolButton::automaticUpdate), &QToolButton::clicked, this, &TForm1::ToolButton12Click);
    connect(toolButton(ToolButton::help), &QToolButton::clicked, this,
            [this] { showHelp(QStringLiteral("Klávesy")); });
    ToolBar1->adjustSize();
}

void TForm1::fadeBanner() {
    QSvgRenderer renderer(QStringLiteral(":/icons/banner.svg"));
    // Drawn with the screen's own pixels; the fade works on each of them alike.
    const qreal ratio = devicePixelRatioF();
    QImage banner(qCeil(180 * ratio), qCeil(36 * ratio), QImage::Format_RGB32);
    banner.setDevicePixelRatio(ratio);
    banner.fill(palette().color(QPalette::Window));
    QPainter painter(&banner);
    renderer.render(&painter);
    painter.end();
    const unsigned face = palette().color(QPalette::Window).rgb() & 0xFFFFFF;
    for (int y = 0; y < banner.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(banner.scanLine(y));
        for (int x = 0; x < banner.width(); ++x) line[x] = 0xFF000000u | fadeTowardsFace(line[x] & 0xFFFFFF, face);
    }
    Image5->setPixmap(QPixmap::fromImage(banner));
    Image5->resize(180, 36);
    Image5->move(0, toolBarTop);
    Image5->lower();  // a narrow window lets the tool bar run over the banner
}

bool TForm1::startUp() {
    // The state a start begins from: updates allowed, searching in language 0.
    autoUpdate = true;
    direction = {};
    gridHadFocus = hidingGrid = refilling = false;
    idleTicks = 0;
    // The dictionary folder beside the program; one that cannot be made leaves the catalogue empty.
    programDir = env_.programDir;
    std::error_code ignored;
    std::filesystem::create_directory(joinPath(programDir, "DSL"), ignored);
    // The grid is in place; its cursor starts on row 0.
    placeCursor(0, 0);
    markModified(false);
    // Without the character tables nothing can be searched or sorted: the program ends.
    if (!characterTables.loadCharacterTables(joinPath(programDir, "upchar.dat"))) {
        env_.prompts->inform(nullptr, Prompts::Icon::error, QStringLiteral("Chyba!"),
                             QStringLiteral("Nebyl nalezen soubor \"upchar.dat\". Program bude ukončen."));
        return false;
    }
    scanCatalogue();
    // Window placement, the update permission, the last dictionary and the update reminder.
    readSettings();
    updateLocations = readUpdateLocations(joinPath(programDir, "net.ini"));
    layoutMainWindow();
    refreshDictionaryStatus();
    toolButton(ToolButton::automaticUpdate)->setChecked(autoUpdate);
    // The dictionary used last opens once the window is up.
    if (lastDictionary >= 0 && static_cast<std::size_t>(lastDictionary) < store.cataloguePaths.size())
        Timer3->start();
    // The hint over cut-off cells and the search while typing.
    Timer1->start();
    Timer2->start();
    // The user starts by typing a term.
    focusSearchBox();
    return true;
}

void TForm1::readSettings() {
    ProgramConfiguration config;
    config.autoUpdate = autoUpdate;
    config.lastDictionary = lastDictionary;
    config.left = designGeometry_.left();
    config.top = designGeometry_.top();
    config.width = designGeometry_.width();
    config.height = designGeometry_.height();
    readUserSettings(userSettingsPath(), userSettings_);
    const int today = env_.today();
    const bool configured = readConfiguration(joinPath(programDir, "trelvo.cfg"), config);
    if (configured) writtenSettings_ = serializeConfiguration(config) + serializeUserSettings(userSettings_);
    // Whatever the start changes (a dictionary found by its name, a reminder
    // given, a window moved onto a screen) is kept.
    settingsRead_ = true;
    settingsChanged();
    // The dictionary used last, by its name while its file is still there:
    // files added before it in the menu do not move it.
    for (std::size_t i = 0; i < store.cataloguePaths.size(); ++i)
        if (!userSettings_.lastDictionaryFile.empty() &&
            std::filesystem::path(store.cataloguePaths[i]).filename() == userSettings_.lastDictionaryFile)
            config.lastDictionary = static_cast<int>(i);
    lastDictionary = config.lastDictionary;
    matchList->setVisible(!userSettings_.matchListHidden);
    if (!configured) {
        lastUpdateDay = today;
        return;
    }
    autoUpdate = config.autoUpdate;
    lastUpdateDay = config.lastUpdateDay;
    if (updateReminderDue(today, lastUpdateDay)) {
        env_.prompts->inform(
            this, Prompts::Icon::information, QStringLiteral("Možnost aktualizace ..."),
            QStringLiteral("Databáze slov nebyla již dlouhou dobu aktualizována. Aktualizační soubory "
                           "slovníků jsou k dispozici na stránkách Zorvat."));
        lastUpdateDay = today;
    }
    std::vector<WindowRect> screens;
    for (const QRect& screen : env_.screens())
        screens.push_back({screen.left(), screen.top(), screen.width(), screen.height()});
    WindowRect placed = placeOnScreens({config.left, config.top, std::max(config.width, minimumWidth()),
                                        std::max(config.height, minimumHeight())},
                                       screens);
    setGeometry(placed.left, placed.top, placed.width, placed.height);
}

void TForm1::writeSettings(bool onlyChanged) {
    settingsTimer_->stop();
    ProgramConfiguration config;
    config.autoUpdate = autoUpdate;
    config.lastDictionary = lastDictionary;
    config.top = geometry().top();
    config.left = geometry().left();
    config.width = geometry().width();
    config.height = geometry().height();
    config.lastUpdateDay = lastUpdateDay;
    const std::string settings = serializeConfiguration(config) + serializeUserSettings(userSettings_);
    if (onlyChanged && settings == writtenSettings_) return;
    if (writeConfiguration(joinPath(programDir, "trelvo.cfg"), config) &&
        writeUserSettings(userSettingsPath(), userSettings_))
        writtenSettings_ = settings;
}

void TForm1::settingsChanged() {
    // Before the start has read them, the settings are the defaults, which
    // must not overwrite the user's.
    if (settingsRead_) settingsTimer_->start();
}

std::string TForm1::userSettingsPath() const { return joinPath(programDir, "trelvo.ini"); }

void TForm1::scanCatalogue() {
    // download.dsl and trelvo.cfg are saved in the program folder itself.
    removeStaleTemporaryFiles(programDir);
    store.scanCatalogue(joinPath(programDir, "DSL"));
    PopupMenu1->clear();
    for (std::size_t i = 0; i < store.catalogueNames.size(); ++i) {
        // An & in a name is a letter, not a mnemonic.
        QAction* item =
            PopupMenu1->addAction(uiText(store.catalogueNames[i]).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setData(static_cast<int>(i));
        // The open dictionary is marked.
        item->setCheckable(true);
        item->setChecked(store.cataloguePaths[i] == store.header.filePath);
        connect(item, &QAction::triggered, this, [this, i] { selectDictionary(static_cast<int>(i)); });
    }
    // Under the dictionaries, the command on the open one.
    if (!store.isOpen()) return;
    PopupMenu1->addSeparator();
    connect(PopupMenu1->addAction(QStringLiteral("Obnovit ze zálohy…")), &QAction::triggered, this,
            &TForm1::restoreFromBackup);
}

void TForm1::selectDictionary(int i) {
    // A choice made before the last dictionary's delayed opening stands.
    Timer3->stop();
    if (store.cataloguePaths[static_cast<std::size_t>(i)] == store.header.filePath) return;
    // The next start opens the dictionary the user really switched to.
    if (openDictionary(i)) {
        lastDictionary = i;
        userSettings_.lastDictionaryFile = std::filesystem::path(store.header.filePath).filename().string();
        settingsChanged();
    }
    focusSearchBox();
}

bool TForm1::askToSaveChanges() {
    if (!modified) return true;
    switch (env_.prompts->askOrGoBack(this, QStringLiteral("Upozornění"), saveQuestion)) {
        case Prompts::Answer::yes: return saveDictionary();
        case Prompts::Answer::no:
            // The changes are thrown away, and nothing is left to recover.
            journal_.discard();
            return true;
        case Prompts::Answer::back: return false;
    }
    return false;
}

bool TForm1::openDictionary(int i) {
    finishCellEdit();
    // Going back, or a save that failed, keeps the active dictionary and its changes.
    if (!askToSaveChanges()) return false;
    if (!store.openFile(store.cataloguePaths[static_cast<std::size_t>(i)], characterTables)) return false;
    // What a check of the dictionary that was open would bring belongs to it.
    abandonUpdateCheck();
    // A term searched in the other dictionary says nothing about this one.
    Edit1->clear();
    lastSearchText.clear();
    forgetChanges();
    showFromTheStart();
    markModified(false);
    largeChangeUnsaved_ = false;
    startJournal();
    offerRecovery();
    checkForUpdate();
    return true;
}

bool TForm1::saveDictionary() {
    if (!store.isOpen()) return true;
    // The user's "Ne" keeps the other program's change on the disk and the
    // user's own in the window, still unsaved.
    const QString file = QString::fromStdString(store.header.filePath);
    const DictionaryStore::SaveOutcome outcome = store.saveGuarded(
        [this] { return askToOverwriteOrMerge(); }, otherWriterWait, [this] { backUpBeforeSave(); });
    if (outcome != DictionaryStore::SaveOutcome::saved) mergeCounts_.reset();
    switch (outcome) {
        case DictionaryStore::SaveOutcome::saved:
            // Undoing from here on makes the dictionary modified again.
            undoStack_->setClean();
            markModified(false);
            largeChangeUnsaved_ = false;
            StatusBar1->showMessage(savedMessage(store.entryCount()), savedMessageTime);
            reportMerge();
            tellFailedBackup();
            // The saved file is the state the next changes apply to.
            startJournal();
            return true;
        case DictionaryStore::SaveOutcome::declined:
            return false;
        case DictionaryStore::SaveOutcome::busy:
            env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                                 QStringLiteral("Do souboru slovníku \"%1\" právě zapisuje jiný program. Provedené "
                                                "změny zůstávají neuložené, zkuste je uložit znovu za chvíli.")
                                     .arg(file));
            return false;
        case DictionaryStore::SaveOutcome::unfinished:
            env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                                 QStringLiteral("Zápis slovníku do souboru \"%1\" se nepodařilo dokončit. Soubor se "
                                                "doplní z úplné kopie uložených změn, až se slovník příště otevře. "
                                                "Provedené změny zůstávají v okně neuložené.")
                                     .arg(file));
            return false;
        case DictionaryStore::SaveOutcome::failed:
            break;
    }
    env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                         QStringLiteral("Slovník se nepodařilo uložit do souboru \"%1\". Provedené změny "
                                        "zůstávají neuložené, původní soubor se nezměnil.")
                             .arg(file));
    return false;
}

void TForm1::refreshDictionaryStatus() {
    showCaption();
    // The column heads name the languages in the order of the direction.
    const DictionaryHeader& h = store.header;
    grid->setHorizontalHeaderLabels(
        {store.isOpen() ? uiText(h.languageName[direction.sourceSide]) : QStringLiteral("Výraz"),
         store.isOpen() ? uiText(h.languageName[direction.targetSide]) : QStringLiteral("Překlad"),
         QStringLiteral("Poznámka")});
    if (store.isOpen()) {
        statusPanels[0]->setText(updateStatus_.isEmpty() ? QStringLiteral("Slovník: ") + uiText(h.name)
                                                         : updateStatus_);
        statusPanels[1]->setText(QStringLiteral("Směr překladu: ") + uiText(h.languageName[direction.sourceSide]) +
                                 QStringLiteral("->") + uiText(h.languageName[direction.targetSide]));
        QImage picture;
        const std::string& bytes = h.languageImage[direction.sourceSide];
        picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "BMP");
        picture =
            picture.copy(0, 0, std::min(picture.width(), pictureWidth), std::min(picture.height(), pictureHeight));
        Image3->setPixmap(QPixmap::fromImage(picture));
        Image3->resize(picture.size());
        Panel1->setVisible(picture.width() > 0);
        Panel1->resize(picture.width() + 2, picture.height() + 2);
        grid->viewport()->update();
    } else {
        statusPanels[0]->setText(QStringLiteral("Slovník: <není vybraný>"));
        statusPanels[1]->setText(QStringLiteral("Směr překladu: "));
    }
    // A narrow window cuts the panels: the whole text is there when the pointer rests on one.
    for (QLabel* label : statusPanels) label->setToolTip(plainToolTip(label->text()));
    layoutMainWindow();
    update();
}

void TForm1::markModified(bool changed) {
    modified = changed;
    showCaption();
}

void TForm1::showCaption() {
    // The caption names the open dictionary, as the first panel does, and
    // marks changes that are not saved.
    QString title = QStringLiteral("Trelvo");
    if (store.isOpen())
        title += QStringLiteral(" – ") + uiText(store.header.name) + (modified ? QStringLiteral(" *") : QString());
    setWindowTitle(title);
    frame_->SetCaption(title);
}

void TForm1::layoutMainWindow() {
    const int clientWidth = width();
    const int clientHeight = height();
    // The status bar along the bottom.
    StatusBar1->setGeometry(StatusBar1->x(), clientHeight - StatusBar1->height() - 2,
                            clientWidth - 2 * StatusBar1->x(), StatusBar1->height());
    // The two panels with texts share what the window has beyond its design width.
    const int panelWidth = statusPanelWidth + std::max(0, clientWidth - designWidth) / 2;
    statusPanels[0]->setFixedWidth(panelWidth);
    statusPanels[1]->setFixedWidth(panelWidth);
    // The decorative panel over the status bar.
    Panel2->setGeometry(Panel2->x(), StatusBar1->y() + 1, width() - Panel2->x() - 4, StatusBar1->height() - 2);
    // The boxes for a new entry just above the status bar.
    Edit2->move(Edit2->x(), StatusBar1->y() - Edit2->height() - 3);
    Edit3->move(Edit3->x(), Edit2->y());
    // The source language's picture at the right, the banner at the top right.
    Panel1->move(clientWidth - Panel1->width() - Edit1->x(), Panel1->y());
    Image5->move(width() - Image5->width() - 2, Image5->y());
    // The scroll bar at the right, down to the new-entry boxes when they show.
    ScrollBar1->move(clientWidth - Edit1->x() - ScrollBar1->width(), ScrollBar1->y());
    int bottom = Edit2->isVisibleTo(this) ? Edit2->y() : StatusBar1->y();
    // The match list under the grid, across the window.
    if (matchList && matchList->isVisibleTo(this)) {
        const int listHeight = std::clamp((bottom - ScrollBar1->y()) * 2 / 5, 0, matchListHeight);
        matchList->setGeometry(grid->x(), bottom - listHeight - 2, clientWidth - 2 * grid->x(), listHeight);
        bottom = matchList->y() - 2;
    }
    ScrollBar1->resize(ScrollBar1->width(), bottom - ScrollBar1->y() - 1);
    // The grid fills the rest; the two language columns share it.
    grid->resize(ScrollBar1->x() - grid->x(), ScrollBar1->height() + 2);
    const int gridWidth = grid->width();
    int column0 = 0, column2 = 0;
    if (const auto& shares = userSettings_.columnShares) {
        // The widths the user dragged, as shares of the grid.
        column0 = gridWidth * (*shares)[0] / 1000;
        column2 = gridWidth * (*shares)[2] / 1000;
    } else {
        // The note column has its design width at the design size and a
        // third of whatever the window has beyond it, so that notes can be
        // read in a wide window; the two languages share the rest.
        const int designGridWidth = designWidth - 2 * margin - ScrollBar1->width();
        column2 = Tgridik::noteColumnWidth + std::max(0, gridWidth - designGridWidth) / 3;
        column0 = (gridWidth - column2) / 2;
    }
    setColumnWidths({column0, gridWidth - column2 - column0 - 7, column2});
    grid->viewport()->update();
    // The new-entry boxes stand under the two language columns.
    Edit2->resize(grid->columnWidth(0) + 2, Edit2->height());
    Edit3->resize(grid->columnWidth(1) + 2, Edit3->height());
    Edit3->move(Edit2->x() + Edit2->width(), Edit3->y());
    // The button "zařadit" reaches under the note column and the scroll bar.
    Button1->move(Edit3->x() + Edit3->width(), Edit2->y() + 1);
    Button1->setFixedWidth(grid->columnWidth(2) + ScrollBar1->width() + 4);
    syncScrollBar();
}

void TForm1::setColumnWidths(const std::array<int, 3>& widths) {
    const QScopedValueRollback<bool> quiet(layingOutColumns_, true);
    const int least = grid->horizontalHeader()->minimumSectionSize();
    for (int i = 0; i < 3; ++i) grid->setColumnWidth(i, std::max(least, widths[static_cast<std::size_t>(i)]));
}

void TForm1::columnDragged(int i, int oldWidth, int newWidth) {
    if (layingOutColumns_) return;
    std::array<int, 3> widths{grid->columnWidth(0), grid->columnWidth(1), grid->columnWidth(2)};
    const std::size_t neighbour = i < 2 ? static_cast<std::size_t>(i) + 1 : 1;
    const int least = grid->horizontalHeader()->minimumSectionSize();
    // The three keep filling the grid: the neighbour gives what it can.
    const int given = std::min(newWidth - oldWidth, widths[neighbour] - least);
    widths[static_cast<std::size_t>(i)] = oldWidth + given;
    widths[neighbour] -= given;
    setColumnWidths(widths);
    const int gridWidth = std::max(1, grid->width());
    std::array<int, 3> shares{};
    for (std::size_t k = 0; k < 3; ++k) shares[k] = std::max(leastColumnShare, widths[k] * 1000 / gridWidth);
    shares[1] = std::max(leastColumnShare, std::min(shares[1], 1000 - shares[0] - shares[2]));
    if (shares[0] + shares[1] + shares[2] <= 1000) userSettings_.columnShares = shares;
    layoutMainWindow();
    settingsChanged();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutMainWindow();
    settingsChanged();
}

void TForm1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    settingsChanged();
}

void TForm1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (grid->isHidden()) {
        grid->show();
        if (gridHadFocus) grid->setFocus();
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    finishCellEdit();
    // Going back, or a failed save, keeps the window open: closing never drops changes.
    if (!askToSaveChanges()) {
        event->ignore();
        return;
    }
    // Saved, thrown away, or changes that came back to the saved state: none to recover.
    journal_.discard();
    // The window goes at once; a server that keeps silent is not waited for.
    abandonUpdateCheck();
    writeSettings();
    event->accept();
}

// Timer3, once, when the window is up: the dictionary used last opens.
void TForm1::Timer3Timer() {
    Timer3->stop();
    // A dictionary opened before the timer came stays: reading the last one
    // again would throw away what was done in it since.
    if (!store.isOpen()) openDictionary(lastDictionary);
}

void TForm1::attachDialogs(TNewTrelvo* properties, TForm3* about, TForm4* exporting, TForm5* accessCode) {
    NewTrelvo_ = properties;
    Form3_ = about;
    Form4_ = exporting;
    Form5_ = accessCode;
    NewTrelvo_->onOk = [this] { return applyProperties(); };
    NewTrelvo_->pictureFolder = QString::fromStdString(programDir);
    Form4_->onOk = [this] { return runExport(); };
    Form3_->openHelp = [this] { showHelp(QStringLiteral("Slovník")); };
    connect(Form3_, &QDialog::finished, this, &TForm1::focusSearchBox);
}

void TForm1::centre(QWidget* dialog) const {
    dialog->move(x() + width() / 2 - dialog->width() / 2, y() + height() / 2 - dialog->height() / 2);
}

void TForm1::showFromTheStart() {
    matchList->dictionaryChanged();
    direction = Direction::of(store, direction.sourceSide);
    refreshDictionaryStatus();
    window.markStale();
    showPosition(0);
}

}  // namespace trelvo
