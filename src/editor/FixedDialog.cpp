#include "editor/FixedDialog.h"

#include "editor/DialogFont.h"
#include "platform/qt/Layout.h"

#include <QGuiApplication>

namespace torv {

FixedDialog::FixedDialog(QWidget* parent, const char* name, const char* title, int widthTwips, int heightTwips)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(name);
    setWindowTitle(title);
    setFixedSize(px(widthTwips), px(heightTwips));
    setFont(dialogFont(font()));
}

void FixedDialog::takeOwnersIcon()
{
    const QWidget* owner = parentWidget();
    setWindowIcon(owner ? owner->windowIcon() : QGuiApplication::windowIcon());
}

} // namespace torv
