#include "editor/Config.h"

#include "base/Failure.h"
#include "base/NamedLaunch.h"
#include "core/ConsolePaths.h"
#include "editor/Cdlg.h"
#include "editor/ChecksDialog.h"
#include "editor/EditorRules.h"
#include "editor/EditorSave.h"
#include "editor/Form2.h"
#include "editor/TaskListEdit.h"
#include "platform/qt/Layout.h"

#include <limits>

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <type_traits>

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

// Stores a box's text into a value; a text that only reads the same (the
// value's bytes decode to it) keeps the bytes as they are.
void store(std::string& value, const QString& text)
{
    if (fromStd(value) != text)
        value = toStd(text);
}

// An option button or check box whose caption wraps within its width, beside
// an indicator centred vertically, and whose whole area takes the click.
template <class Button> class Wrapped : public Button {
public:
    Wrapped(const QString& text, QWidget* parent) : Button(text, parent) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        constexpr bool radio = std::is_same_v<Button, QRadioButton>;
        QStylePainter p(this);
        QStyleOptionButton opt;
        this->initStyleOption(&opt);
        const QString text = opt.text;
        opt.text.clear();
        p.drawControl(radio ? QStyle::CE_RadioButton : QStyle::CE_CheckBox, opt);
        QRect contents = this->style()->subElementRect(
            radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &opt, this);
        p.drawItemText(contents, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
                       this->palette(), this->isEnabled(), text, QPalette::WindowText);
    }
    bool hitButton(const QPoint& pos) const override { return this->rect().contains(pos); }
};

QLabel* makeLabel(QWidget* parent, const char* caption, int l, int t, int w, int h)
{
    auto* label = new QLabel(caption, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(label, l, t, w, h);
    return label;
}

QLineEdit* makeTextBox(QWidget* parent, const char* name, const char* text, int l, int t, int w, int h)
{
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(name);
    // A line edit keeps 32767 characters unless told otherwise; showing a
    // longer value would cut it and store the cut text back.
    box->setMaxLength(std::numeric_limits<int>::max());
    place(box, l, t, w, h);
    return box;
}

// A box filled only by its picker: disabled, so nothing can be typed into it,
// but its text keeps the ordinary text colour instead of the style's light
// grey on grey, so that the path it shows can be read.
void untypeableButReadable(QLineEdit* box)
{
    box->setEnabled(false);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::Text));
    box->setPalette(palette);
}

QFont boldFont(QFont f, int pointSize = 0)
{
    f.setBold(true);
    if (pointSize > 0)
        f.setPointSize(pointSize);
    return f;
}

} // namespace

Config::Config(ConsoleState& state, ConsoleActions& console, const Ports& ports, QWidget* parent)
    : FixedDialog(parent, "Config", "Launcher Config", 4515, 6675), state_(state), console_(console), ports_(ports)
{
    buildOptions();
    buildTaskArea();
    buildButtons();
    // Handlers run for every later change, those of Form_Load included.
    connectHandlers();
    Form_Load();
}

