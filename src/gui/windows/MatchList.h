#pragma once

#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QLabel;
class QToolButton;
class QTreeWidget;

namespace trelvo {

class DictionaryStore;
class WordStems;
class WorkerThread;

// The list of entries that the search box's text finds by any of their words
// ("Nalezeno …"), under the grid. Finding runs on a thread of its own over a
// copy of the dictionary's entries taken at the first find after a change, so
// that typing never waits for it; the next key cancels a find under way.
// Choosing a row (Enter, a click) asks the window to bring the grid there.
class MatchList : public QWidget {
    Q_OBJECT
public:
    // At most this many rows; the count says how many more there are.
    static constexpr std::size_t maxRows = 500;

    explicit MatchList(QWidget* parent = nullptr);
    ~MatchList() override;

    // The dictionary the list finds in. After every change of its entries,
    // and when another one opens, dictionaryChanged() empties the list.
    void setDictionary(const DictionaryStore* store) { store_ = store; }
    void dictionaryChanged();
    // Starts finding text; a find under way is cancelled.
    void find(const QString& text);
    // A key in the search box: the find under way ends without a result.
    void cancel();
    bool finding() const { return running_ != nullptr; }
    // Moves the focus onto the list's rows.
    void focusRows();

    // Where the stems of a language (ISO 639-1 code) come from; by default
    // the system's Hunspell dictionaries, each loaded once.
    void setStemSource(std::function<std::shared_ptr<const WordStems>(const std::string& code)> source);

    QTreeWidget* rows() const { return rows_; }
    QLabel* count() const { return count_; }
    QToolButton* hideButton() const { return hide_; }

    // "Nalezen 1 záznam", "Nalezeny 3 záznamy", "Nalezeno 5 záznamů", and how
    // many more there are than the rows shown.
    static QString countText(std::size_t total, std::size_t shown);

signals:
    // The user chose a row: entry number and the language that matched (0 or 1).
    void entryChosen(std::uint32_t entry, int side);
    // The user hid the list with its button.
    void hideRequested();

private:
    struct Row;
    struct Job;
    struct Source;

    void show(const Job& job);
    void choose();
    std::shared_ptr<Source> source();

    const DictionaryStore* store_ = nullptr;
    std::shared_ptr<Source> source_;  // the copy of the entries, with its finder once built
    std::shared_ptr<Job> running_;
    std::uint64_t jobs_ = 0;
    std::vector<std::pair<std::uint32_t, int>> shownEntries_;  // row → entry, side
    std::function<std::shared_ptr<const WordStems>(const std::string&)> stemSource_;
    QLabel* count_ = nullptr;
    QToolButton* hide_ = nullptr;
    QTreeWidget* rows_ = nullptr;
    WorkerThread* worker_ = nullptr;
};

}  // namespace trelvo
