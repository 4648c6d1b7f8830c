#pragma once
// The console window: draws what Form1 decides and forwards the user's clicks.
#include "console/ConsoleView.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace torv {

class Form1;
class Scope;

class ConsoleWindow : public QWidget, public ConsoleView {
    Q_OBJECT
public:
    ConsoleWindow();
    void attach(Form1* form) { form_ = form; }
    ScopeView& scope() override;

    void setCaption(const std::string& caption) override;
    void setStatus(const std::string& text) override;
    void setLogText(const std::string& text) override;
    void appendLogText(const std::string& tail) override;
    void setControlEnabled(Control control, bool enabled) override;
    void setToggleValue(Control control, bool on) override;
    void moveToTwips(int left, int top) override;
    void showWindow() override;
    void hideWindow() override;
    void minimizeWindow() override;
    void focusWindow() override;

    QPushButton* button(Control control) const { return buttons_[static_cast<int>(control)]; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPushButton* makeButton(Control control, int left, int top, const char* caption, const char* tip);

    Form1* form_ = nullptr;
    QLabel* label1_;
    QPlainTextEdit* text1_;
    Scope* scope_;
    QPushButton* buttons_[8] = {};
};

// The program's own 48 by 48 icon.
QIcon programIcon();

} // namespace torv
