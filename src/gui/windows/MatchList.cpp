#include "MatchList.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "UiText.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/exchange/LanguageCodes.h"
#include "core/lookup/EntryFinder.h"
#include "core/lookup/HunspellStems.h"
#include "gui/app/WorkerThread.h"

namespace trelvo {

namespace {

// Paints a cell's text from the HTML kept under Qt::UserRole, so that the
// matched words stand out in bold.
class HighlightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QString html = index.data(Qt::UserRole).toString();
        o.text.clear();
        o.widget->style()->drawControl(QStyle::CE_ItemViewItem, &o, painter, o.widget);
        QTextDocument document;
        document.setDefaultFont(o.font);
        document.setDocumentMargin(2);
        document.setHtml(html);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = o.palette;
        if (o.state & QStyle::State_Selected)
            context.palette.setColor(QPalette::Text, o.palette.color(QPalette::HighlightedText));
        painter->save();
        painter->translate(o.rect.topLeft());
        painter->setClipRect(QRect(0, 0, o.rect.width(), o.rect.height()));
        document.documentLayout()->draw(painter, context);
        painter->restore();
    }
};

// text in HTML, the words query begins (or, given stems, another form of) in bold.
QString highlighted(std::string_view text, int codePage, const std::string& query, const WordStems* stems) {
    QString html;
    std::size_t at = 0;
    for (const auto& [begin, end] : EntryFinder::matchedWords(text, codePage, query, stems)) {
        html += uiText(text.substr(at, begin - at), codePage).toHtmlEscaped();
        html += QStringLiteral("<b>") + uiText(text.substr(begin, end - begin), codePage).toHtmlEscaped() +
                QStringLiteral("</b>");
        at = end;
    }
    return html + uiText(text.substr(at), codePage).toHtmlEscaped();
}

}  // namespace

struct MatchList::Row {
    std::uint32_t entry = 0;
    int side = 0;
    std::array<QString, 3> plain, html;
    QString language;
};

// The entries as they were at the first find after a change, and the finder
// over them, built by the first find that needs it.
struct MatchList::Source {
    std::shared_ptr<const EntryList> entries;
    std::array<std::vector<std::uint32_t>, 2> positions;
    std::array<int, 3> codePages{};
    std::array<std::string, 2> codes;
    std::array<QString, 3> languages;
    std::mutex mutex;
    std::unique_ptr<EntryFinder> finder;
};

struct MatchList::Job {
    std::string query;  // UTF-8
    std::shared_ptr<Source> source;
    std::function<std::shared_ptr<const WordStems>(const std::string&)> stems;
    std::atomic<bool> cancelled{false};
    std::vector<Row> rows;
    std::size_t total = 0;
    bool complete = false;

    void run() {
        Source& s = *source;
        const EntryFinder* finder = nullptr;
        {
            std::lock_guard lock(s.mutex);
            if (cancelled) return;
            if (!s.finder)
                s.finder = std::make_unique<EntryFinder>(s.entries, std::move(s.positions),
                                                         std::array<int, 2>{s.codePages[0], s.codePages[1]},
                                                         std::array<std::shared_ptr<const WordStems>, 2>{
                                                             stems(s.codes[0]), stems(s.codes[1])});
            finder = s.finder.get();
        }
        const FindAnswer answer = finder->find(query, maxRows, &cancelled);
        if (answer.cancelled) return;
        // A row found through an inflected form shows the forms it holds in bold too.
        const std::array<std::shared_ptr<const WordStems>, 2> sideStems{stems(s.codes[0]), stems(s.codes[1])};
        for (const EntryMatch& m : answer.matches) {
            Row row;
            row.entry = m.entry;
            row.side = m.text == 1 ? 1 : 0;
            for (std::size_t k = 0; k < 3; ++k) {
                const std::string_view text = s.entries->text(m.entry, static_cast<int>(k));
                row.plain[k] = uiText(text, s.codePages[k]);
                const WordStems* formStems = m.how == MatchKind::form && k < 2 ? sideStems[k].get() : nullptr;
                row.html[k] = highlighted(text, s.codePages[k], query, formStems);
            }
            row.language = s.languages[static_cast<std::size_t>(m.text)];
            rows.push_back(std::move(row));
        }
        total = answer.total;
        complete = true;
    }
};