void Config::buildOptions()
{
    auto* Frame1 = new QGroupBox("Operational Options", this);
    Frame1->setObjectName("Frame1");
    place(Frame1, 60, 120, 1995, 2355);
    optExit_ = new Wrapped<QRadioButton>("Exit Program After Sequence", Frame1);
    optExit_->setObjectName("optExit");
    place(optExit_, 240, 240, 1455, 435);
    optMin_ = new Wrapped<QRadioButton>("Minimize Program After Sequence", Frame1);
    optMin_->setObjectName("optMin");
    place(optMin_, 240, 660, 1635, 615);
    optNorm_ = new Wrapped<QRadioButton>("Remain Normally After Sequence", Frame1);
    optNorm_->setObjectName("optNorm");
    place(optNorm_, 240, 1260, 1575, 495);
    optNorm_->setChecked(true);
    chkRemote_ = new Wrapped<QCheckBox>("Enable Remote Commands", Frame1);
    chkRemote_->setObjectName("chkRemote");
    place(chkRemote_, 240, 1800, 1695, 435);

    makeLabel(this, "Time Before Execution Starts", 2160, 180, 1455, 375);
    txtExecStart_ = makeTextBox(this, "txtExecStart", "30", 3660, 240, 435, 315);
    makeLabel(this, "Sec", 4140, 300, 675, 255);
    makeLabel(this, "Time Between Executions", 2160, 600, 1455, 375);
    txtExec_ = makeTextBox(this, "txtExec", "10", 3660, 660, 435, 315);
    makeLabel(this, "Sec", 4140, 780, 675, 255);

    chkSound_ = makeButton(this, "chkSound", "Sounds Off", 2160, 1140, 1215, 315);
    chkSound_->setCheckable(true);
    chkComments_ = makeButton(this, "chkComments", "Comments Off", 2160, 1620, 1215, 315);
    chkComments_->setCheckable(true);
    cmdEdit_ = makeButton(this, "cmdEdit", "&Edit", 3420, 1680, 555, 255);

    makeLabel(this, "Remote Command Folder:", 60, 2580, 1935, 255);
    txtRemote_ = makeTextBox(this, "txtRemote", "", 60, 2940, 3975, 315);
    untypeableButReadable(txtRemote_);
    cmdRemote_ = makeButton(this, "cmdRemote", "...", 4080, 2940, 375, 315, true);
    makeLabel(this, "Launch Button Executes:", 60, 3360, 1935, 255);
    txtLaunch_ = makeTextBox(this, "txtLaunch", "", 60, 3720, 3975, 315);
    untypeableButReadable(txtLaunch_);
    cmdLaunch_ = makeButton(this, "cmdLaunch", "...", 4080, 3720, 375, 315, true);
}

void Config::buildTaskArea()
{
    QLabel* heading = makeLabel(this, "Sequenced Tasks:", 60, 4200, 2655, 375);
    heading->setFont(boldFont(font(), 12));

    lbltasknum_ = new QLabel("00", this);
    lbltasknum_->setObjectName("lbltasknum");
    lbltasknum_->setFont(boldFont(font(), 12));
    lbltasknum_->setAlignment(Qt::AlignCenter);
    lbltasknum_->setFrameStyle(QFrame::Box | QFrame::Plain);
    place(lbltasknum_, 3660, 4320, 435, 375);
    cmdChecks_ = makeButton(this, "cmdChecks", "Checks\xE2\x80\xA6", 2700, 4365, 855, 285);

    VScroll1_ = new QScrollBar(Qt::Vertical, this);
    VScroll1_->setObjectName("VScroll1");
    VScroll1_->setRange(1, 100);
    VScroll1_->setSingleStep(1);
    VScroll1_->setPageStep(1);
    VScroll1_->setValue(1);
    // A drag counts when the thumb is released.
    VScroll1_->setTracking(false);
    place(VScroll1_, 4140, 4260, 255, 435);

    makeLabel(this, "Description:", 60, 4560, 1995, 255);
    txtDesc_ = makeTextBox(this, "txtDesc", "", 60, 4800, 3975, 315);
    makeLabel(this, "Location:", 60, 5160, 1995, 255);
    txtLoc_ = makeTextBox(this, "txtLoc", "", 60, 5400, 3975, 315);
    cmdSeqLoc_ = makeButton(this, "cmdSeqLoc", "...", 4080, 5400, 375, 315, true);
    cmdDelete_ = makeButton(this, "cmdDelete", "Delete Task", 180, 5820, 1215, 255);
    cmdInsert_ = makeButton(this, "cmdInsert", "Insert Task", 1500, 5820, 1215, 255);

    LblSaved_ = new QLabel("Saved", this);
    LblSaved_->setObjectName("LblSaved");
    LblSaved_->setFont(boldFont(font()));
    LblSaved_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    place(LblSaved_, 2880, 5775, 975, 315);
    LblSaved_->hide();
}

void Config::buildButtons()
{
    Command1_ = makeButton(this, "Command1", "&IP Options", 180, 6360, 1035, 255);
    Command2_ = makeButton(this, "Command2", "Ok+&Restart", 1380, 6375, 1095, 240);
    cmdOk_ = makeButton(this, "cmdOk", "&Ok", 2820, 6225, 735, 375);
    cmdCancel_ = makeButton(this, "cmdCancel", "&Cancel", 3720, 6240, 735, 375);
}

