#pragma once

#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/editing/ChangeReplay.h"
#include "core/editing/DictionaryChange.h"
#include "core/editing/RecoveryJournal.h"
#include "core/exchange/Synchronisation.h"
#include "core/lookup/Direction.h"
#include "core/lookup/GridWindow.h"
#include "core/settings/UserSettings.h"
#include "gui/app/ProgramEnvironment.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QStatusBar;
class QTextBrowser;
class QTimer;
class QUndoStack;
class QAction;
class QToolBar;
class QToolButton;
class QFrame;

namespace trelvo {

class CASShape;
class MatchList;
class TForm3;
class TForm4;
class TForm5;
class Tgridik;
class TNewTrelvo;
class TWhintik;
class WorkerThread;
struct UpdateCheckResult;
struct UpdateUi;

// The tool buttons of the main window, by the numbers of their names
// (ToolButton1 .. ToolButton13), whose click handlers keep those names.
enum class ToolButton {
    newDictionary = 1,
    importWords = 2,
    dictionaryMenu = 3,  // its arrow opens the dictionary menu
    swapDirection = 4,
    convertToDefault = 5,
    allowAdding = 6,  // check button: the boxes for new entries
    saveChanges = 7,
    about = 8,
    exportEntries = 9,
    settings = 10,
    synchronise = 11,
    automaticUpdate = 12,  // check button, pressed by default
    help = 13,
};

// The main window: it owns the active dictionary, the character tables and the
// state every command works on, runs the start-up and close sequences and
// keeps the status bar and layout in line with the dictionary.
// Its handlers are in files by concern: TForm1.cpp (start, layout, opening,
// saving and closing), TForm1Search.cpp (search box, grid and scroll bar),
// TForm1Editing.cpp, TForm1Administration.cpp (new dictionary, properties,
// about box), TForm1Exchange.cpp (import, export, synchronisation, update)
// and TForm1Undo.cpp (the path of every change, undo and redo).
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(ProgramEnvironment environment, QWidget* parent = nullptr);
    ~TForm1() override;

    // The start-up sequence. False when the program cannot run (no
    // "upchar.dat"); the error has then been shown.
    bool startUp();
    // The dialogs, created after the main window.
    void attachDialogs(TNewTrelvo* properties, TForm3* about, TForm4* exporting, TForm5* accessCode);

