#pragma once
// The folder browser "Browse Folder": a drive list (the mounted volumes) and a
// folder list that shows the path to the open folder and its subfolders. Its
// result is the folder the list is open at, never one merely highlighted.
#include "core/ConsoleState.h"
#include "core/Ports.h"

#include "editor/FixedDialog.h"

#include <QString>

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace torv {

class Cdlg : public FixedDialog {
    Q_OBJECT
public:
    // Builds the window and opens the folder list at the program's folder.
    // Its Ok sets the console's remote folder.
    Cdlg(ConsoleState& state, const Ports& ports, QWidget* parent = nullptr);

    void Form_Load();
    void Drive1_Change();
    void Command1_Click();
    void Command2_Click();

    // Opens a folder in the list. False, with the list as it was, when the
    // folder cannot be opened.
    bool openFolder(const QString& path);
    // The folder the list is open at.
    QString currentFolder() const { return current_; }

private:
    void fillList();
    void Dir1_Activated(QTreeWidgetItem* item);

    ConsoleState& state_;
    const Ports& ports_;
    QComboBox* Drive1_;
    QTreeWidget* Dir1_;
    QPushButton* Command1_;
    QPushButton* Command2_;
    QString current_;
    int lastDrive_ = -1; // the drive list's last choice that could be opened
};

} // namespace torv
