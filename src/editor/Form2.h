#pragma once
// "IP Options": the external address watcher's values, kept in torv.ini's
// [ip] section. Its Ok saves the section at once (the editor's own Cancel
// does not undo that) and hands the values to the console; Cancel changes
// nothing.
#include "core/ConsoleState.h"
#include "core/Ports.h"
#include "editor/FixedDialog.h"
#include "settings/IpOptions.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace torv {

class Form2 : public FixedDialog {
    Q_OBJECT
public:
    // Builds the window and loads it from torv.ini as it stands now.
    Form2(ConsoleState& state, const Ports& ports, QWidget* parent = nullptr);

    void txtEvery_Change();
    void cmdLaunch_Click();
    void cmdFile_Click();
    void cmdOk_Click();
    void cmdCancel_Click();

    // The values as the controls hold them.
    IpOptions values() const;

private:
    void load(const IpOptions& options);
    // A picked file, or nothing when the pick was cancelled or failed.
    std::string pick(const OpenFileRequest& request);

    ConsoleState& state_;
    const Ports& ports_;
    IpFamily family_ = IpFamily::IPv4; // not in the window: kept as the file has it

    QLineEdit* txtUrl_;
    QLineEdit* txtEvery_;
    QLineEdit* txtLaunch_;
    QPushButton* cmdLaunch_;
    QLineEdit* txtFile_;
    QPushButton* cmdFile_;
    QCheckBox* chkAlarm_;
    QPushButton* cmdOk_;
    QPushButton* cmdCancel_;
};

} // namespace torv
