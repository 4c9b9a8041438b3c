#include "TForm1.h"

#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QSvgRenderer>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>

#include "ProgramConfiguration.h"
#include "ProgramPaths.h"
#include "Prompts.h"
#include "UiText.h"
#include "WindowPlacement.h"
#include "dictionary/CodePage.h"
#include "controls/CASShape.h"
#include "controls/ProgramFrame.h"
#include "controls/TWhintik.h"
#include "exchange/Export.h"
#include "exchange/Synchronisation.h"
#include "exchange/TForm4.h"
#include "exchange/HttpClient.h"
#include "exchange/TextImport.h"
#include "exchange/UpdateCheck.h"
#include "exchange/UpdateLocations.h"
#include "lookup/DictionaryProperties.h"
#include "lookup/EntryEditing.h"
#include "lookup/TForm3.h"
#include "lookup/TForm5.h"
#include "lookup/TNewTrelvo.h"
#include "lookup/SearchRule.h"
#include "lookup/Tgridik.h"

namespace trelvo {

namespace {

const QString saveQuestion =
    QStringLiteral("V souboru aktivního slovníku byly provedeny změny, mají se tyto změny uložit?");

struct ToolButtonDefinition {
    int number;
    const char* hint;
    bool checkable;
    bool separatorAfter;
};

// In the order of the tool bar, grouped: dictionaries, contents, editing,
// direction and update, information.
const ToolButtonDefinition toolButtonDefinitions[] = {
    {3, "Výběr slovníku", false, false},
    {1, "Vytvoření nové databáze slov", false, false},
    {7, "Uložení provedených změn", false, false},
    {10, "Nastavení slovníku", false, true},
    {11, "Synchronizace s jiným slovníkem", false, false},
    {2, "Import slov do aktuální databáze", false, false},
    {9, "Export položek do textového souboru", false, false},
    {5, "Převést všechny položky na výchozí položky slovníku", false, true},
    {6, "Umožnit přidávání nových položek", true, false},
    {4, "Změnit směr překladu", false, true},
    {12, "Povolení automatické aktualizace slovníku přes internet", true, true},
    {8, "Informace o programu a aktivním slovníku", false, false},
};

constexpr int margin = 4;        // left of Edit1, and of everything aligned with it
constexpr int toolBarTop = frameTop;
constexpr int editTop = frameTop + 38;
constexpr int gridTop = frameTop + 64;  // the scroll bar; the grid starts one pixel above

}  // namespace

TForm1::TForm1(ProgramEnvironment environment, QWidget* parent)
    : QWidget(parent), env_(std::move(environment)) {
    setWindowTitle(QStringLiteral("Trelvo"));
    setMinimumSize(500, 350);
    resize(626, 373);
    designGeometry_ = geometry();
    createControls();
    CASShape* frame = putFrame(this, {QStringLiteral("Trelvo"), 14645570, 4456448, true, true,
                                      QStringLiteral("Umožňovat vkládání nových záznamů")});
    // Over the frame the grid's hint has nothing to look for.
    connect(frame, &CASShape::mouseMoved, this, [this] { pointerX = pointerY = -1; });
}

TForm1::~TForm1() {
    // The child widgets outlive this part of the window: their destruction
    // moves the focus and emits signals, which must no longer reach it.
    grid->onKeyDown = nullptr;
    grid->onPointerMove = nullptr;
    grid->onEnter = nullptr;
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
    Button1->setFixedSize(grid->columnWidth(2) + ScrollBar1->width() + 4, 20);
    for (QWidget* w : {static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3), static_cast<QWidget*>(Button1)})
        w->hide();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->move(2, 0);
    StatusBar1->setFixedHeight(20);
    const int widths[] = {200, 200, 50};
    for (std::size_t i = 0; i < statusPanels.size(); ++i) {
        statusPanels[i] = new QLabel(StatusBar1);
        statusPanels[i]->setFixedWidth(widths[i]);
        statusPanels[i]->setFrameShape(QFrame::Panel);
        statusPanels[i]->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(statusPanels[i]);
    }

    Panel2 = new QFrame(this);
    Panel2->move(2, 0);
    Panel2->hide();

    Timer1 = new QTimer(this);
    Timer1->setInterval(300);
    Timer2 = new QTimer(this);
    Timer2->setInterval(50);
    Timer3 = new QTimer(this);
    Timer3->setInterval(100);
    Timer3->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
    connect(Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);

