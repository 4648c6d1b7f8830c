#include "editor/ChecksDialog.h"

#include "editor/CheckForm.h"
#include "platform/qt/Layout.h"

#include <algorithm>
#include <limits>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace torv {

namespace {

QString fromStd(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string toStd(const QString& s)
{
    return s.toUtf8().toStdString();
}

void makeLabel(QWidget* parent, const QString& caption, int l, int t, int w, int h)
{
    place(new QLabel(caption, parent), l, t, w, h);
}

QPlainTextEdit* makeListBox(QWidget* parent, const char* name, const char* example, int top)
{
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    box->setPlaceholderText(example);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setTabChangesFocus(true);
    place(box, 120, top, 5520, 795);
    return box;
}

QLineEdit* makeTextBox(QWidget* parent, const char* name, int l, int t, int w)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setMaxLength(std::numeric_limits<int>::max());
    place(box, l, t, w, 315);
    return box;
}

} // namespace

ChecksDialog::ChecksDialog(ConsoleState& state, Dialogs& dialogs, int slot, QWidget* parent)
    : FixedDialog(parent, "Checks", "", 5760, 6900), state_(state), dialogs_(dialogs), slot_(slot)
{
    setWindowTitle("Checks For Task " + QString::number(slot));
    takeOwnersIcon();
    makeLabel(this, "tcp:HOST:PORT  http(s)://...  path:PATH  process:NAME  command:LINE", 120, 120, 5520, 255);
    makeLabel(this, "Before The Launch (one check a line, all must hold):", 120, 420, 5520, 255);
    txtBefore_ = makeListBox(this, "txtBefore", "path:/mnt/backup", 660);
    makeLabel(this, "Ready After The Launch:", 120, 1560, 5520, 255);
    txtReady_ = makeListBox(this, "txtReady", "tcp:127.0.0.1:5432", 1800);

    makeLabel(this, "Time Limit:", 120, 2760, 1155, 255);
    txtTimeout_ = makeTextBox(this, "txtTimeout", 1320, 2700, 735);
    makeLabel(this, "Sec (0: No Limit)", 2160, 2760, 2400, 255);
    makeLabel(this, "On Time-Out:", 120, 3180, 1155, 255);
    cboOnTimeout_ = new QComboBox(this);
    cboOnTimeout_->setObjectName("cboOnTimeout");
    // In the order of OnTimeout, as torv.ini spells them.
    cboOnTimeout_->addItems({"continue", "skip", "stop"});
    place(cboOnTimeout_, 1320, 3120, 1455, 315);
    makeLabel(this, "CA File:", 120, 3600, 1155, 255);
    txtCaFile_ = makeTextBox(this, "txtCaFile", 1320, 3540, 4320);

    makeLabel(this, "Check Every:", 120, 4020, 1155, 255);
    txtInterval_ = makeTextBox(this, "txtInterval", 1320, 3960, 735);
    makeLabel(this, "Sec (Empty: Each Kind's Own Pace)", 2160, 4020, 3480, 255);

    // Keeping the program running: two columns of caption, box and unit.
    makeLabel(this, "When The Program Ends Or The Console Ends:", 120, 4440, 5520, 255);
    auto makeChoice = [this](const char* name, const QStringList& words, int l, int t) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        box->addItems(words);
        place(box, l, t, std::min(1455, 5640 - l), 315);
        return box;
    };
    makeLabel(this, "Restart:", 120, 4740, 1155, 255);
    // In the order of RestartPolicy and StopPolicy, as torv.ini spells them.
    cboRestart_ = makeChoice("cboRestart", {"no", "on-failure", "always"}, 1320, 4680);
    makeLabel(this, "Stop:", 3060, 4740, 1200, 255);
    cboStop_ = makeChoice("cboStop", {"no", "on-exit"}, 4305, 4680);
    static constexpr const char* kBoxNames[] = {"txtRestartDelay", "txtRestartMaxDelay", "txtRestartReset",
                                                "txtRestartLimit", "txtStopTimeout"};
    // Column, row and unit of each number, in the order of kKeepNumberKeys:
    // the restart's under it, the stop's under the stop.
    static constexpr struct {
        int column, row;
        const char* unit;
    } kSpots[] = {{0, 0, "Sec"}, {0, 1, "Sec"}, {0, 2, "Sec"}, {0, 3, "(0: Never)"}, {1, 0, "Sec"}};
    static constexpr struct {
        int caption, captionWidth, box, unit;
    } kColumns[] = {{120, 1155, 1320, 2000}, {3060, 1200, 4305, 4985}};
    for (std::size_t i = 0; i < keepNumbers_.size(); ++i) {
        const auto& column = kColumns[kSpots[i].column];
        const int top = 5100 + kSpots[i].row * 420;
        makeLabel(this, QString(kKeepNumberCaptions[i]) + ":", column.caption, top + 60, column.captionWidth, 255);
        keepNumbers_[i] = makeTextBox(this, kBoxNames[i], column.box, top, 615);
        makeLabel(this, kSpots[i].unit, column.unit, top + 60, 5640 - column.unit, 255);
    }

    QPushButton* ok = makeButton(this, "cmdOk", "&Ok", 3660, 6300, 930, 375);
    QPushButton* cancel = makeButton(this, "cmdCancel", "&Cancel", 4710, 6300, 930, 375);
    connect(ok, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });

    const auto found = state_.checks.find(slot_);
    const CheckFormText form = checkFormOf(found != state_.checks.end() ? found->second : TaskChecks{});
    txtBefore_->setPlainText(fromStd(form.before));
    txtReady_->setPlainText(fromStd(form.ready));
    txtTimeout_->setText(fromStd(form.timeout));
    cboOnTimeout_->setCurrentIndex(static_cast<int>(form.onTimeout));
    txtCaFile_->setText(fromStd(form.caFile));
    txtInterval_->setText(fromStd(form.interval));
    cboRestart_->setCurrentIndex(static_cast<int>(form.restart));
    cboStop_->setCurrentIndex(static_cast<int>(form.stop));
    for (std::size_t i = 0; i < keepNumbers_.size(); ++i)
        keepNumbers_[i]->setText(fromStd(form.keepNumbers[i]));

    if (parent)
        move(parent->geometry().center() - rect().center());
}

void ChecksDialog::cmdOk_Click()
{
    CheckFormText form;
    form.before = toStd(txtBefore_->toPlainText());
    form.ready = toStd(txtReady_->toPlainText());
    form.timeout = toStd(txtTimeout_->text());
    form.onTimeout = static_cast<OnTimeout>(cboOnTimeout_->currentIndex());
    form.caFile = toStd(txtCaFile_->text());
    form.interval = toStd(txtInterval_->text());
    form.restart = static_cast<RestartPolicy>(cboRestart_->currentIndex());
    form.stop = static_cast<StopPolicy>(cboStop_->currentIndex());
    for (std::size_t i = 0; i < keepNumbers_.size(); ++i)
        form.keepNumbers[i] = toStd(keepNumbers_[i]->text());
    auto read = readCheckForm(form);
    if (const auto* refused = std::get_if<std::string>(&read)) {
        dialogs_.messageBox(*refused);
        return;
    }
    auto& checks = std::get<TaskChecks>(read);
    if (checks.unused()) {
        // Nothing to wait for or keep running: the task is a classic one again.
        state_.checks.erase(slot_);
    } else {
        checks.location = state_.tasks.TaskLoc[slot_];
        state_.checks[slot_] = std::move(checks);
    }
    accept();
}

} // namespace torv
