#pragma once

#include <QString>
#include <cstdint>

class QWidget;

namespace trelvo {

class CASShape;

// Puts the program's own frame and caption on a window, with the values all
// its windows share: button-face background, bold white 11-pixel caption
// font, a caption strip of 16 pixels and the grey inactive gradient.
struct FrameLook {
    QString caption;
    std::uint32_t activeColor1;        // 0x00BBGGRR, left end of the active gradient
    std::uint32_t activeColor2 = 4456448;
    bool minimizeAndMaximize = false;  // close only, when false
    bool sizeable = false;
    QString hint;
};

CASShape* putFrame(QWidget* window, const FrameLook& look);

// Room the frame takes at the window's top: its caption strip and lines.
constexpr int frameTop = 20;

}  // namespace trelvo