    Whintik1 = new TWhintik(this);
    Whintik1->Settv(4000);
    Whintik1->Settbv(200);
    Whintik1->SetMaxWidth(300);
    QFont hintFont = base;
    hintFont.setPixelSize(11);
    Whintik1->SetFont(hintFont);

    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
    Edit3->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, &TForm1::addEntry);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TForm1::ScrollBar1Scroll);
    connect(toolButtons[4], &QToolButton::clicked, this, &TForm1::swapDirection);
    connect(toolButtons[6], &QToolButton::clicked, this, &TForm1::ToolButton6Click);
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
    connect(grid, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        if (!grid->editing()) PopupMenu2->popup(grid->viewport()->mapToGlobal(at));
    });
    connect(grid, &QTableWidget::currentCellChanged, this, &TForm1::StringGrid2SelectCell);
    connect(grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* cell) {
        if (!fillingRows_) commitCellEdit(cell->column(), cell->row(), cell->text());
    });
    grid->onKeyDown = [this](QKeyEvent* e) { return StringGrid2KeyDown(e); };
    grid->onPointerMove = [this](QPoint p) { StringGrid2MouseMove(p); };
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
        button->setObjectName(QStringLiteral("ToolButton%1").arg(definition.number));
        button->setToolTip(QString::fromUtf8(definition.hint));
        button->setIcon(QIcon(QStringLiteral(":/icons/ToolButton%1.svg").arg(definition.number)));
        button->setCheckable(definition.checkable);
        button->setAutoRaise(true);
        ToolBar1->addWidget(button);
        if (definition.separatorAfter) ToolBar1->addSeparator();
        toolButtons[static_cast<std::size_t>(definition.number)] = button;
    }
    // The button itself does nothing; its arrow opens the dictionary menu.
    PopupMenu1 = new QMenu(this);
    toolButtons[3]->setMenu(PopupMenu1);
    toolButtons[3]->setPopupMode(QToolButton::MenuButtonPopup);
    toolButtons[12]->setChecked(true);
    connect(toolButtons[7], &QToolButton::clicked, this, [this] { saveDictionary(); });
    connect(toolButtons[1], &QToolButton::clicked, this, &TForm1::ToolButton1Click);
    connect(toolButtons[10], &QToolButton::clicked, this, &TForm1::ToolButton10Click);
    connect(toolButtons[5], &QToolButton::clicked, this, &TForm1::convertToDefault);
    connect(toolButtons[8], &QToolButton::clicked, this, &TForm1::ToolButton8Click);
    connect(toolButtons[2], &QToolButton::clicked, this, &TForm1::ToolButton2Click);
    connect(toolButtons[9], &QToolButton::clicked, this, &TForm1::ToolButton9Click);
    connect(toolButtons[11], &QToolButton::clicked, this, [this] { ToolButton11Click(true); });
    connect(toolButtons[12], &QToolButton::clicked, this, &TForm1::ToolButton12Click);
    ToolBar1->adjustSize();
}

void TForm1::fadeBanner() {
    QSvgRenderer renderer(QStringLiteral(":/icons/banner.svg"));
    QImage banner(180, 36, QImage::Format_RGB32);
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
    Image5->resize(banner.size());
    Image5->move(0, toolBarTop);
    Image5->lower();  // a narrow window lets the tool bar run over the banner
}

bool TForm1::startUp() {
    // 1.
    autoUpdate = true;
    sourceSide = 0;
    targetSide = 1;
    gridHadFocus = hidingGrid = refilling = inFallback = false;
    idleTicks = 0;
    // 2.
    programDir = env_.programDir;
    std::error_code ignored;
    std::filesystem::create_directory(joinPath(programDir, "DSL"), ignored);
    // 3. The grid is in place; its cursor starts on row 0.
    refilling = true;
    grid->setCurrentCell(0, 0);
    refilling = false;
    // 4.
    modified = false;
    // 5.
    if (!characterTables.loadCharacterTables(joinPath(programDir, "upchar.dat"))) {
        env_.prompts->inform(nullptr, Prompts::Icon::error, QStringLiteral("Chyba!"),
                             QStringLiteral("Nebyl nalezen soubor \"upchar.dat\". Program bude ukončen."));
        return false;
    }
    // 6.
    scanCatalogue();
    // 10.
    readSettings();
    // 11.
    updateLocations = readUpdateLocations(joinPath(programDir, "net.ini"));
    // 12.
    layoutMainWindow();
    refreshDictionaryStatus();
    // 13.
    toolButtons[12]->setChecked(autoUpdate);
    // 14.
    if (lastDictionary >= 0 && static_cast<std::size_t>(lastDictionary) < store.cataloguePaths.size())
        Timer3->start();
    // 15.
    Timer1->start();
    Timer2->start();
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
    const int today = env_.today();
    if (!readConfiguration(joinPath(programDir, "trelvo.cfg"), config)) {
        lastUpdateDay = today;
        return;
    }
    autoUpdate = config.autoUpdate;
    lastDictionary = config.lastDictionary;
    lastUpdateDay = config.lastUpdateDay;
    if (std::abs(today - lastUpdateDay) > 186) {
        env_.prompts->inform(
            this, Prompts::Icon::information, QStringLiteral("Možnost aktualizace ..."),
            QStringLiteral("Databáze slov nebyla již dlouhou dobu aktualizována. Aktualizační soubory "
                           "slovníků jsou k dispozici na stránkách Zorvat."));
        lastUpdateDay = today;
    }
    QRect screen = env_.screen();
    WindowRect placed = fitToScreen({config.left - screen.left(), config.top - screen.top(),
                                     std::max(config.width, minimumWidth()),
                                     std::max(config.height, minimumHeight())},
                                    screen.width(), screen.height());
    setGeometry(placed.left + screen.left(), placed.top + screen.top(), placed.width, placed.height);
}

