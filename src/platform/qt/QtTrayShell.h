#pragma once
// The tray shell on QSystemTrayIcon: the icon record becomes the icon's image
// and tooltip, activations become mouse message numbers, and the menu is a
// QMenu popped up at the pointer.
#include "ports/TrayShell.h"

#include <QIcon>
#include <QSystemTrayIcon>

#include <cstdint>
#include <map>
#include <memory>

class QMenu;

namespace torv {

class QtTrayShell : public TrayShell {
public:
    QtTrayShell();
    ~QtTrayShell() override;

    // Gives an image a handle that the icon record can carry.
    std::uint32_t registerIcon(const QIcon& icon);

    TrayWindow openWindow(std::function<void(int)> onNotification) override;
    void closeWindow() override;
    void notifyIcon(NotifyIconMessage message, const NotifyIconData& data) override;
    int popUpMenu(const std::vector<TrayMenuEntry>& items, int defaultIndex) override;
    bool available() const override;

    // Fills the menu with the entries; each action carries its entry's index
    // as data. Hidden entries are left out, "-" becomes a separator.
    static void buildMenu(QMenu& menu, const std::vector<TrayMenuEntry>& items, int defaultIndex);
    // The mouse message number an activation stands for.
    static int notificationFor(QSystemTrayIcon::ActivationReason reason);

    // The icon itself, once the window is open.
    QSystemTrayIcon* trayIcon() const { return tray_.get(); }

private:
    QIcon iconFor(std::uint32_t handle) const;
    void apply(const NotifyIconData& data, std::uint32_t flags);

    std::unique_ptr<QSystemTrayIcon> tray_;
    std::function<void(int)> onNotification_;
    std::map<std::uint32_t, QIcon> icons_;
    std::uint32_t nextIcon_ = 1;
};

} // namespace torv
