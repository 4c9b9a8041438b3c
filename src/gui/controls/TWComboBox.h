#pragma once

#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QImage>
#include <QLineEdit>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QVector>

#include "ColorRef.h"
#include <cstdint>
#include <optional>

class QPainter;

namespace trelvo {

// A drop-down list whose items are drawn by the control itself: a picture
// from an image list in front of the text, over a pattern or a colour that
// differs for the selected item. Made editable, it lays a borderless edit
// box over its text field that completes what is typed from the items.
//
// The edit box is a child of the control rather than of its parent, so it
// follows the control's position, visibility and enabled state by itself.
class TWComboBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(int Space READ Space WRITE SetSpace)
    Q_PROPERTY(QPixmap Background READ Background WRITE SetBackground)
    Q_PROPERTY(QPixmap BackgroundSelected READ BackgroundSelected WRITE SetBackgroundSelected)
    Q_PROPERTY(QColor ColorSelected READ ColorSelected WRITE SetColorSelected)
    Q_PROPERTY(QFont FontSelected READ FontSelected WRITE SetFontSelected)
    Q_PROPERTY(QColor FontSelectedColor READ FontSelectedColor WRITE SetFontSelectedColor)
    Q_PROPERTY(bool Editable READ Editable WRITE SetEditable)
    Q_PROPERTY(bool MovableItems READ MovableItems WRITE SetMovableItems)
    Q_PROPERTY(bool AutoComplete READ AutoComplete WRITE SetAutoComplete)
    Q_PROPERTY(bool AutoDropDown READ AutoDropDown WRITE SetAutoDropDown)
    Q_PROPERTY(int ItemHeight READ ItemHeight WRITE SetItemHeight)
    Q_PROPERTY(QString Text READ Text WRITE SetText)
public:
    // Completion looks at no more than this many leading characters of an item.
    static constexpr int completionLimit = 999;

    explicit TWComboBox(QWidget* parent = nullptr);
    ~TWComboBox() override;

    // Appends an item with the picture it shows; items added otherwise show none.
    void add(const QString& text, int imageIndex);
    // Gives an item another picture; an index without a stored picture is ignored.
    void changeimage(int index, int imageIndex);
    // The picture index stored for an item, -1 when there is none.
    int imageIndex(int index) const;

    // Pictures of one size (the first one's); an empty list means none.
    const QList<QPixmap>& Images() const { return images_; }
    void SetImages(const QList<QPixmap>& images);
    QSize imageSize() const;

    // Margin around the picture, in pixels.
    int Space() const { return space_; }
    void SetSpace(int pixels);

    // Patterns under unselected and selected items; empty: a plain colour.
    const QPixmap& Background() const { return background_; }
    void SetBackground(const QPixmap& pattern);
    const QPixmap& BackgroundSelected() const { return backgroundSelected_; }
    void SetBackgroundSelected(const QPixmap& pattern);

    // Follows the palette's highlight until set.
    QColor ColorSelected() const;
    void SetColorSelected(const QColor& color);
    std::uint32_t ColorSelectedRef() const { return toColorRef(ColorSelected()); }
    void SetColorSelectedRef(std::uint32_t value) { SetColorSelected(fromColorRef(value)); }

    // The selected item's font follows the control's until set; its colour
    // follows the palette's highlighted text until set.
    QFont FontSelected() const { return fontSelected_.value_or(font()); }
    void SetFontSelected(const QFont& value);
    QColor FontSelectedColor() const;
    void SetFontSelectedColor(const QColor& color);
    std::uint32_t FontSelectedColorRef() const { return toColorRef(FontSelectedColor()); }
    void SetFontSelectedColorRef(std::uint32_t value) { SetFontSelectedColor(fromColorRef(value)); }
    // Unselected items: the palette's text colour.
    QColor FontColor() const;

    bool Editable() const { return editBox_ != nullptr; }
    void SetEditable(bool on);
    // Kept for whoever reads it; items cannot be dragged.
    bool MovableItems() const { return movableItems_; }
    void SetMovableItems(bool on) { movableItems_ = on; }
    bool AutoComplete() const { return autoComplete_; }
    void SetAutoComplete(bool on) { autoComplete_ = on; }
    // Clicking into the edit box opens the drop-down.
    bool AutoDropDown() const { return autoDropDown_; }
    void SetAutoDropDown(bool on) { autoDropDown_ = on; }

    // Height of an item without pictures; follows the font until set.
    int ItemHeight() const;
    void SetItemHeight(int pixels);
    // What an item takes: picture height + Space with pictures, else ItemHeight.
    int requestedItemHeight() const;

    const QString& Text() const { return text_; }
    void SetText(const QString& text);

    // The overlaid edit box while editable, else null.
    QLineEdit* editBox() const { return editBox_; }
    // Where the edit box belongs, in the control's coordinates.
    QRect editBoxRect() const;

    // The first item whose leading characters equal the typed text, case
    // ignored; -1 for none or for empty text.
    int completionFor(const QString& typed) const;

    // Item drawing, shared by the drop-down list and the closed control.
    QPoint imagePosition(const QRect& item) const;
    QRect textRect(const QRect& item) const;
    void drawItem(QPainter& painter, const QRect& item, int index, bool selected) const;
    // One item drawn alone, width × requestedItemHeight.
    QImage renderItem(int index, bool selected, int width) const;

    void showPopup() override;
    void hidePopup() override;

signals:
    // After the selection changed and Text followed it.
    void Change();
    // The edit box gained or lost the focus.
    void Enter();
    void Exit();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ItemDelegate;

    void selectionChanged();
    void editEdited(const QString& text);
    // Returns true when the key was consumed.
    bool editKeyDown(int key);
    void placeEditBox();
    void setEditText(const QString& text);
    void refresh();

    QList<QPixmap> images_;
    QVector<int> imageIndexes_;
    int pendingImage_ = -1;  // for the item add() is inserting
    int space_ = 0;
    QPixmap background_;
    QPixmap backgroundSelected_;
    QColor colorSelected_;       // invalid: the palette's highlight
    std::optional<QFont> fontSelected_;
    QColor fontSelectedColor_;   // invalid: the palette's highlighted text
    bool movableItems_ = false;
    bool autoComplete_ = true;
    bool autoDropDown_ = false;
    int itemHeight_ = 0;         // 0: from the font
    QString text_;

    QPointer<QLineEdit> editBox_;
    Qt::FocusPolicy focusPolicyBeforeEdit_ = Qt::StrongFocus;
    bool typedChar_ = false;
    bool changing_ = false;
    bool arrowCursorShown_ = false;
};

}  // namespace trelvo