void TForm1::writeSettings() {
    ProgramConfiguration config;
    config.autoUpdate = autoUpdate;
    config.lastDictionary = lastDictionary;
    config.top = geometry().top();
    config.left = geometry().left();
    config.width = geometry().width();
    config.height = geometry().height();
    config.lastUpdateDay = lastUpdateDay;
    writeConfiguration(joinPath(programDir, "trelvo.cfg"), config);
}

void TForm1::scanCatalogue() {
    store.scanCatalogue(joinPath(programDir, "DSL"));
    PopupMenu1->clear();
    for (std::size_t i = 0; i < store.catalogueNames.size(); ++i) {
        QAction* item = PopupMenu1->addAction(uiText(store.catalogueNames[i]));
        item->setData(static_cast<int>(i));
        connect(item, &QAction::triggered, this, [this, i] { selectDictionary(static_cast<int>(i)); });
    }
}

void TForm1::selectDictionary(int i) {
    if (store.cataloguePaths[static_cast<std::size_t>(i)] == store.header.filePath) return;
    openDictionary(i);
    lastDictionary = i;
}

bool TForm1::askToSaveChanges() {
    if (!modified) return true;
    if (!env_.prompts->ask(this, QStringLiteral("Upozornění"), saveQuestion)) return true;
    return saveDictionary();
}

void TForm1::openDictionary(int i) {
    // A save that failed keeps the active dictionary, so its changes survive.
    if (!askToSaveChanges()) return;
    if (!store.openFile(store.cataloguePaths[static_cast<std::size_t>(i)], characterTables)) return;
    showFromTheStart();
    modified = false;
    checkForUpdate();
}

int TForm1::checkForUpdate() {
    std::unique_ptr<HttpClient> http = env_.http();
    UpdateUi ui;
    ui.setStatus = [this](const std::string& text) {
        statusPanels[0]->setText(QString::fromStdString(text));
        statusPanels[0]->repaint();
    };
    ui.status = [this] { return statusPanels[0]->text().toStdString(); };
    ui.askToSynchronise = [this](const std::string& version) {
        return env_.prompts->ask(this, QStringLiteral("Upozornění ..."),
                                 QStringLiteral("Na aktualizačním serveru byla nalezena novější verze slovníku "
                                                "verze: %1.\nPřejete si provést synchronizaci dat?")
                                     .arg(QString::fromStdString(version)));
    };
    ui.synchroniseWithDownload = [this](const std::string& path) {
        OpenDialog2FileName = path;
        ToolButton11Click(false);
    };
    ui.save = [this] { return saveDictionary(); };
    ui.today = env_.today;
    ui.reportCompleted = [this] {
        env_.prompts->inform(this, Prompts::Icon::information, QStringLiteral("Dokončení automatické aktualizace ..."),
                             QStringLiteral("Automatická aktualizace byla dokončena."));
    };
    UpdateCheckResult result = trelvo::checkForUpdate(store, toolButtons[12]->isChecked(), updateLocations, *http,
                                                      joinPath(programDir, "download.dsl"), ui, lastUpdateDay);
    if (result.outcome == UpdateOutcome::downloadFailed)
        env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"), QString::fromStdString(result.error));
    if (result.code == 0) {
        // No location answers: no later opening tries again until the program ends.
        toolButtons[12]->setEnabled(false);
        toolButtons[12]->setChecked(false);
    }
    return result.code;
}

void TForm1::ToolButton12Click(bool down) {
    autoUpdate = down;
    if (autoUpdate) checkForUpdate();
}

bool TForm1::saveDictionary() {
    if (!store.isOpen()) return true;
    if (store.saveDictionary()) {
        modified = false;
        return true;
    }
    env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                         QStringLiteral("Slovník se nepodařilo uložit do souboru \"%1\". Provedené změny "
                                        "zůstávají neuložené, původní soubor se nezměnil.")
                             .arg(QString::fromStdString(store.header.filePath)));
    return false;
}