    // Everything else is the window's own; tests look in through this probe.
    friend class TForm1Probe;

signals:
    // An update check has ended: 0 when no location could be reached, 1
    // after an update, 2 otherwise. A check given up (the window closed, the
    // dictionary switched, the toggle raised) does not end this way.
    void updateChecked(int code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The commands on the dictionary as a whole.
    void ToolButton1Click();   // new dictionary
    void ToolButton10Click();  // its settings
    void convertToDefault();
    void ToolButton8Click();   // about box
    // Starts the automatic update check of the open dictionary, in place of
    // one under way. Its requests wait on a thread of their own while the
    // window goes on working; its question and merge come on the window's
    // thread, and updateChecked says how it ended.
    void checkForUpdate();
    void ToolButton12Click(bool down);
    void ToolButton2Click();   // import of a word list
    void ToolButton9Click();   // export
    // Synchronisation with another dictionary file: chosen by the user when
    // bySender, else the file last chosen (OpenDialog2FileName). Gives what
    // the merge did. When the file cannot be read as a dictionary, or the
    // merge would make the dictionary too large, only the button says so in
    // a box; the update check reports it itself. Without a sender the file is
    // an update's edition: editionAgreed decides on what the merge will do,
    // and a file of another dictionary is declined, never imported.
    SyncOutcome ToolButton11Click(bool bySender = true,
                                  const std::function<bool(const SyncCounts&)>& editionAgreed = {});
    std::string OpenDialog2FileName;
    bool checkAccessCode();

    void refreshDictionaryStatus();
    void layoutMainWindow();
    void selectDictionary(int i);
    // False when the active dictionary stays: the user went back from the
    // question about unsaved changes, the save failed, or the file is unreadable.
    bool openDictionary(int i);
    // Writes the active dictionary under its lock, asking first when another
    // program changed the file since it was read or last saved here. False,
    // with `modified` kept, when the user said no, the lock stayed taken or
    // the write failed (the last two are shown).
    bool saveDictionary();
    void scanCatalogue();
    // The recovery journal (TForm1Recovery.cpp): every change to the open
    // dictionary goes to it as it happens and is on the disk within a
    // second; a save or the user's "Ne" ends it.
    RecoveryJournal journal_;
    QTimer* journalSync_ = nullptr;
    // The user was told that the journal cannot be written: once per opening.
    bool journalUnwrittenTold_ = false;
    // A journal of the dictionary just opened, from this state of its file.
    void startJournal();
    void journalChange(const DictionaryChange& change);
    // Offers the changes a killed program left for the dictionary just opened.
    void offerRecovery();
    // The save found the file changed by another program: true to write it,
    // the user's changes merged into the file as it is now, or over it.
    bool askToOverwriteOrMerge();
    std::optional<ReplayCounts> mergeCounts_;  // the merge of the save under way
    // After a save that merged, the user is told what the merge did.
    void reportMerge();
    // Loads the grid rows around currentPosition when the cursor nears the
    // window's edge (or the window is stale); true when it did.
    bool refillWindow(int topRowBefore);
    void syncScrollBar();
    void swapDirection();
    // Takes on a direction: the status bar, the fonts and the picture follow;
    // the rows are the caller's.
    void turnTo(const Direction& turned);
    // The search of the search box: by the user (Enter) or by the idle timer.
    void runSearch(bool byUser);
    // A row of the match list chosen: the grid's cursor to that entry, in
    // the direction of the language that matched.
    void showMatch(std::uint32_t entry, int side);
    // Hides or shows the match list, and remembers it for the next start.
    void setMatchListHidden(bool hidden);

    // The window's state under the names the commands use.
    std::string programDir;
    DictionaryStore store;
    CharacterTables characterTables;
    Direction direction;  // sourceSide, targetSide and their tables
    bool modified = false;
    bool autoUpdate = true;
    int lastDictionary = 0;
    int lastUpdateDay = 0;
    std::vector<std::string> updateLocations;
    std::size_t currentPosition = 0;
    GridWindow window;  // windowFirst .. windowLast - 1 in the grid, or stale
    bool gridHadFocus = false;
    bool hidingGrid = false;
    bool refilling = false;
    int idleTicks = 0;
    std::string lastSearchText;
    int pointerX = -1;
    int pointerY = -1;
    int hintCol = -1;
    int hintRow = -1;

    static constexpr int gridRows = GridWindow::rows;
    // The search while typing runs once the box has had no key for this many
    // ticks of Timer2: a quarter of a second.
    static constexpr std::chrono::milliseconds searchTick{50};
    static constexpr int idleTicksBeforeSearch = 5;
    // The match list takes at most this much of the height, and two fifths of what is left for the grid.
    static constexpr int matchListHeight = 180;

    // Controls, under the names the commands use.
    QToolBar* ToolBar1 = nullptr;
    std::array<QToolButton*, 14> toolButtons{};  // ToolButton1 .. ToolButton13 at their numbers
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPushButton* Button1 = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    Tgridik* grid = nullptr;
    MatchList* matchList = nullptr;  // under the grid
    TWhintik* Whintik1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 3> statusPanels{};
    QFrame* Panel1 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Image5 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label7 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;

    void createControls();
    void createToolBar();
    void fadeBanner();
    void readSettings();
    // Writes trelvo.cfg and trelvo.ini; when onlyChanged, not while they hold
    // these settings already.
    void writeSettings(bool onlyChanged = false);
    // The settings are written a moment after they change, not only at
    // closing, so that a crash keeps them; changes in quick succession (a
    // window being dragged) make one write.
    void settingsChanged();
    QTimer* settingsTimer_ = nullptr;
    // The bytes of both files as last read or written.
    std::string writtenSettings_;
    bool settingsRead_ = false;
    // The user's own settings beside trelvo.cfg: the last dictionary by its
    // file name and the column widths the user dragged.
    UserSettings userSettings_;
    std::string userSettingsPath() const;
    // The user dragged the border of column i: the column to its right (the
    // translation column for the last one) gives or takes the difference, and
    // the shares are kept for the next layout and the next start.
    void columnDragged(int i, int oldWidth, int newWidth);
    void setColumnWidths(const std::array<int, 3>& widths);
    bool layingOutColumns_ = false;
    // Sets or clears the mark of unsaved changes, which the caption shows as
    // a "*" after the dictionary's name.
    void markModified(bool changed);
    void showCaption();

    // Keys of the whole window, and where they lead.
    void createShortcuts();
    void focusSearchBox();
    void showDictionaryMenu();
    // The grid's context menu at the cursor's cell, opened from the keyboard.
    void popupGridMenu();
    // The help in a window of the program, at the topic (an anchor of the page).
    void showHelp(const QString& topic);
    QTextBrowser* helpWindow_ = nullptr;

    // Backups (TForm1Backups.cpp). A large change (a synchronisation or an
    // update, "convert to delivered", a column cleared, an import of more
    // than largeImport entries, a backup put back) since the last save has
    // the file as it was copied to the backups just before the next save
    // writes over it; a copy that failed is told once the save is done.
    bool largeChangeUnsaved_ = false;
    int backupError_ = 0;
    // Notes a change, made or taken back, that is large.
    void noteLargeChange(const DictionaryChange& change);
    void backUpBeforeSave();
    void tellFailedBackup();
    // "Obnovit ze zálohy…": the backups of the open dictionary listed, and
    // the one chosen made its contents, as one change, not saved.
    void restoreFromBackup();

    // Offers to save unsaved changes; false when the user went back or the
    // save failed, and whatever was about to happen must not.
    bool askToSaveChanges();
    bool applyProperties();
    void askLanguageCodes();
    bool runExport();
    // After the entries were read or merged: tables, status, and the grid
    // and scroll bar from the first entry.
    void showFromTheStart();
    void centre(QWidget* dialog) const;
    QString decode(std::string_view text, int side) const;
    std::string encode(const QString& text, int side) const;
    const DictionaryIndex& sourceIndex() const { return store.indexes[static_cast<std::size_t>(direction.sourceSide)]; }
    void createGrid();
    // Before anything reloads the grid's rows: an open cell edit is kept.
    void finishCellEdit();
    // Once the cell editor has closed: the rows reload around the entry the
    // edit changed, which a new term may have moved.
    void showEditedEntry();
    // The user left a cell editor for the cell (row, col): the edit is kept
    // and the cursor goes to the entry that stood there when the user
    // pointed at it, or stays on the edited entry where the cell was empty.
    void leaveEditTowards(int row, int col);
    void fillRows();
    // Puts the cursor on the entry at position and the rows and the scroll
    // bar around it. The rows are reloaded when the cursor nears the edge of
    // the window, or whenever the caller marked the window stale (the entries
    // or the direction changed); topPosition, when given, is the entry to
    // stand in the top visible row, as far as the rows allow.
    void showPosition(std::size_t position, std::optional<std::size_t> topPosition = std::nullopt);
    // The selection rule moves the cursor; placeCursor moves it without it.
    void setCursorRow(int row);
    void placeCursor(int row, int col);
    bool Edit1KeyDown(QKeyEvent* event);
    bool StringGrid2KeyDown(QKeyEvent* event);
    void StringGrid2SelectCell(int row, int col, int previousRow, int previousCol);
    void StringGrid2MouseMove(QPoint point);
    void ScrollBar1Scroll(int position);
    void StringGrid2MouseWheel(int notches);
    void ToolButton6Click();
    // Insert and Escape switch the adding mode as a click on its button would.
    void switchAddingMode();
    QToolButton* toolButton(ToolButton b) const { return toolButtons[static_cast<std::size_t>(b)]; }
    bool EditNewEntryKeyDown(QLineEdit* box, QKeyEvent* event);
    // The new-entry boxes keep the last texts, selected, so that typing replaces them.
    void offerForReplacing(QLineEdit* box);
    void addEntry();
    void commitCellEdit(int col, int row, const QString& text);
    // The entry under the cursor, after the user agreed to lose it.
    void deleteEntry();
    void clearTranslations();
    void clearNotes();
    // After a change to the entries: the grid reloads around position.
    void entriesChanged(std::size_t position);

    // The one path of every change to the entries or the header, made just
    // now: it goes onto the undo stack, and the dictionary is modified.
    void recordChange(DictionaryChange change);
    // Another dictionary (or a new one) takes the window: its changes are not this one's.
    void forgetChanges();
    // Ctrl+Z, Ctrl+Y and the grid menu's items; an open cell edit is kept first.
    void undoChange();
    void redoChange();
    // Applies a change recorded before (undone or done again) or one to be
    // recorded: the grid shows the entry it changed. False, with the user
    // told, when the dictionary's limits refused it.
    bool applyRecorded(const DictionaryChange& change);
    void createUndo();
    void refreshUndoItems();
    // What "Zpět: …" and "Znovu: …" call the change.
    QString changeName(const DictionaryChange& change) const;
    QUndoStack* undoStack_ = nullptr;
    QAction* undoItem_ = nullptr;
    QAction* redoItem_ = nullptr;
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();

    // The update check in its steps: searching the locations and downloading
    // on the worker, the question and the merge on the window's thread.
    struct UpdateJob;
    UpdateUi updateUi();
    void showUpdateStatus(const std::string& text);
    // Runs a step of the check once no box, menu or long command holds the
    // window, unless the check has been given up by then.
    void whenFree(const std::shared_ptr<UpdateJob>& job, std::function<void()> step);
    void takeEdition(const std::shared_ptr<UpdateJob>& job, const std::string& downloadPath);
    void endUpdateCheck(const UpdateCheckResult& result);
    // The check under way, if any, is cancelled and nothing more comes of it;
    // true when there was one. The caller puts the status panel right.
    bool abandonUpdateCheck();

    ProgramEnvironment env_;
    TNewTrelvo* NewTrelvo_ = nullptr;
    TForm3* Form3_ = nullptr;
    TForm4* Form4_ = nullptr;
    TForm5* Form5_ = nullptr;
    QRect designGeometry_;
    CASShape* frame_ = nullptr;
    bool syncingScrollBar_ = false;
    bool fillingRows_ = false;
    std::optional<std::uint32_t> editedEntry_;
    // After a swap, the next text typed into the search box is searched even
    // when it equals the one searched before the swap.
    bool swappedSinceSearch_ = false;
    std::unique_ptr<WorkerThread> updateWorker_;
    std::shared_ptr<UpdateJob> update_;  // the check under way
    // The check's progress text while it waits on a server; the panel keeps
    // it through a refresh.
    QString updateStatus_;
};

}  // namespace trelvo
