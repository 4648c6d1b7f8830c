#pragma once
// "Checks For Task N": a shown task's readiness checks, the `before` and the
// `ready` list one check a line, the time limit, what a time-out does, a CA
// file for https and the pause between tries; then whether the task's
// program is restarted and stopped, with the delays, limit and time-out.
// Its Ok refuses a line that is not a check or a number out of its range
// (the message names it) and otherwise puts the checks into the console's
// table beside the task, as the editor's other task edits go; its Cancel
// changes nothing.
#include "core/ConsoleState.h"
#include "ports/Dialogs.h"

#include "editor/FixedDialog.h"
#include "settings/TaskChecks.h"

#include <array>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace torv {

class ChecksDialog : public FixedDialog {
    Q_OBJECT
public:
    ChecksDialog(ConsoleState& state, Dialogs& dialogs, int slot, QWidget* parent = nullptr);

    void cmdOk_Click();

private:
    ConsoleState& state_;
    Dialogs& dialogs_;
    int slot_;
    QPlainTextEdit* txtBefore_;
    QPlainTextEdit* txtReady_;
    QLineEdit* txtTimeout_;
    QComboBox* cboOnTimeout_;
    QLineEdit* txtCaFile_;
    QLineEdit* txtInterval_;
    QComboBox* cboRestart_;
    QComboBox* cboStop_;
    std::array<QLineEdit*, std::size(kKeepNumberKeys)> keepNumbers_; // in the order of kKeepNumberKeys
};

} // namespace torv
