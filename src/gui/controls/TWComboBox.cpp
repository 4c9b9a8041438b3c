#include "TWComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <QTimer>
#include <algorithm>

namespace trelvo {

// The drop-down list draws its items the same way as the closed control.
class TWComboBox::ItemDelegate : public QStyledItemDelegate {
public:
    explicit ItemDelegate(TWComboBox* owner) : QStyledItemDelegate(owner), owner_(owner) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        owner_->drawItem(*painter, option.rect, index.row(),
                         option.state.testFlag(QStyle::State_Selected));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize natural = QStyledItemDelegate::sizeHint(option, index);
        return {natural.width(), owner_->requestedItemHeight()};
    }

private:
    TWComboBox* owner_;
};

TWComboBox::TWComboBox(QWidget* parent) : QComboBox(parent) {
    setItemDelegate(new ItemDelegate(this));
    connect(this, &QComboBox::currentIndexChanged, this, [this] { selectionChanged(); });
    // Pictures stay with their items however items come and go.
    connect(model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                imageIndexes_.insert(first, last - first + 1, pendingImage_);
            });
    connect(model(), &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                if (first < imageIndexes_.size())
                    imageIndexes_.remove(first, std::min<qsizetype>(last - first + 1,
                                                                    imageIndexes_.size() - first));
            });
}

TWComboBox::~TWComboBox() {
    if (editBox_) editBox_->removeEventFilter(this);
    if (arrowCursorShown_) QApplication::restoreOverrideCursor();
}

void TWComboBox::add(const QString& text, int imageIndex) {
    // A new list starts without a selection, which the base class would make.
    const int before = currentIndex();
    {
        const QSignalBlocker quiet(this);
        pendingImage_ = imageIndex;
        addItem(text);
        pendingImage_ = -1;
        if (currentIndex() != before) setCurrentIndex(before);
    }
    update();
}

void TWComboBox::changeimage(int index, int imageIndex) {
    if (index < 0 || index >= imageIndexes_.size()) return;
    imageIndexes_[index] = imageIndex;
    refresh();
}

int TWComboBox::imageIndex(int index) const {
    return index >= 0 && index < imageIndexes_.size() ? imageIndexes_[index] : -1;
}

void TWComboBox::SetImages(const QList<QPixmap>& images) {
    images_ = images;
    refresh();
}

QSize TWComboBox::imageSize() const {
    return images_.isEmpty() ? QSize() : images_.front().deviceIndependentSize().toSize();
}

void TWComboBox::SetSpace(int pixels) {
    if (pixels == space_) return;
    space_ = pixels;
    refresh();
}

void TWComboBox::SetBackground(const QPixmap& pattern) {
    background_ = pattern;
    refresh();
}

void TWComboBox::SetBackgroundSelected(const QPixmap& pattern) {
    backgroundSelected_ = pattern;
    refresh();
}

QColor TWComboBox::ColorSelected() const {
    return colorSelected_.isValid() ? colorSelected_ : palette().color(QPalette::Highlight);
}

void TWComboBox::SetColorSelected(const QColor& color) {
    colorSelected_ = color;
    refresh();
}

void TWComboBox::SetFontSelected(const QFont& value) {
    fontSelected_ = value;
    refresh();
}

QColor TWComboBox::FontSelectedColor() const {
    return fontSelectedColor_.isValid() ? fontSelectedColor_
                                        : palette().color(QPalette::HighlightedText);
}

void TWComboBox::SetFontSelectedColor(const QColor& color) {
    fontSelectedColor_ = color;
    refresh();
}

QColor TWComboBox::FontColor() const { return palette().color(QPalette::Text); }

int TWComboBox::ItemHeight() const {
    return itemHeight_ > 0 ? itemHeight_ : fontMetrics().height() + 2;
}

void TWComboBox::SetItemHeight(int pixels) {
    if (pixels == itemHeight_) return;
    itemHeight_ = pixels;
    refresh();
}

int TWComboBox::requestedItemHeight() const {
    return images_.isEmpty() ? ItemHeight() : imageSize().height() + space_;
}

void TWComboBox::SetText(const QString& text) {
    text_ = text;
    if (editBox_ && editBox_->text() != text) setEditText(text);
}

QRect TWComboBox::editBoxRect() const {
    const int h = requestedItemHeight();
    return {3, (height() - h) / 2, width() - 21, h};
}

int TWComboBox::completionFor(const QString& typed) const {
    if (typed.isEmpty()) return -1;
    const QString wanted = typed.toUpper();
    for (int i = 0; i < count(); ++i) {
        const QString item = itemText(i).left(completionLimit);
        if (item.left(wanted.size()).toUpper() == wanted) return i;
    }
    return -1;
}

QPoint TWComboBox::imagePosition(const QRect& item) const {
    // Integer division: half the margin, rounded toward zero.
    return {item.left() + space_ / 2, item.top() + space_ / 2};
}

QRect TWComboBox::textRect(const QRect& item) const {
    QRect rect = item;
    if (!images_.isEmpty()) rect.setLeft(rect.left() + imageSize().width() + 2 * space_);
    rect.setLeft(rect.left() + 2);
    return rect;
}

