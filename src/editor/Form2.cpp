#include "editor/Form2.h"

#include "base/Failure.h"
#include "base/Number.h"
#include "core/ConsolePaths.h"
#include "editor/EditorRules.h"
#include "platform/qt/Layout.h"
#include "settings/OptionsRules.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <limits>

namespace torv {

namespace {

QString fromStd(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Blanks at either end cannot stand in torv.ini and mean nothing here.
std::string trimmed(const QLineEdit* box)
{
    return box->text().trimmed().toUtf8().toStdString();
}

void label(QWidget* parent, const char* caption, int l, int t, int w, int h)
{
    auto* text = new QLabel(caption, parent);
    text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    place(text, l, t, w, h);
}

QLineEdit* textBox(QWidget* parent, const char* name, int l, int t, int w, int h)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setMaxLength(std::numeric_limits<int>::max());
    place(box, l, t, w, h);
    return box;
}

} // namespace

Form2::Form2(ConsoleState& state, const Ports& ports, QWidget* parent)
    : FixedDialog(parent, "Form2", "IP Options", 5010, 3585), state_(state), ports_(ports)
{
    label(this, "Web Address Reflecting External IP:", 120, 120, 4695, 255);
    txtUrl_ = textBox(this, "txtUrl", 120, 375, 4755, 315);
    label(this, "Monitor for Chnges Every:", 120, 840, 2175, 255);
    txtEvery_ = textBox(this, "txtEvery", 2340, 810, 615, 315);
    label(this, "Minutes", 3015, 840, 975, 255);
    label(this, "Launch this Program if it Changes:", 120, 1260, 4695, 255);
    txtLaunch_ = textBox(this, "txtLaunch", 120, 1515, 4335, 315);
    cmdLaunch_ = makeButton(this, "cmdLaunch", "...", 4500, 1515, 375, 315, true);
    label(this, "Write the IP Address to TextFile:", 120, 1935, 4695, 255);
    txtFile_ = textBox(this, "txtFile", 120, 2190, 4335, 315);
    cmdFile_ = makeButton(this, "cmdFile", "...", 4500, 2190, 375, 315, true);
    chkAlarm_ = new QCheckBox("Sound Alarm when IP Changes", this);
    chkAlarm_->setObjectName("chkAlarm");
    place(chkAlarm_, 120, 2640, 3135, 315);
    cmdOk_ = makeButton(this, "cmdOk", "&Ok", 3135, 3090, 795, 375);
    cmdCancel_ = makeButton(this, "cmdCancel", "&Cancel", 4050, 3090, 825, 375);

    takeOwnersIcon();
    OptionsFile file = readOptions(optionsPath(ports_.program), knownOptionsRules());
    load(readIpOptions(file));

    connect(txtEvery_, &QLineEdit::textChanged, this, [this] { txtEvery_Change(); });
    connect(cmdLaunch_, &QPushButton::clicked, this, [this] { cmdLaunch_Click(); });
    connect(cmdFile_, &QPushButton::clicked, this, [this] { cmdFile_Click(); });
    connect(cmdOk_, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdCancel_, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void Form2::load(const IpOptions& o)
{
    txtUrl_->setText(fromStd(o.url));
    txtEvery_->setText(QString::number(o.everyMinutes));
    txtLaunch_->setText(fromStd(o.launch));
    txtFile_->setText(fromStd(o.writeTo));
    chkAlarm_->setChecked(o.alarm);
    family_ = o.family;
}

void Form2::txtEvery_Change()
{
    // As the editor's times: a refused number is said and replaced by 1.
    if (ipMinutesAccepted(txtEvery_->text().toUtf8().toStdString()))
        return;
    ports_.dialogs.messageBox(kIpMinutesRangeMessage, true);
    txtEvery_->setText("1");
}

std::string Form2::pick(const OpenFileRequest& request)
{
    try {
        return ports_.dialogs.openFile(request);
    } catch (const std::exception&) {
        return {}; // a failed pick changes nothing and says nothing
    }
}

void Form2::cmdLaunch_Click()
{
    const std::string path = pick(programFileRequest(ports_.program));
    if (path.empty())
        return;
    const auto command = commandLineForPath(path);
    if (!command) {
        ports_.dialogs.messageBox(kUnquotablePathMessage);
        return;
    }
    // Typed into afterwards, it takes the program's arguments.
    txtLaunch_->setText(fromStd(*command));
}

void Form2::cmdFile_Click()
{
    OpenFileRequest request;
    request.title = "Open";
    request.filters = {"Text Files (*.txt)", "All Files (*)"};
    const std::string path = pick(request);
    if (!path.empty())
        txtFile_->setText(fromStd(path));
}

IpOptions Form2::values() const
{
    IpOptions o;
    o.url = trimmed(txtUrl_);
    o.everyMinutes = static_cast<int>(std::lround(leadingNumber(trimmed(txtEvery_))));
    if (o.everyMinutes < 1 || o.everyMinutes > kIpMaxMinutes)
        o.everyMinutes = kIpDefaultMinutes;
    o.launch = trimmed(txtLaunch_);
    o.writeTo = trimmed(txtFile_);
    o.alarm = chkAlarm_->isChecked();
    o.family = family_;
    return o;
}

void Form2::cmdOk_Click()
{
    const IpOptions o = values();
    try {
        saveOptions(optionsPath(ports_.program), isIpSection, ipSectionTexts(o));
    } catch (const Failure& failure) {
        // The window stays open with the values, so nothing typed is lost.
        ports_.dialogs.messageBox(failure.message());
        return;
    }
    state_.ip = o;
    accept();
}

void Form2::cmdCancel_Click()
{
    reject();
}

} // namespace torv
