#pragma once
// The console's tray icon: its menu, its tip and image, the handlers of the
// component's events, the hide button and the icon's removal at the end.
#include "ports/TrayShell.h"
#include "tray/frmsystray.h"

#include <cstdint>
#include <memory>
#include <string>

namespace torv {

// What the tray asks of the console window.
class TrayHost {
public:
    virtual ~TrayHost() = default;
    virtual void showWindow() = 0;
    virtual void focusWindow() = 0;
    virtual void hideWindow() = 0;
    virtual void minimizeWindow() = 0;
    // Unloads the console window and ends the program (see ConsoleActions).
    virtual void requestEnd() = 0;
};

class ConsoleTray {
public:
    // consoleIcon: the handle of the console window's own icon, as the shell
    // knows it.
    ConsoleTray(TrayHost& host, TrayShell& shell, std::string fileDescription, std::uint32_t consoleIcon);
    ~ConsoleTray();
    ConsoleTray(const ConsoleTray&) = delete;
    ConsoleTray& operator=(const ConsoleTray&) = delete;

    // Creates the component with its menu, tip "torv" and the console's icon.
    // There is one icon for the whole run: a further call keeps the one there.
    void setUp();
    void SetIcon();

    void m_frmSysTray_SysTrayMouseDown(std::int32_t eButton);
    void m_frmSysTray_MenuClick(std::int32_t lIndex, const std::string& sKey);
    // Hides the console window, leaving the tray icon. A desktop without a
    // tray would leave no way back, so there the window is minimised instead.
    void cmdTray_Click();

    // Unloads the component (the icon leaves the tray) and empties
    // m_frmSysTray; nothing happens when it is empty already. For every way
    // the program ends.
    void removeIcon();

    frmsystray* component() { return m_frmSysTray.get(); }

private:
    TrayHost& host_;
    TrayShell& shell_;
    std::string fileDescription_;
    std::uint32_t consoleIcon_;
    std::unique_ptr<frmsystray> m_frmSysTray;
    // An unloaded component is kept until the console goes: "Exit" unloads it
    // from inside its own ShowMenu, which must not find itself destroyed.
    std::unique_ptr<frmsystray> unloaded_;
};

} // namespace torv