void TWComboBox::drawItem(QPainter& painter, const QRect& item, int index, bool selected) const {
    painter.save();
    const QPixmap& pattern = selected ? backgroundSelected_ : background_;
    if (!pattern.isNull())
        painter.fillRect(item, QBrush(pattern));
    else
        painter.fillRect(item, selected ? ColorSelected() : palette().color(QPalette::Base));

    if (index >= 0 && index < count()) {
        if (!images_.isEmpty()) {
            const int picture = imageIndex(index);
            if (picture >= 0 && picture < images_.size())
                painter.drawPixmap(imagePosition(item), images_[picture]);
        }
        painter.setFont(selected ? FontSelected() : font());
        painter.setPen(selected ? FontSelectedColor() : FontColor());
        painter.setBackgroundMode(Qt::TransparentMode);
        painter.drawText(textRect(item), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         itemText(index));
    }
    painter.restore();
}

QImage TWComboBox::renderItem(int index, bool selected, int width) const {
    QImage image(std::max(width, 1), std::max(requestedItemHeight(), 1), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    drawItem(painter, image.rect(), index, selected);
    return image;
}

void TWComboBox::SetEditable(bool on) {
    if (on == Editable()) return;
    if (!on) {
        // The box's own destruction sends it events; they must not reach the
        // filter, which would take the half-destroyed box for a line edit.
        editBox_->removeEventFilter(this);
        delete editBox_;
        setFocusProxy(nullptr);
        setFocusPolicy(focusPolicyBeforeEdit_);
        return;
    }
    auto* box = new QLineEdit(this);
    box->setFrame(false);
    box->setFont(font());
    box->setText(text_);
    box->installEventFilter(this);
    editBox_ = box;
    placeEditBox();
    connect(box, &QLineEdit::textEdited, this, [this](const QString& text) { editEdited(text); });
    // The edit box takes the control's place in the tab order.
    focusPolicyBeforeEdit_ = focusPolicy();
    setTabOrder(this, box);
    setFocusPolicy(Qt::NoFocus);
    setFocusProxy(box);
    if (isVisible()) box->show();
}

void TWComboBox::placeEditBox() {
    if (editBox_) editBox_->setGeometry(editBoxRect());
}

void TWComboBox::setEditText(const QString& text) {
    // Text put in by the control is not typing and must not complete.
    const bool wasChanging = changing_;
    changing_ = true;
    editBox_->setText(text);
    changing_ = wasChanging;
}

void TWComboBox::refresh() {
    placeEditBox();
    if (view()) view()->doItemsLayout();
    updateGeometry();
    update();
}

void TWComboBox::selectionChanged() {
    const int index = currentIndex();
    if (!editBox_) {
        text_ = index >= 0 ? itemText(index) : QString();
    } else if (index < 0) {
        if (editBox_->text() != text_) setEditText(text_);
    } else {
        setEditText(itemText(index));
        text_ = itemText(index);
    }
    update();
    emit Change();
}

void TWComboBox::editEdited(const QString& text) {
    if (changing_ || !editBox_) return;
    if (!typedChar_) {
        // Deleting never completes: what is left stays as it is.
        if (text_ != text) text_ = text;
        return;
    }
    const int match = autoComplete_ ? completionFor(text) : -1;
    if (match < 0) {
        text_ = text;
        if (autoComplete_ && currentIndex() >= 0) {
            changing_ = true;
            setCurrentIndex(-1);
            changing_ = false;
        }
        return;
    }
    changing_ = true;
    if (currentIndex() != match)
        setCurrentIndex(match);
    else
        selectionChanged();
    const QString item = itemText(match);
    editBox_->setText(item);
    editBox_->setSelection(text.size(), item.size() - text.size());
    changing_ = false;
}

bool TWComboBox::editKeyDown(int key) {
    typedChar_ = key != Qt::Key_Delete && key != Qt::Key_Backspace;
    switch (key) {
    case Qt::Key_Escape:
        if (view() && view()->isVisible()) hidePopup();
        return false;
    case Qt::Key_Up:
        if (currentIndex() > 0) setCurrentIndex(currentIndex() - 1);
        return true;
    case Qt::Key_Down:
        if (currentIndex() < count() - 1) setCurrentIndex(currentIndex() + 1);
        return true;
    default:
        return false;
    }
}

bool TWComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (editBox_ && watched == editBox_) {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (editKeyDown(static_cast<QKeyEvent*>(event)->key())) return true;
            break;
        case QEvent::MouseButtonRelease:
            editBox_->selectAll();
            if (autoDropDown_) showPopup();
            break;
        case QEvent::FocusIn:
            // After the box's own handling, which may place the cursor.
            QTimer::singleShot(0, editBox_, [box = editBox_] {
                if (box) box->selectAll();
            });
            emit Enter();
            break;
        case QEvent::FocusOut:
            emit Exit();
            break;
        default:
            break;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void TWComboBox::showPopup() {
    // The edit box's text cursor would otherwise show over the list.
    if (editBox_ && !arrowCursorShown_) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        arrowCursorShown_ = true;
    }
    QComboBox::showPopup();
}

void TWComboBox::hidePopup() {
    QComboBox::hidePopup();
    if (arrowCursorShown_) {
        QApplication::restoreOverrideCursor();
        arrowCursorShown_ = false;
    }
}

void TWComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    // The frame and arrow from the style, the field drawn like an item.
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    drawItem(painter, field, currentIndex(), hasFocus() && !editBox_);
}

void TWComboBox::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    placeEditBox();
}

void TWComboBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        if (editBox_) editBox_->setFont(font());
        refresh();
    } else if (event->type() == QEvent::PaletteChange) {
        update();
    }
    QComboBox::changeEvent(event);
}

}  // namespace trelvo