QString TForm1::decode(std::string_view text, int side) const {
    const int codePage = side == 2 ? CodePage::headerCodePage
                             : CodePage::codePageOfCharset(store.header.languageCharset[side]);
    return uiText(text, codePage);
}

std::string TForm1::encode(const QString& text, int side) const {
    // Notes (side 2) are kept in the code page of the program's texts.
    std::string bytes = uiBytes(
        text, side == 2 ? CodePage::headerCodePage : CodePage::codePageOfCharset(store.header.languageCharset[side]));
    // Typed texts pass a 1000-byte buffer.
    if (bytes.size() > CharacterTables::maxKeyLength) bytes.resize(CharacterTables::maxKeyLength);
    return bytes;
}

bool TForm1::refillWindow(int topRowBefore) {
    GridWindow::Placement placement{};
    const DictionaryIndex& index = store.indexes[static_cast<std::size_t>(sourceSide)];
    if (!window.refill(currentPosition, index.size(), grid->currentRow(), topRowBefore, placement)) return false;
    fillRows();
    refilling = true;
    grid->setCurrentCell(placement.cursorRow, std::max(0, grid->currentColumn()));
    grid->setTopVisibleRow(placement.topRow);
    refilling = false;
    return true;
}

void TForm1::fillRows() {
    fillingRows_ = true;
    const DictionaryIndex& index = store.indexes[static_cast<std::size_t>(sourceSide)];
    const int sides[] = {sourceSide, targetSide, 2};
    for (int row = 0; row < gridRows; ++row) {
        std::size_t position = window.first() + static_cast<std::size_t>(row);
        bool filled = position < window.last();
        std::uint32_t n = filled ? index.entryNumber(position) : 0;
        for (int column = 0; column < 3; ++column) {
            QString text = filled ? decode(store.entries.text(n, sides[column]), sides[column]) : QString();
            if (QTableWidgetItem* cell = grid->item(row, column)) cell->setText(text);
            else grid->setItem(row, column, new QTableWidgetItem(text));
        }
        grid->rowFlags[static_cast<std::size_t>(row)] =
            filled ? static_cast<std::uint8_t>(store.entries.flags(n) & 0xFF) : 0;
    }
    fillingRows_ = false;
    grid->viewport()->update();
}

void TForm1::setCursorRow(int row) { grid->setCurrentCell(row, std::max(0, grid->currentColumn())); }

void TForm1::syncScrollBar() {
    const int topRow = grid->topVisibleRow();
    const int bottomRow = grid->bottomVisibleRow();
    const std::size_t count = store.indexes[static_cast<std::size_t>(sourceSide)].size();
    const int maximum = count > 0 ? static_cast<int>(count - 1) : 0;
    const int page = std::min(bottomRow - topRow, maximum);
    const int position =
        std::min(static_cast<int>(window.first()) + topRow, maximum - page);
    // The bar's value runs to maximum - page, so that its thumb stands for the
    // visible rows.
    syncingScrollBar_ = true;
    ScrollBar1->setPageStep(std::max(page, 1));
    ScrollBar1->setRange(0, maximum - page);
    ScrollBar1->setValue(std::max(0, position));
    syncingScrollBar_ = false;
}

void TForm1::ScrollBar1Scroll(int position) {
    if (syncingScrollBar_) return;
    currentPosition = static_cast<std::size_t>(position);
    refillWindow(grid->topVisibleRow());
    setCursorRow(static_cast<int>(currentPosition - window.first()));
}

void TForm1::swapDirection() {
    swapSides(store, sourceSide, targetSide, sourceTable, targetTable, currentPosition);
    grid->viewport()->update();
    refreshDictionaryStatus();
    window.markStale();
    refillWindow(grid->topVisibleRow());
    syncScrollBar();
}

void TForm1::runSearch(bool byUser) {
    std::string buffer = encode(Edit1->text(), sourceSide);
    SearchContext context{store, characterTables, sourceSide, targetSide, sourceTable, targetTable, inFallback,
                          [this] { swapDirection(); }};
    currentPosition = findPosition(context, buffer, sourceSide, sourceTable);
    window.markStale();
    refillWindow(grid->topVisibleRow());
    grid->setTopVisibleRow(grid->currentRow());
    if (byUser) Edit1->selectAll();
    syncScrollBar();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == Edit1) return Edit1KeyDown(key);
        if (watched == Edit2 || watched == Edit3) return EditNewEntryKeyDown(static_cast<QLineEdit*>(watched), key);
    }
    return QWidget::eventFilter(watched, event);
}

