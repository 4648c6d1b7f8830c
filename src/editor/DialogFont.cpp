#include "editor/DialogFont.h"

#include "platform/qt/Layout.h"

#include <QFontMetrics>

namespace torv {

QFont dialogFont(QFont base)
{
    // A narrow face where the system has one; then the largest size up to 8 pt
    // at which the longest one-line caption fits its label.
    base.setStretch(QFont::SemiCondensed);
    const QString longest = "Remote Command Folder:";
    for (int size = 8; size > 6; --size) {
        base.setPointSize(size);
        if (QFontMetrics(base).horizontalAdvance(longest) <= px(1935))
            break;
    }
    return base;
}

} // namespace torv
