#include "ProgramFrame.h"

#include <QFont>
#include <QPalette>
#include <QWidget>

#include "CASShape.h"
#include "ColorRef.h"

namespace trelvo {

CASShape* putFrame(QWidget* window, const FrameLook& look) {
    auto* frame = new CASShape(window);
    frame->SetFCol(window->palette().color(QPalette::Button));
    frame->SetFColA1(fromColorRef(look.activeColor1));
    frame->SetFColA2(fromColorRef(look.activeColor2));
    frame->SetFColN1(fromColorRef(11504242));
    frame->SetFColN2(fromColorRef(2236962));
    QFont font = window->font();
    font.setPixelSize(11);
    font.setBold(true);
    frame->SetFFont(font);
    frame->SetFontColor(Qt::white);
    frame->SetFCB(true);
    frame->SetFMinB(look.minimizeAndMaximize);
    frame->SetFMaxB(look.minimizeAndMaximize);
    frame->SetSizeable(look.sizeable);
    frame->SetFCaptionHeight(16);
    frame->SetFCaptionPosHeight(1);
    frame->SetCaption(look.caption);
    if (!look.hint.isEmpty()) frame->setToolTip(look.hint);
    return frame;
}

}  // namespace trelvo
