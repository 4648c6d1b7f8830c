#include "platform/qt/QtTrayShell.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>

namespace torv {

namespace {

// The hidden window is the adapter itself; its handle only has to be non-zero.
constexpr std::uint32_t kWindowHandle = 1;

// Items react to the left mouse button only.
class LeftButtonMenu : public QMenu {
protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            QMenu::mouseReleaseEvent(event);
    }
};

} // namespace

QtTrayShell::QtTrayShell() = default;
QtTrayShell::~QtTrayShell() = default;

std::uint32_t QtTrayShell::registerIcon(const QIcon& icon)
{
    const std::uint32_t handle = nextIcon_++;
    icons_[handle] = icon;
    return handle;
}

TrayWindow QtTrayShell::openWindow(std::function<void(int)> onNotification)
{
    onNotification_ = std::move(onNotification);
    if (!tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>();
        QObject::connect(tray_.get(), &QSystemTrayIcon::activated, tray_.get(),
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             // A handler may close the window, and with it this
                             // callback, while it runs: call a copy.
                             const auto callback = onNotification_;
                             if (callback)
                                 callback(notificationFor(reason));
                         });
    }
    return {kWindowHandle, 0};
}

void QtTrayShell::closeWindow()
{
    onNotification_ = nullptr;
    // The icon object stays: the close may come from inside its own signal.
    if (tray_)
        tray_->hide();
}

QIcon QtTrayShell::iconFor(std::uint32_t handle) const
{
    const auto it = icons_.find(handle);
    if (it != icons_.end() && !it->second.isNull())
        return it->second;
    // An icon without an image of its own shows the program's, or a stock one.
    const QIcon program = QApplication::windowIcon();
    if (!program.isNull())
        return program;
    return QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
}

void QtTrayShell::apply(const NotifyIconData& data, std::uint32_t flags)
{
    if (flags & kNifIcon)
        tray_->setIcon(iconFor(data.hIcon));
    if (flags & kNifTip)
        tray_->setToolTip(QString::fromUtf8(readTip(data.szTip)));
}

void QtTrayShell::notifyIcon(NotifyIconMessage message, const NotifyIconData& data)
{
    if (!tray_)
        return;
    switch (message) {
    case NotifyIconMessage::Add:
        // A fresh icon always has an image, whatever the flags say.
        apply(data, data.uFlags | kNifIcon);
        tray_->show();
        break;
    case NotifyIconMessage::Modify:
        apply(data, data.uFlags);
        break;
    case NotifyIconMessage::Delete:
        tray_->hide();
        break;
    }
}

void QtTrayShell::buildMenu(QMenu& menu, const std::vector<TrayMenuEntry>& items, int defaultIndex)
{
    for (std::size_t i = 0; i < items.size(); ++i) {
        const TrayMenuEntry& item = items[i];
        if (!item.visible)
            continue;
        QAction* action = nullptr;
        if (item.caption == "-") {
            action = menu.addSeparator();
        } else {
            action = menu.addAction(QString::fromUtf8(item.caption));
            action->setEnabled(item.enabled);
        }
        action->setData(static_cast<int>(i));
        if (static_cast<int>(i) == defaultIndex && !action->isSeparator()) {
            menu.setDefaultAction(action);
            // Not every style draws the default action bold by itself.
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
        }
    }
}

int QtTrayShell::popUpMenu(const std::vector<TrayMenuEntry>& items, int defaultIndex)
{
    LeftButtonMenu menu;
    buildMenu(menu, items, defaultIndex);
    // exec() brings the menu to the front and blocks until it closes; the
    // menu is never the tray icon's context menu, which would open it twice.
    const QAction* chosen = menu.exec(QCursor::pos());
    if (!chosen || chosen->isSeparator())
        return -1;
    return chosen->data().toInt();
}

bool QtTrayShell::available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

int QtTrayShell::notificationFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Context:
        return traymsg::RightDown;
    case QSystemTrayIcon::Trigger:
        return traymsg::LeftUp;
    case QSystemTrayIcon::DoubleClick:
        return traymsg::LeftDoubleClick;
    default:
        return traymsg::Other;
    }
}

} // namespace torv