bool TForm1::Edit1KeyDown(QKeyEvent* event) {
    idleTicks = 0;
    switch (event->key()) {
        case Qt::Key_F5:
            swapDirection();
            return true;
        case Qt::Key_Insert:
            // Whatever modifiers: Shift+Insert switches the adding mode, it does not paste.
            toolButtons[6]->toggle();
            ToolButton6Click();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            // The grid moves its cursor while the focus stays here.
            QKeyEvent copy(QEvent::KeyPress, event->key(), event->modifiers());
            QCoreApplication::sendEvent(grid, &copy);
            return true;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
            runSearch(true);
            return false;
        default:
            return false;
    }
}

void TForm1::Timer2Timer() {
    if (++idleTicks < 5) return;
    std::string text = Edit1->text().toStdString();
    if (text == lastSearchText) return;
    idleTicks = 0;
    runSearch(false);
    lastSearchText = text;
}

bool TForm1::StringGrid2KeyDown(QKeyEvent* event) {
    if (grid->editing()) return false;
    const int key = event->key();
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    const std::size_t count = store.indexes[static_cast<std::size_t>(sourceSide)].size();
    if (key == Qt::Key_F5) {
        swapDirection();
        return true;
    }
    if (key == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        toolButtons[6]->toggle();
        ToolButton6Click();
        return true;
    }
    const int rows = grid->bottomVisibleRow() - grid->topVisibleRow();
    switch (key) {
        case Qt::Key_PageUp:
            setCursorRow(std::max(0, grid->currentRow() - rows));
            syncScrollBar();
            return true;
        case Qt::Key_PageDown: {
            const int lastRow = static_cast<int>(std::min<std::size_t>(gridRows, count - window.first())) - 1;
            if (count > window.first()) setCursorRow(std::min(grid->currentRow() + rows, lastRow));
            syncScrollBar();
            return true;
        }
        case Qt::Key_Home:
            currentPosition = 0;
            refillWindow(grid->topVisibleRow());
            setCursorRow(0);
            grid->setTopVisibleRow(0);
            syncScrollBar();
            return true;
        case Qt::Key_End:
            if (count == 0) return true;
            currentPosition = count - 1;
            refillWindow(grid->topVisibleRow());
            setCursorRow(static_cast<int>(currentPosition - window.first()));
            grid->setTopVisibleRow(std::max(0, grid->currentRow() - rows + 1));
            syncScrollBar();
            return true;
        default:
            break;
    }
    if ((control && key == Qt::Key_C) || (control && key == Qt::Key_Insert)) {
        if (QTableWidgetItem* cell = grid->currentItem()) QApplication::clipboard()->setText(cell->text());
        return true;
    }
    return false;
}

void TForm1::StringGrid2SelectCell(int row, int col, int previousRow, int previousCol) {
    Timer1->stop();
    if (refilling || row < 0) return;
    const std::size_t count = store.indexes[static_cast<std::size_t>(sourceSide)].size();
    // Empty rows cannot be selected: the cursor goes back where it was.
    if (window.first() + static_cast<std::size_t>(row) >= count) {
        refilling = true;
        grid->setCurrentCell(previousRow, previousCol);
        refilling = false;
        return;
    }
    currentPosition = window.first() + static_cast<std::size_t>(row);
    // The cursor stood on the previous row when the move began.
    const int topRow = grid->topVisibleRow();
    refilling = true;
    grid->setCurrentCell(previousRow < 0 ? row : previousRow, col);
    refilling = false;
    if (refillWindow(topRow)) {
        syncScrollBar();
        grid->viewport()->update();
        return;
    }
    refilling = true;
    grid->setCurrentCell(row, col);
    refilling = false;
    Timer1->start();
    syncScrollBar();
    // The whole grid is repainted after every selection.
    grid->viewport()->update();
}

void TForm1::StringGrid2MouseMove(QPoint point) {
    pointerX = point.x();
    pointerY = point.y();
    if (pointerX < 0) return;  // gone from the grid: no hint is looked for
    Timer1->start();
    if (Whintik1->getshow()) Timer1Timer();
}

void TForm1::Timer1Timer() {
    if (pointerX <= 0 || pointerY <= 0) return;
    const int col = grid->columnAt(pointerX), row = grid->rowAt(pointerY);
    if (col < 0 || row < 0) return;
    if (col == hintCol && row == hintRow) return;
    QTableWidgetItem* cell = grid->item(row, col);
    const QString text = cell ? cell->text() : QString();
    const QFontMetrics metrics(grid->columnFonts[0]);
    if (grid->columnWidth(col) < metrics.horizontalAdvance(text)) {
        QPoint at = grid->viewport()->mapToGlobal(QPoint(pointerX, pointerY));
        Whintik1->show(text, at.x(), at.y() + 20, 1);
    } else {
        Whintik1->hide();
    }
    hintCol = col;
    hintRow = row;
}

