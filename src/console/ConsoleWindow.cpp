#include "console/ConsoleWindow.h"

#include "console/Form1.h"
#include "cpumon/Scope.h"
#include "platform/qt/Layout.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>

namespace torv {

namespace {

QString fromLog(const std::string& text)
{
    // The log's lines end in CR LF; the text box wants plain line feeds.
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace("\r\n", "\n");
    s.replace('\r', '\n');
    return s;
}

} // namespace

ConsoleWindow::ConsoleWindow()
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint)
{
    setObjectName("Form1");
    setFixedSize(px(6615), px(7110));
    setWindowIcon(programIcon());

    label1_ = new QLabel(kIdleStatus, this);
    label1_->setObjectName("Label1");
    QFont bold = label1_->font();
    bold.setBold(true);
    label1_->setFont(bold);
    place(label1_, 120, 45, 6135, 330);

    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName("Text1");
    text1_->setReadOnly(true);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text1_->setFont(bold);
    text1_->setStyleSheet("QPlainTextEdit { background-color: rgb(64,64,64); color: rgb(255,255,0); }");
    place(text1_, 120, 480, 6195, 5535);

    auto* label2 = new QLabel(this);
    label2->setObjectName("Label2");
    label2->setAutoFillBackground(true);
    label2->setStyleSheet("QLabel { background-color: rgb(128,128,128); }");
    place(label2, 120, 6120, 1695, 855);

    makeButton(Control::cmdEdit, 240, 6225, "E", "Edit Config File Manually");
    makeButton(Control::cmdRestart, 600, 6240, "R", "Restart Program");
    makeButton(Control::cmdClear, 960, 6240, "S", "Clear Screen/Log");
    makeButton(Control::cmdTray, 1320, 6240, "_", "Minimize to Tray");
    QPushButton* user = makeButton(Control::Command8, 360, 6600, "", "User Defined");
    QFont ub = user->font();
    ub.setBold(true);
    user->setFont(ub);
    makeButton(Control::cmdConfig, 720, 6600, "C", "Enter Config Screen");
    makeButton(Control::chkRemote, 1080, 6600, "Z", "Toggle Remote Commands")->setCheckable(true);
    makeButton(Control::Chart, 1440, 6600, "M", "Toggle CPU Monitor")->setCheckable(true);

    scope_ = new Scope(this);
    scope_->setObjectName("Scope");
    scope_->move(px(2700), px(6075));

    auto forward = [this](Control c, void (Form1::*handler)()) {
        connect(button(c), &QPushButton::clicked, this, [this, handler] {
            if (form_)
                (form_->*handler)();
        });
    };
    forward(Control::cmdEdit, &Form1::cmdEdit_Click);
    forward(Control::cmdRestart, &Form1::cmdRestart_Click);
    forward(Control::cmdClear, &Form1::cmdClear_Click);
    forward(Control::cmdTray, &Form1::cmdTray_Click);
    forward(Control::Command8, &Form1::Command8_Click);
    forward(Control::cmdConfig, &Form1::cmdConfig_Click);
    connect(button(Control::chkRemote), &QPushButton::clicked, this, [this](bool on) {
        if (form_)
            form_->chkRemote_UserSet(on);
    });
    connect(button(Control::Chart), &QPushButton::clicked, this, [this](bool on) {
        if (form_)
            form_->Chart_UserSet(on);
    });
}

QPushButton* ConsoleWindow::makeButton(Control control, int left, int top, const char* caption, const char* tip)
{
    QPushButton* b = torv::makeButton(this, "", caption, left, top, 255, 255);
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::TabFocus);
    QFont f = b->font();
    f.setPixelSize(11);
    b->setFont(f);
    b->setStyleSheet("QPushButton { padding: 0px; }");
    buttons_[static_cast<int>(control)] = b;
    return b;
}

void ConsoleWindow::setCaption(const std::string& caption)
{
    setWindowTitle(QString::fromUtf8(caption.c_str()));
}

void ConsoleWindow::setStatus(const std::string& text)
{
    label1_->setText(QString::fromUtf8(text.c_str()));
}

void ConsoleWindow::setLogText(const std::string& text)
{
    text1_->setPlainText(fromLog(text));
}

void ConsoleWindow::appendLogText(const std::string& tail)
{
    // Adds the new entries at the end without moving what the user is looking at.
    QScrollBar* bar = text1_->verticalScrollBar();
    const int keep = bar->value();
    QTextCursor cursor(text1_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(fromLog(tail));
    bar->setValue(keep);
}

void ConsoleWindow::setControlEnabled(Control control, bool enabled)
{
    button(control)->setEnabled(enabled);
}

void ConsoleWindow::setToggleValue(Control control, bool on)
{
    QSignalBlocker block(button(control));
    button(control)->setChecked(on);
}

void ConsoleWindow::moveToTwips(int left, int top)
{
    QPoint origin;
    if (QScreen* s = QGuiApplication::primaryScreen())
        origin = s->geometry().topLeft();
    move(origin + QPoint(px(left), px(top)));
}

void ConsoleWindow::showWindow()
{
    if (isMinimized())
        showNormal();
    else
        show();
}

void ConsoleWindow::hideWindow()
{
    hide();
}

void ConsoleWindow::minimizeWindow()
{
    showMinimized();
}

void ConsoleWindow::focusWindow()
{
    raise();
    activateWindow();
}

ScopeView& ConsoleWindow::scope()
{
    return *scope_;
}

void ConsoleWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (!form_)
        return;
    form_->Form_Unload();
    // Still here: kept programs are being stopped, and the window stays
    // (its controls off) until they are.
    event->ignore();
}

QIcon programIcon()
{
    // A small server console: a dark screen with a yellow prompt and a green
    // status light, on a steel-blue rounded case.
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient body(0, 0, 0, 48);
    body.setColorAt(0, QColor(90, 120, 160));
    body.setColorAt(1, QColor(40, 60, 90));
    p.setPen(QPen(QColor(20, 30, 50), 1.5));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(2, 4, 44, 40), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(64, 64, 64));
    p.drawRoundedRect(QRectF(7, 9, 34, 24), 3, 3);
    p.setPen(QPen(QColor(255, 255, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath prompt;
    prompt.moveTo(11, 14);
    prompt.lineTo(17, 20);
    prompt.lineTo(11, 26);
    p.drawPath(prompt);
    p.drawLine(QPointF(20, 27), QPointF(30, 27));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 220, 90));
    p.drawEllipse(QPointF(38, 39), 2.5, 2.5);
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(9, 37, 20, 3));
    p.end();
    return QIcon(pm);
}

} // namespace torv
