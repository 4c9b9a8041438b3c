// trelvo-gallery: every control of the program's own set in one window, with
// sample pictures, to see and try them.
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTimer>

#include "gui/controls/CASShape.h"
#include "gui/controls/ProgramFrame.h"
#include "gui/controls/TAnimShape.h"
#include "gui/controls/TWComboBox.h"
#include "gui/controls/TWhintik.h"
#include "gui/controls/TXButton.h"
#include "gui/controls/TXLabel.h"
#include "gui/controls/WCwindow.h"
#include "gui/controls/WForm.h"

using namespace trelvo;

namespace {

// A button face: a rounded plate in the given colour with a signal lamp.
QImage buttonFace(QColor plate, QColor lamp) {
    QImage image(64, 28, QImage::Format_RGB32);
    image.fill(QColor(0xf0, 0xf0, 0xf0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(plate);
    p.setPen(plate.darker(150));
    p.drawRoundedRect(QRectF(1.5, 1.5, 61, 25), 6, 6);
    p.setBrush(lamp);
    p.drawEllipse(QPointF(14, 14), 6, 6);
    p.setPen(Qt::white);
    p.drawText(QRect(24, 0, 38, 28), Qt::AlignCenter, QStringLiteral("OK"));
    return image;
}

QImage picture(const QString& svg, QSize size, QColor background) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter p(&image);
    QSvgRenderer(svg).render(&p);
    return image;
}

QPixmap flag(QColor top, QColor bottom) {
    QPixmap pixmap(20, 12);
    QPainter p(&pixmap);
    p.fillRect(0, 0, 20, 6, top);
    p.fillRect(0, 6, 20, 6, bottom);
    return pixmap;
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Trelvo – ovládací prvky"));
    window.resize(640, 420);
    putFrame(&window, {QStringLiteral("Trelvo – ovládací prvky"), 14645570, 4456448, true, true, {}});
    auto* grid = new QGridLayout(&window);
    grid->setContentsMargins(12, frameTop + 8, 12, 12);
    grid->setHorizontalSpacing(18);

    // Bitmap buttons: an ordinary one and one that stays pushed (Switch).
    grid->addWidget(heading(QStringLiteral("Tlačítka s obrázky"), &window), 0, 0);
    auto* buttons = new QWidget(&window);
    auto* plain = new TXButton(buttons);
    plain->SetBitmap(buttonFace(QColor(0x30, 0x50, 0x7f), QColor(0x60, 0x60, 0x60)));
    plain->SetBitmapEnter(buttonFace(QColor(0x40, 0x68, 0xa0), QColor(0x2e, 0x8b, 0x57)));
    plain->SetBitmapClick(buttonFace(QColor(0x20, 0x38, 0x58), QColor(0x2e, 0xc0, 0x57)));
    auto* toggle = new TXButton(buttons);
    toggle->SetBitmap(buttonFace(QColor(0x70, 0x70, 0x70), QColor(0xc8, 0x30, 0x2a)));
    toggle->SetBitmapClick(buttonFace(QColor(0x2f, 0x3e, 0x4e), QColor(0x2e, 0xc0, 0x57)));
    toggle->SetSwitch(true);
    toggle->move(76, 0);
    buttons->setMinimumSize(150, 30);
    grid->addWidget(buttons, 1, 0);

    // A picture window and a window that is moved by its top band.
    grid->addWidget(heading(QStringLiteral("Okno s obrázkem"), &window), 2, 0);
    auto* pictureWindow = new WForm(&window);
    pictureWindow->SetBitmap(picture(QStringLiteral(":/icons/watermark.svg"), QSize(104, 94), Qt::white));
    pictureWindow->setFixedSize(104, 94);
    grid->addWidget(pictureWindow, 3, 0, Qt::AlignLeft | Qt::AlignTop);
    auto* openCaption = new QPushButton(QStringLiteral("Okno bez rámu…"), &window);
    grid->addWidget(openCaption, 4, 0);
    QObject::connect(openCaption, &QPushButton::clicked, [&window] {
        auto* owner = new QWidget(&window, Qt::Window);
        owner->setAttribute(Qt::WA_DeleteOnClose);
        owner->resize(220, 90);
        auto* caption = new WCwindow(owner);
        caption->SetCaption(QStringLiteral("Táhněte za horní okraj"));
        caption->SetFCB(true);
        auto* hint = new QLabel(QStringLiteral("Okno se posouvá horními 18 body\na zavírá vpravo nahoře."), owner);
        hint->move(12, 30);
        owner->show();
    });

    // The image combo box, editable with completion.
    grid->addWidget(heading(QStringLiteral("Seznam s obrázky"), &window), 0, 1);
    auto* combo = new TWComboBox(&window);
    combo->SetImages({flag(Qt::white, QColor(0xd7, 0x14, 0x1a)), flag(QColor(0x1f, 0x3f, 0x8f), Qt::red),
                      flag(Qt::white, QColor(0x00, 0x39, 0xa6))});
    combo->add(QStringLiteral("Čeština"), 0);
    combo->add(QStringLiteral("Angličtina"), 1);
    combo->add(QStringLiteral("Ruština"), 2);
    combo->SetEditable(true);
    combo->setCurrentIndex(0);
    grid->addWidget(combo, 1, 1);

    // Shadowed labels, straight and turned.
    grid->addWidget(heading(QStringLiteral("Popisky se stínem"), &window), 2, 1);
    auto* labels = new QWidget(&window);
    labels->setAutoFillBackground(true);
    QPalette dark = labels->palette();
    dark.setColor(QPalette::Window, QColor(0x1d, 0x2b, 0x44));
    labels->setPalette(dark);
    labels->setMinimumSize(220, 100);
    const int rotations[] = {TXLabel::noRotation, TXLabel::rotateLeft, TXLabel::rotateRight, TXLabel::rotateHalf};
    for (int i = 0; i < 4; ++i) {
        auto* label = new TXLabel(labels);
        label->SetCaption(i == 0 ? QStringLiteral("Návěstidlo") : QStringLiteral("Výhybka"));
        label->SetFontColorRef(11518428);
        label->SetFont2ColorRef(6324417);
        label->SetShadowText(true);
        label->SetOfsX(-1);
        label->SetRotation(rotations[i]);
        label->move(i == 0 ? 10 : 70 + (i - 1) * 40, i == 0 ? 40 : 10);
        label->Loaded();
    }
    grid->addWidget(labels, 3, 1);

    // The cross-fade between two pictures.
    grid->addWidget(heading(QStringLiteral("Prolínání"), &window), 0, 2);
    auto* fade = new TAnimShape(&window);
    fade->setFixedSize(104, 94);
    static const QImage first = picture(QStringLiteral(":/icons/watermark.svg"), QSize(104, 94), Qt::white);
    static const QImage second = picture(QStringLiteral(":/icons/banner.svg"), QSize(104, 94), QColor(0xe0, 0xe8, 0xf0));
    fade->blendSource = &first;
    fade->copybmp();
    fade->SetInterval(60);
    grid->addWidget(fade, 1, 2, 3, 1, Qt::AlignLeft | Qt::AlignTop);
    auto* start = new QPushButton(QStringLiteral("Prolnout"), &window);
    grid->addWidget(start, 4, 2);
    QObject::connect(start, &QPushButton::clicked, [fade] {
        fade->blendSource = fade->blendSource == &first ? &second : &first;
        fade->SetAnimate(true);
    });

    // The hint window over the whole gallery.
    auto* hint = new TWhintik(&window);
    hint->Settv(3000);
    hint->Settbv(300);
    auto* hover = new QPushButton(QStringLiteral("Nápověda po najetí"), &window);
    grid->addWidget(hover, 4, 1);
    QObject::connect(hover, &QPushButton::clicked, [hint, hover] {
        QPoint at = hover->mapToGlobal(QPoint(0, hover->height() + 4));
        hint->show(QStringLiteral("Okno nápovědy ukazuje celý text buňky, která se do sloupce nevejde."), at.x(),
                   at.y(), 1);
    });

    window.show();
    return QApplication::exec();
}