MatchList::MatchList(QWidget* parent) : QWidget(parent), worker_(new WorkerThread(this)) {
    count_ = new QLabel(this);
    hide_ = new QToolButton(this);
    hide_->setText(QStringLiteral("×"));
    hide_->setAutoRaise(true);
    hide_->setToolTip(QStringLiteral("Skrýt seznam nalezených záznamů (Ctrl+F jej opět ukáže)"));
    rows_ = new QTreeWidget(this);
    rows_->setColumnCount(4);
    rows_->setHeaderLabels({QStringLiteral("Výraz"), QStringLiteral("Překlad"), QStringLiteral("Poznámka"),
                            QStringLiteral("Nalezeno v")});
    rows_->setRootIsDecorated(false);
    rows_->setUniformRowHeights(true);
    rows_->setItemDelegate(new HighlightDelegate(rows_));
    rows_->header()->setStretchLastSection(false);
    rows_->header()->setSectionResizeMode(QHeaderView::Stretch);
    rows_->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(count_, 1);
    header->addWidget(hide_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addLayout(header);
    layout->addWidget(rows_, 1);

    connect(rows_, &QTreeWidget::itemActivated, this, [this] { choose(); });
    connect(rows_, &QTreeWidget::itemClicked, this, [this] { choose(); });
    connect(hide_, &QToolButton::clicked, this, &MatchList::hideRequested);

    // Each language's stems are loaded once, by the first find that asks for them.
    auto loaded = std::make_shared<std::pair<std::mutex, std::map<std::string, std::shared_ptr<const WordStems>>>>();
    stemSource_ = [loaded](const std::string& code) -> std::shared_ptr<const WordStems> {
        std::lock_guard lock(loaded->first);
        auto [at, added] = loaded->second.try_emplace(code);
        if (added) at->second = HunspellStems::forLanguage(code);
        return at->second;
    };
}

MatchList::~MatchList() = default;

void MatchList::setStemSource(std::function<std::shared_ptr<const WordStems>(const std::string& code)> source) {
    stemSource_ = std::move(source);
    source_.reset();
}

void MatchList::dictionaryChanged() {
    cancel();
    source_.reset();
    rows_->clear();
    shownEntries_.clear();
    count_->clear();
}

void MatchList::cancel() {
    if (!running_) return;
    running_->cancelled = true;
    running_.reset();
}

std::shared_ptr<MatchList::Source> MatchList::source() {
    if (source_) return source_;
    auto s = std::make_shared<Source>();
    s->entries = std::make_shared<const EntryList>(store_->entries);
    for (std::size_t k = 0; k < 2; ++k) {
        s->positions[k] = EntryFinder::positionsIn(store_->indexes[k], store_->entryCount());
        s->codePages[k] = CodePage::codePageOfCharset(store_->header.languageCharset[k]);
        s->codes[k] = languageCode(store_->header, static_cast<int>(k));
        s->languages[k] = uiText(store_->header.languageName[k]);
    }
    s->codePages[2] = CodePage::headerCodePage;
    s->languages[2] = QStringLiteral("poznámce");
    source_ = s;
    return s;
}

void MatchList::find(const QString& text) {
    cancel();
    if (!store_ || !store_->isOpen() || text.trimmed().isEmpty()) {
        rows_->clear();
        shownEntries_.clear();
        count_->clear();
        return;
    }
    auto job = std::make_shared<Job>();
    job->query = text.toStdString();
    job->source = source();
    job->stems = stemSource_;
    running_ = job;
    worker_->start([job] { job->run(); },
                   [this, job] {
                       if (job != running_) return;  // cancelled, or another find since
                       running_.reset();
                       if (job->complete) show(*job);
                   },
                   [job] { job->cancelled = true; });
}

void MatchList::show(const Job& job) {
    rows_->clear();
    shownEntries_.clear();
    QList<QTreeWidgetItem*> items;
    for (const Row& row : job.rows) {
        auto* item = new QTreeWidgetItem;
        for (int k = 0; k < 3; ++k) {
            item->setText(k, row.plain[static_cast<std::size_t>(k)]);
            item->setData(k, Qt::UserRole, row.html[static_cast<std::size_t>(k)]);
        }
        item->setText(3, row.language);
        item->setData(3, Qt::UserRole, row.language.toHtmlEscaped());
        items.append(item);
        shownEntries_.emplace_back(row.entry, row.side);
    }
    rows_->addTopLevelItems(items);
    count_->setText(countText(job.total, job.rows.size()));
}

void MatchList::focusRows() {
    rows_->setFocus(Qt::ShortcutFocusReason);
    if (!rows_->currentItem() && rows_->topLevelItemCount() > 0) rows_->setCurrentItem(rows_->topLevelItem(0));
}

void MatchList::choose() {
    const int row = rows_->indexOfTopLevelItem(rows_->currentItem());
    if (row < 0 || static_cast<std::size_t>(row) >= shownEntries_.size()) return;
    const auto [entry, side] = shownEntries_[static_cast<std::size_t>(row)];
    emit entryChosen(entry, side);
}

QString MatchList::countText(std::size_t total, std::size_t shown) {
    const QString n = QString::number(total);
    QString text = total == 1                ? QStringLiteral("Nalezen %1 záznam").arg(n)
                   : total >= 2 && total <= 4 ? QStringLiteral("Nalezeny %1 záznamy").arg(n)
                                              : QStringLiteral("Nalezeno %1 záznamů").arg(n);
    if (total > shown) {
        const std::size_t more = total - shown;
        text += QStringLiteral(", zobrazeno prvních %1 – %2 ještě %3")
                    .arg(shown)
                    .arg(more >= 2 && more <= 4 ? QStringLiteral("zbývají") : QStringLiteral("zbývá"))
                    .arg(more);
    }
    return text;
}

}  // namespace trelvo
