#include "TForm3.h"

#include <QDesktopServices>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QUrl>
#include <string>

#include "FrameColours.h"
#include "UiText.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryHeader.h"
#include "core/settings/ProgramPaths.h"
#include "gui/controls/ProgramFrame.h"
#include "gui/controls/TXLabel.h"

namespace trelvo {

namespace {

constexpr std::uint32_t titleColor = 8757449, titleShadow = 3691922;
constexpr std::uint32_t valueColor = 11518428, valueShadow = 6324417;
constexpr std::uint32_t linkColor = 16767449, linkShadow = 9650487, linkPressed = 0x0000FF;

}  // namespace

TForm3::TForm3(const std::string& programDir, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("O programu"));
    setFixedSize(354, 170);

    // A dark signal-box blue with the grid's watermark faintly over it.
    background_ = QImage(width(), height() - frameTop, QImage::Format_RGB32);
    QPainter painter(&background_);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(0x1d, 0x2b, 0x44));
    gradient.setColorAt(1, QColor(0x30, 0x4c, 0x72));
    painter.fillRect(background_.rect(), gradient);
    painter.setOpacity(0.12);
    QSvgRenderer(QStringLiteral(":/icons/watermark.svg")).render(&painter, QRectF(190, 0, 166, 150));
    painter.end();

    QFont font = this->font();
    font.setPixelSize(11);
    auto label = [&](const QString& text, int x, int y, std::uint32_t color, std::uint32_t shadow, bool underline) {
        auto* l = new TXLabel(this);
        QFont f = font;
        f.setUnderline(underline);
        l->SetFont(f);
        l->SetFont2(f);
        l->SetFontColorRef(color);
        l->SetFont2ColorRef(shadow);
        l->SetShadowText(true);
        l->SetOfsX(-1);
        l->SetCaption(text);
        l->move(x, frameTop + y);
        l->Loaded();
        return l;
    };
    label(QStringLiteral("Trelvo – terminologický slovník zabezpečovací techniky"), 10, 4, titleColor, titleShadow, true);
    label(QStringLiteral("Vyvinuto ve společnosti Zorvat pro železniční techniky."), 10, 18, titleColor, titleShadow,
          false);
    label(QStringLiteral("Aktivní slovník"), 10, 38, titleColor, titleShadow, true);
    const QString names[] = {QStringLiteral("Název: "), QStringLiteral("Autor: "), QStringLiteral("Záznamů: "),
                             QStringLiteral("Verze: "), QStringLiteral("Poznámka: ")};
    for (int i = 0; i < 5; ++i) {
        label(names[i], 10, 54 + i * 14, titleColor, titleShadow, false);
        values[static_cast<std::size_t>(i)] = label(QString(), 76, 54 + i * 14, valueColor, valueShadow, false);
    }
    programVersion = label(QStringLiteral("Verze programu: ") + QStringLiteral(TRELVO_VERSION), 10, 148, titleColor,
                           titleShadow, false);
    helpLink = label(QStringLiteral("Nápověda"), 10, 130, linkColor, linkShadow, true);
    helpLink->SetOfsX(0);
    helpLink->setCursor(Qt::PointingHandCursor);
    connect(helpLink, &TXLabel::MouseDown, this, [this] { helpLink->SetFontColorRef(linkPressed); });
    connect(helpLink, &TXLabel::MouseUp, this, [this] { helpLink->SetFontColorRef(linkColor); });
    connect(helpLink, &TXLabel::Click, this, [this] {
        if (openHelp) openHelp();
    });
    openHelp = [programDir] {
        QUrl help = QUrl::fromLocalFile(QString::fromStdString(joinPath(programDir, "trelvo.html")));
        help.setFragment(QStringLiteral("Slovník"));
        QDesktopServices::openUrl(help);
    };

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(width() - 84, height() - 30, 74, 22);
    putFrame(this, {QStringLiteral("Informace o programu"), captionBronze, captionBlack, false, false,
                    QStringLiteral("Umožňovat vkládání nových záznamů")});
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm3::showDictionary(const DictionaryHeader* header, std::size_t entryCount) {
    values[name]->SetCaption(header ? uiText(header->name) : QString());
    values[author]->SetCaption(header ? uiText(header->author) : QString());
    values[entries]->SetCaption(header ? QString::number(entryCount) : QString());
    values[version]->SetCaption(header ? uiText(header->version) : QString());
    values[note]->SetCaption(header ? uiText(header->note) : QString());
}

void TForm3::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, frameTop, background_);
}

}  // namespace trelvo