void TForm1::ToolButton6Click() {
    const bool adding = toolButtons[6]->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3), static_cast<QWidget*>(Button1)})
        w->setVisible(adding);
    if (adding) Edit2->setFocus();
    layoutMainWindow();
}

bool TForm1::EditNewEntryKeyDown(QLineEdit* box, QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Term, translation, then the button, so that the next Enter adds.
            if (box == Edit2) Edit3->setFocus();
            else Button1->setFocus();
            return true;
        case Qt::Key_Escape:
            toolButtons[6]->toggle();
            ToolButton6Click();
            Edit1->setFocus();
            return true;
        default:
            return false;
    }
}

void TForm1::entriesChanged() {
    modified = true;
    window.markStale();
    refillWindow(grid->topVisibleRow());
    syncScrollBar();
}

void TForm1::addEntry() {
    std::size_t position = 0;
    EntryEditing editing(store, characterTables, sourceSide, targetSide);
    if (!editing.addEntry(encode(Edit2->text(), sourceSide), encode(Edit3->text(), targetSide), position)) return;
    currentPosition = position;
    entriesChanged();
    Edit2->setFocus();
}

void TForm1::commitCellEdit(int col, int row, const QString& text) {
    const std::size_t p = window.first() + static_cast<std::size_t>(row);
    EntryEditing editing(store, characterTables, sourceSide, targetSide);
    if (!editing.commitCellEdit(col, p, encode(text, col == 0 ? sourceSide : col == 1 ? targetSide : 2))) return;
    modified = true;
    grid->rowFlags[static_cast<std::size_t>(row)] = efUserModified;
    grid->viewport()->update();
    // The edited entry moved to its new place; the cursor keeps the position.
    if (col == 0) {
        currentPosition = p;
        entriesChanged();
    }
}

void TForm1::deleteEntry() {
    const int row = grid->currentRow();
    if (row < 0) return;
    EntryEditing editing(store, characterTables, sourceSide, targetSide);
    if (!editing.deleteEntry(window.first() + static_cast<std::size_t>(row))) return;
    entriesChanged();
}

void TForm1::clearTranslations() {
    if (!env_.prompts->ask(this, QStringLiteral("!!!Upozornění!!!"),
                           QStringLiteral("Tato operace vymaže celý sloupec přeložených výrazů, opravdu si přejete "
                                          "pokračovat?"),
                           Prompts::Icon::warning))
        return;
    EntryEditing(store, characterTables, sourceSide, targetSide).clearTranslations();
    entriesChanged();
}

void TForm1::clearNotes() {
    if (!env_.prompts->ask(this, QStringLiteral("!!!Upozornění!!!"),
                           QStringLiteral("Tato operace vymaže celý sloupec poznámek, opravdu si přejete pokračovat?"),
                           Prompts::Icon::warning))
        return;
    EntryEditing(store, characterTables, sourceSide, targetSide).clearNotes();
    entriesChanged();
}

void TForm1::refreshDictionaryStatus() {
    if (store.isOpen()) {
        const DictionaryHeader& h = store.header;
        statusPanels[0]->setText(QStringLiteral("Slovník: ") + uiText(h.name));
        statusPanels[1]->setText(QStringLiteral("Směr překladu: ") + uiText(h.languageName[sourceSide]) +
                                 QStringLiteral("->") + uiText(h.languageName[targetSide]));
        QImage picture;
        const std::string& bytes = h.languageImage[sourceSide];
        picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "BMP");
        picture = picture.copy(0, 0, std::min(picture.width(), 100), std::min(picture.height(), 50));
        Image3->setPixmap(QPixmap::fromImage(picture));
        Image3->resize(picture.size());
        Panel1->setVisible(picture.width() > 0);
        Panel1->resize(picture.width() + 2, picture.height() + 2);
        grid->viewport()->update();
    } else {
        statusPanels[0]->setText(QStringLiteral("Slovník: <není vybraný>"));
        statusPanels[1]->setText(QStringLiteral("Směr překladu: "));
    }
    // The panels are narrow: the whole text is there when the pointer rests on one.
    for (QLabel* label : statusPanels) label->setToolTip(label->text());
    layoutMainWindow();
    update();
}

