#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ProgramEnvironment.h"
#include "dictionary/CharacterTables.h"
#include "dictionary/DictionaryStore.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QStatusBar;
class QTableWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QFrame;

namespace trelvo {

// The main window: it owns the active dictionary, the character tables and the
// state every command works on, runs the start-up and close sequences and
// keeps the status bar and layout in line with the dictionary.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(ProgramEnvironment environment, QWidget* parent = nullptr);

    // The start-up sequence. False when the program cannot run (no
    // "upchar.dat"); the error has then been shown.
    bool startUp();

    void refreshDictionaryStatus();
    void layoutMainWindow();
    void selectDictionary(int i);
    void openDictionary(int i);
    // Writes the active dictionary; a failure is shown and keeps `modified`.
    bool saveDictionary();
    void scanCatalogue();
    void refillWindow();

    // State that the commands read and change under these names.
    std::string programDir;
    DictionaryStore store;
    CharacterTables characterTables;
    int sourceSide = 0;
    int targetSide = 1;
    int sourceTable = 0;
    int targetTable = 0;
    bool modified = false;
    bool autoUpdate = true;
    int lastDictionary = 0;
    int lastUpdateDay = 0;
    std::vector<std::string> updateLocations;
    std::size_t currentPosition = 0;
    std::size_t windowFirst = staleWindow;
    std::size_t windowLast = staleWindow;
    bool gridHadFocus = false;
    bool hidingGrid = false;
    bool refilling = false;
    bool inFallback = false;
    int idleTicks = 0;

    static constexpr std::size_t staleWindow = 100000;
    static constexpr int gridRows = 200;

    // Controls, under the names the commands use.
    QToolBar* ToolBar1 = nullptr;
    std::array<QToolButton*, 13> toolButtons{};  // ToolButton1 .. ToolButton12 at their numbers
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QPushButton* Button1 = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    QTableWidget* grid = nullptr;
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

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createToolBar();
    void fadeBanner();
    void readSettings();
    void writeSettings();
    // Filled in by the automatic update.
    void checkForUpdate();
    bool askToSaveChanges();
    QString decode(std::string_view text, int side) const;
    void Timer3Timer();

    ProgramEnvironment env_;
    QRect designGeometry_;
};

}  // namespace trelvo
