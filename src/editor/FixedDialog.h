#pragma once
// The editor's windows (the settings editor and the folder browser): a fixed
// size in twips, a title bar with a close button only, the dialog font, and
// the icon of the window that opened them.
#include <QDialog>

namespace torv {

class FixedDialog : public QDialog {
protected:
    FixedDialog(QWidget* parent, const char* name, const char* title, int widthTwips, int heightTwips);
    // The owner's icon, or the program's when there is no owner.
    void takeOwnersIcon();
};

} // namespace torv