void TForm1::layoutMainWindow() {
    const int clientWidth = width();
    const int clientHeight = height();
    // 1.
    StatusBar1->setGeometry(StatusBar1->x(), clientHeight - StatusBar1->height() - 2,
                            clientWidth - 2 * StatusBar1->x(), StatusBar1->height());
    // 2.
    Panel2->setGeometry(Panel2->x(), StatusBar1->y() + 1, width() - Panel2->x() - 4, StatusBar1->height() - 2);
    // 3.
    Edit2->move(Edit2->x(), StatusBar1->y() - Edit2->height() - 3);
    Edit3->move(Edit3->x(), Edit2->y());
    // 4.
    Panel1->move(clientWidth - Panel1->width() - Edit1->x(), Panel1->y());
    // 5.
    Image5->move(width() - Image5->width() - 2, Image5->y());
    // 6.
    ScrollBar1->move(clientWidth - Edit1->x() - ScrollBar1->width(), ScrollBar1->y());
    ScrollBar1->resize(ScrollBar1->width(),
                       (Edit2->isVisibleTo(this) ? Edit2->y() : StatusBar1->y()) - ScrollBar1->y() - 1);
    // 7.
    grid->resize(ScrollBar1->x() - grid->x(), ScrollBar1->height() + 2);
    const int column2 = grid->columnWidth(2);
    const int column0 = (grid->width() - column2) / 2;
    grid->setColumnWidth(0, column0);
    grid->setColumnWidth(1, grid->width() - column2 - column0 - 7);
    grid->viewport()->update();
    // 8.
    Edit2->resize(grid->columnWidth(0) + 2, Edit2->height());
    Edit3->resize(grid->columnWidth(1) + 2, Edit3->height());
    Edit3->move(Edit2->x() + Edit2->width(), Edit3->y());
    // 9.
    Button1->move(Edit3->x() + Edit3->width(), Edit2->y() + 1);
    // 10.
    syncScrollBar();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutMainWindow();
}

void TForm1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (grid->isHidden()) {
        grid->show();
        if (gridHadFocus) grid->setFocus();
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    // A failed save keeps the window open, so that closing never drops changes.
    if (!askToSaveChanges()) {
        event->ignore();
        return;
    }
    writeSettings();
    event->accept();
}

void TForm1::Timer3Timer() {
    Timer3->stop();
    openDictionary(lastDictionary);
}

void TForm1::attachDialogs(TNewTrelvo* properties, TForm3* about, TForm4* exporting, TForm5* accessCode) {
    NewTrelvo_ = properties;
    Form3_ = about;
    Form4_ = exporting;
    Form5_ = accessCode;
    NewTrelvo_->onOk = [this] { return applyProperties(); };
    Form4_->onOk = [this] { return runExport(); };
}

void TForm1::centre(QWidget* dialog) const {
    dialog->move(x() + width() / 2 - dialog->width() / 2, y() + height() / 2 - dialog->height() / 2);
}

bool TForm1::checkAccessCode() {
    const std::string& stored = store.header.idAndAccessCode;
    Form5_->Label3->setText(uiText(DictionaryProperties::idOf(stored)));
    Form5_->Edit1->clear();
    centre(Form5_);
    if (DictionaryProperties::accessCodeOf(stored).empty()) return true;
    env_.prompts->runDialog(*Form5_);
    switch (trelvo::checkAccessCode(stored, uiBytes(Form5_->Edit1->text()))) {
        case AccessCheck::granted: return true;
        case AccessCheck::cancelled: return false;
        case AccessCheck::wrongCode:
            env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                                 QStringLiteral("Nesprávná hodnota přístupového kódu!"));
            return false;
    }
    return false;
}

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
    currentPosition = 0;
    window.markStale();
    refillWindow(grid->topVisibleRow());
    setCursorRow(0);
    syncScrollBar();
    update();
}

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
                                                QStringLiteral("Soubory slovníků (*.dsl)"));
        if (chosen.isEmpty()) return false;
        if (!chosen.endsWith(QStringLiteral(".dsl"), Qt::CaseInsensitive)) chosen += QStringLiteral(".dsl");
        if (std::filesystem::exists(chosen.toStdString()) &&
            !env_.prompts->ask(NewTrelvo_, QStringLiteral("Upozornění"),
                               QStringLiteral("Soubor slovníku s tímto názvem již existuje, má se jeho obsah opravdu "
                                              "nahradit?"),
                               Prompts::Icon::warning))
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
    store.header = header;
    modified = true;
    if (creating) {
        store.entries.clear();
        store.clearIndexes();
    } else if (charsetsChanged) {
        // Each language is keyed with its own table: a new character set re-keys it now.
        store.rebuildIndexes(characterTables);
        window.markStale();
    }
    sourceTable = store.tableOf(sourceSide);
    targetTable = store.tableOf(targetSide);
    saveDictionary();
    return true;
}

void TForm1::ToolButton8Click() {
    Form3_->showDictionary(store.isOpen() ? &store.header : nullptr, store.entryCount());
    centre(Form3_);
    // Not modal: the dictionary stays at hand while the box is open.
    Form3_->show();
}

void TForm1::convertToDefault() {
    if (!store.isOpen() || !checkAccessCode()) return;
    if (!env_.prompts->ask(this, QStringLiteral("Upozornění"),
                           QStringLiteral("Opravdu si přejete zrušit všechny příznaky importovaných a uživatelsky "
                                          "modifikovaných položek?")))
        return;
    for (std::size_t n = 0; n < store.entryCount(); ++n) store.entries.setFlags(n, efDefault);
    currentPosition = 0;
    entriesChanged();
}

