#pragma once

#include <QLocale>
#include <QString>
#include <string>
#include <string_view>

#include "core/dictionary/CodePage.h"

namespace trelvo {

// Texts cross between the 8-bit bytes of a code page and the widgets here;
// the header texts and notes use the code page of the program's Czech texts.
inline QString uiText(std::string_view bytes, int codePage = CodePage::headerCodePage) {
    std::u16string text = CodePage::toUnicode(bytes, codePage);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string uiBytes(const QString& text, int codePage = CodePage::headerCodePage) {
    std::u16string unicode(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
    return CodePage::fromUnicode(unicode, codePage);
}

// A tooltip shows a text that looks like HTML as rich text; this one shows
// any text as it is.
inline QString plainToolTip(const QString& text) {
    return text.isEmpty() ? text : QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

// "1 záznam", "3 záznamy", "1 234 záznamů".
inline QString entryCountText(std::size_t entries) {
    const QString count = QLocale(QLocale::Czech).toString(static_cast<qulonglong>(entries));
    const char* noun = entries == 1 ? "záznam" : entries >= 2 && entries <= 4 ? "záznamy" : "záznamů";
    return count + QLatin1Char(' ') + QString::fromUtf8(noun);
}

}  // namespace trelvo
