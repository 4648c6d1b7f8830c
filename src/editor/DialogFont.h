#pragma once
// The font of the editor's windows: their controls are placed for a small,
// narrow dialog font, so the captions get one that fits them.
#include <QFont>

namespace torv {

QFont dialogFont(QFont base);

} // namespace torv