namespace {

}  // namespace

void TForm1::showFromTheStart() {
    sourceTable = store.tableOf(sourceSide);
    targetTable = store.tableOf(targetSide);
    refreshDictionaryStatus();
    currentPosition = 0;
    window.markStale();
    refillWindow(grid->topVisibleRow());
    syncingScrollBar_ = true;
    ScrollBar1->setValue(0);
    syncingScrollBar_ = false;
    syncScrollBar();
}

void TForm1::ToolButton2Click() {
    if (!store.isOpen()) return;
    // The file's first column is always language 0.
    if (sourceSide != 0) swapDirection();
    const QString path = env_.prompts->openFile(this, QStringLiteral("Import slov"),
                                                QStringLiteral("Textové soubory (*.txt)"));
    // A cancelled choice changes nothing.
    if (path.isEmpty()) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = file.readAll();
    setEnabled(false);
    statusPanels[0]->setText(QStringLiteral("Probíhá import položek ..."));
    QCoreApplication::processEvents();
    importPairs(store, characterTables, readImportLines(std::string_view(bytes.constData(), bytes.size()), store.header),
                [](std::size_t) { QCoreApplication::processEvents(); });
    modified = true;
    showFromTheStart();
    setEnabled(true);
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
    const bool dsl = Form4_->RadioButton2->isChecked();
    QString path = env_.prompts->saveFile(Form4_, QStringLiteral("Export"),
                                          dsl ? QStringLiteral("Soubory slovníků (*.dsl)")
                                              : QStringLiteral("Textový soubor (*.txt)"));
    if (path.isEmpty()) return true;  // a cancelled choice closes the dialog
    const QString extension = dsl ? QStringLiteral(".dsl") : QStringLiteral(".txt");
    if (!path.endsWith(extension, Qt::CaseInsensitive)) path += extension;
    ExportChoice choice;
    choice.byFilter = Form4_->CheckBox1->isChecked();
    for (const QString& note : Form4_->admittedNotes()) choice.notes.push_back(uiBytes(note));
    choice.translatedOnly = Form4_->CheckBox2->isChecked();
    choice.sourceSide = sourceSide;
    if (QFile::exists(path) &&
        !env_.prompts->ask(Form4_, QStringLiteral("Upozornění!"),
                           QStringLiteral("Zadaný soubor již existuje, má se jeho obsah nahradit?"),
                           Prompts::Icon::warning))
        return false;
    const std::string target = path.toStdString();
    const bool written = dsl ? exportDictionary(store, choice, target, env_.random)
                             : exportText(store, choice, target);
    if (!written)
        env_.prompts->inform(Form4_, Prompts::Icon::error, QStringLiteral("Chyba!"),
                             QStringLiteral("Export do souboru \"%1\" se nepodařil.").arg(path));
    return true;
}

void TForm1::ToolButton11Click(bool bySender) {
    if (!store.isOpen()) return;
    if (bySender) {
        QString path = env_.prompts->openFile(this, QStringLiteral("Synchronizace"),
                                              QStringLiteral("Soubory slovníků (*.dsl)"));
        if (path.isEmpty()) return;
        OpenDialog2FileName = path.toStdString();
    }
    setEnabled(false);
    statusPanels[0]->setText(QStringLiteral("Probíhá synchronizace ..."));
    auto askImportOnly = [this] {
        const bool yes = env_.prompts->ask(this, QStringLiteral("Upozornění"),
                                           QStringLiteral("Vybraný soubor slovníku není možné použít pro "
                                                          "synchronizaci. Mají se položky v něm uložené pouze "
                                                          "importovat?"));
        if (yes) statusPanels[0]->setText(QStringLiteral("Probíhá import položek ..."));
        return yes;
    };
    const SyncOutcome outcome = synchronise(store, characterTables, OpenDialog2FileName, askImportOnly,
                                            [](std::size_t) { QCoreApplication::processEvents(); });
    if (outcome == SyncOutcome::synchronised || outcome == SyncOutcome::imported) {
        showFromTheStart();
        modified = true;
        saveDictionary();
    } else {
        if (outcome == SyncOutcome::unreadable)
            env_.prompts->inform(this, Prompts::Icon::error, QStringLiteral("Chyba!"),
                                 QStringLiteral("Soubor \"%1\" nelze načíst jako slovník; nic se nezměnilo.")
                                     .arg(QString::fromStdString(OpenDialog2FileName)));
        refreshDictionaryStatus();
    }
    setEnabled(true);
}

}  // namespace trelvo