void Config::connectHandlers()
{
    // Qt's change signals fire for changes made by code too, and not for a
    // value set to what it already holds, which the handlers rely on.
    connect(VScroll1_, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });
    connect(txtDesc_, &QLineEdit::textChanged, this, [this] { txtDesc_Change(); });
    connect(txtLoc_, &QLineEdit::textChanged, this, [this] { txtLoc_Change(); });
    connect(txtExecStart_, &QLineEdit::textChanged, this, [this] { txtExecStart_Change(); });
    connect(txtExec_, &QLineEdit::textChanged, this, [this] { txtExec_Change(); });
    connect(chkSound_, &QPushButton::toggled, this, [this] { chkSound_Click(); });
    connect(chkComments_, &QPushButton::toggled, this, [this] { chkComments_Click(); });
    connect(cmdInsert_, &QPushButton::clicked, this, [this] { cmdInsert_Click(); });
    connect(cmdDelete_, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });
    connect(cmdSeqLoc_, &QPushButton::clicked, this, [this] { cmdSeqLoc_Click(); });
    connect(cmdChecks_, &QPushButton::clicked, this, [this] { cmdChecks_Click(); });
    connect(cmdLaunch_, &QPushButton::clicked, this, [this] { cmdLaunch_Click(); });
    connect(cmdRemote_, &QPushButton::clicked, this, [this] { cmdRemote_Click(); });
    connect(cmdEdit_, &QPushButton::clicked, this, [this] { cmdEdit_Click(); });
    connect(cmdOk_, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(Command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(cmdCancel_, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

void Config::Form_Load()
{
    takeOwnersIcon();
    QWidget* console = parentWidget();
    if (QScreen* screen = console ? console->screen() : QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move(s.left() + s.width() / 2 - width() / 2, s.top() + s.height() / 2 - height() / 2);
    }

    const SettingsRecord& s = state_.settings;
    if (s.LaunchOpt == "EXIT")
        optExit_->setChecked(true);
    if (s.LaunchOpt == "MIN")
        optMin_->setChecked(true);
    if (s.LaunchOpt == "NORM")
        optNorm_->setChecked(true);
    chkRemote_->setChecked(s.RemoteOpt == "REMOTEON");
    chkComments_->setChecked(s.UserComment == "COMMENTSON");
    txtExecStart_->setText(QString::number(s.InitTime));
    txtExec_->setText(QString::number(s.CheckTime));
    txtRemote_->setText(fromStd(s.ExchangeDir));
    txtLaunch_->setText(fromStd(s.UserCmd));
    chkSound_->setChecked(s.Sounds == "SOUNDON");

    // Slot 1; the selector may already stand at 1, so show it directly.
    CurrentTask_ = 1;
    VScroll1_->setValue(1);
    VScroll1_Change();
}

void Config::VScroll1_Change()
{
    const int n = VScroll1_->value();
    // First, so the change handlers below store into slot n.
    CurrentTask_ = n;
    lbltasknum_->setText(QString::number(n));
    txtDesc_->setText(fromStd(state_.tasks.TaskDesc[n]));
    txtLoc_->setText(fromStd(state_.tasks.TaskLoc[n]));
    LblSaved_->hide();
    showChecksButton();
}

void Config::showChecksButton()
{
    // Checks guard a program: a slot without one has nothing to guard.
    cmdChecks_->setEnabled(!state_.tasks.TaskLoc[CurrentTask_].empty());
}

void Config::txtDesc_Change()
{
    store(state_.tasks.TaskDesc[CurrentTask_], txtDesc_->text());
    LblSaved_->show();
}

void Config::txtLoc_Change()
{
    // A location edit leaves the marker alone.
    store(state_.tasks.TaskLoc[CurrentTask_], txtLoc_->text());
    showChecksButton();
}

void Config::cmdInsert_Click()
{
    if (!TaskListEdit(state_.tasks, &state_.checks).insertAt(CurrentTask_)) {
        ports_.dialogs.messageBox(kTaskListFullMessage);
        return;
    }
    ports_.events.processPending();
    txtDesc_->setText(QString());
    txtLoc_->setText(QString());
}

void Config::cmdDelete_Click()
{
    TaskListEdit(state_.tasks, &state_.checks).deleteAt(CurrentTask_);
    ports_.events.processPending();
    // Through 2 to 1, so slot 1 is always shown afresh.
    CurrentTask_ = 1;
    VScroll1_->setValue(2);
    VScroll1_->setValue(1);
}

void Config::cmdSeqLoc_Click()
{
    try {
        const std::string path = ports_.dialogs.openFile(programFileRequest(ports_.program));
        if (path.empty())
            return; // cancelled: nothing changes
        const auto command = commandLineForPath(path);
        if (!command) {
            ports_.dialogs.messageBox(kUnquotablePathMessage);
            return;
        }
        txtLoc_->setText(fromStd(*command));
    } catch (const std::exception&) {
        // A failed pick changes nothing and says nothing.
    }
}

void Config::cmdChecks_Click()
{
    ChecksDialog checks(state_, ports_.dialogs, CurrentTask_, this);
    checks.exec();
}

void Config::chkSound_Click()
{
    chkSound_->setText(chkSound_->isChecked() ? "Sounds On" : "Sounds Off");
}

void Config::chkComments_Click()
{
    chkComments_->setText(chkComments_->isChecked() ? "Comments On" : "Comments Off");
}

void Config::checkTime(QLineEdit* box)
{
    if (timeTextAccepted(toStd(box->text())))
        return;
    // OK and Cancel both only close the box.
    ports_.dialogs.messageBox(kTimeRangeMessage, true);
    box->setText("1");
}

void Config::txtExecStart_Change()
{
    checkTime(txtExecStart_);
}

void Config::txtExec_Change()
{
    checkTime(txtExec_);
    LblSaved_->show();
}

void Config::cmdLaunch_Click()
{
    try {
        const std::string path = ports_.dialogs.openFile(programFileRequest(ports_.program));
        if (path.empty())
            return;
        const auto command = commandLineForPath(path);
        if (!command) {
            ports_.dialogs.messageBox(kUnquotablePathMessage);
            return;
        }
        // The console's launch button uses it at once, saved or not.
        state_.settings.UserCmd = *command;
        txtLaunch_->setText(fromStd(*command));
    } catch (const std::exception&) {
        // A failed pick changes nothing and says nothing.
    }
}

void Config::cmdRemote_Click()
{
    {
        Cdlg browser(state_, ports_, this);
        browser.exec();
    }
    // The browser's Ok has already changed the console's folder.
    txtRemote_->setText(fromStd(state_.settings.ExchangeDir));
}

void Config::cmdEdit_Click()
{
    try {
        openInTextEditorNamed(ports_.launcher, commentsPath(ports_.program));
    } catch (const Failure& failure) {
        ports_.dialogs.messageBox(failure.message());
    }
}

EditorValues Config::values() const
{
    EditorValues v;
    v.LaunchOpt = optExit_->isChecked() ? "EXIT" : optMin_->isChecked() ? "MIN" : "NORM";
    v.ExchangeDir = state_.settings.ExchangeDir; // the console's, which the browser sets
    // The box shows the console's launch command; its bytes are kept as they are.
    v.UserCmd = state_.settings.UserCmd;
    store(v.UserCmd, txtLaunch_->text());
    v.InitTimeText = toStd(txtExecStart_->text());
    v.CheckTimeText = toStd(txtExec_->text());
    v.remoteOn = chkRemote_->isChecked();
    v.soundOn = chkSound_->isChecked();
    v.commentsOn = chkComments_->isChecked();
    return v;
}

void Config::cmdOk_Click()
{
    // A failed save leaves the window open.
    if (saveFromEditor(state_, console_, ports_, values()))
        accept();
}

void Config::Command2_Click()
{
    if (saveAndRestart(state_, console_, ports_, values()))
        accept();
}

void Config::cmdCancel_Click()
{
    reject();
    // On a first run the operator refused the settings: the program ends.
    cancelEditor(state_, console_);
}

void Config::Command1_Click()
{
    Form2 options(state_, ports_, this);
    options.exec();
}

void Config::keyPressEvent(QKeyEvent* event)
{
    // Escape is not bound to "&Cancel" and does not close the window.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace torv
