#pragma once
// The settings editor "Launcher Config": the options, the two times, the
// pickers, the task list with each task's checks and the three ways of
// closing. It works directly on the console's state; only a save writes
// config.ini and torv.ini.
#include "core/ConsoleActions.h"
#include "core/ConsoleState.h"
#include "core/Ports.h"

#include "editor/FixedDialog.h"

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace torv {

struct EditorValues;

class Config : public FixedDialog {
    Q_OBJECT
public:
    // Builds the window and loads it from the console's state (Form_Load).
    Config(ConsoleState& state, ConsoleActions& console, const Ports& ports, QWidget* parent = nullptr);

    // Handlers; each also runs when code changes the control's value.
    void Form_Load();
    void VScroll1_Change();
    void txtDesc_Change();
    void txtLoc_Change();
    void cmdInsert_Click();
    void cmdDelete_Click();
    void cmdSeqLoc_Click();
    void cmdChecks_Click();
    void chkSound_Click();
    void chkComments_Click();
    void txtExecStart_Change();
    void txtExec_Change();
    void cmdLaunch_Click();
    void cmdRemote_Click();
    void cmdEdit_Click();
    void cmdOk_Click();
    void Command2_Click();
    void cmdCancel_Click();
    // "&IP Options": the IP Options window, modal, over the editor.
    void Command1_Click();

    // The slot now shown.
    int CurrentTask() const { return CurrentTask_; }
    // The eight values a save writes, as the controls hold them.
    EditorValues values() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildOptions();
    void buildTaskArea();
    void buildButtons();
    void connectHandlers();
    // Refuses a time outside 1..60 with the message, then puts "1" in the box.
    void checkTime(QLineEdit* box);
    void showChecksButton();

    ConsoleState& state_;
    ConsoleActions& console_;
    const Ports& ports_;
    // No readiness check starts a try while the editor is open, as the
    // console's tick that the checks' time limits count stands still.
    struct HoldTries {
        ReadinessProbe& probe;
        explicit HoldTries(ReadinessProbe& p) : probe(p) { probe.holdTries(true); }
        ~HoldTries() { probe.holdTries(false); }
        HoldTries(const HoldTries&) = delete;
        HoldTries& operator=(const HoldTries&) = delete;
    } holdTries_{ports_.probe};
    int CurrentTask_ = 1;

    QRadioButton* optExit_;
    QRadioButton* optMin_;
    QRadioButton* optNorm_;
    QCheckBox* chkRemote_;
    QLineEdit* txtExecStart_;
    QLineEdit* txtExec_;
    QPushButton* chkSound_;
    QPushButton* chkComments_;
    QPushButton* cmdEdit_;
    QLineEdit* txtRemote_;
    QPushButton* cmdRemote_;
    QLineEdit* txtLaunch_;
    QPushButton* cmdLaunch_;

    QLabel* lbltasknum_;
    QScrollBar* VScroll1_;
    QLineEdit* txtDesc_;
    QLineEdit* txtLoc_;
    QPushButton* cmdSeqLoc_;
    QPushButton* cmdChecks_;
    QPushButton* cmdDelete_;
    QPushButton* cmdInsert_;
    QLabel* LblSaved_;

    QPushButton* Command1_;
    QPushButton* Command2_;
    QPushButton* cmdOk_;
    QPushButton* cmdCancel_;
};

} // namespace torv
