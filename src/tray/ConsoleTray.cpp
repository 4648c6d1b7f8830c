#include "tray/ConsoleTray.h"

#include <utility>

namespace torv {

ConsoleTray::ConsoleTray(TrayHost& host, TrayShell& shell, std::string fileDescription, std::uint32_t consoleIcon)
    : host_(host), shell_(shell), fileDescription_(std::move(fileDescription)), consoleIcon_(consoleIcon)
{
}

ConsoleTray::~ConsoleTray() = default;

void ConsoleTray::setUp()
{
    if (m_frmSysTray)
        return;
    m_frmSysTray = std::make_unique<frmsystray>(shell_, fileDescription_);
    m_frmSysTray->SysTrayMouseDown = [this](std::int32_t eButton) { m_frmSysTray_SysTrayMouseDown(eButton); };
    m_frmSysTray->MenuClick = [this](std::int32_t lIndex, const std::string& sKey) {
        m_frmSysTray_MenuClick(lIndex, sKey);
    };
    // The first use loads the component and puts the icon into the tray.
    m_frmSysTray->AddMenuItem("&torv", "torv", false);
    m_frmSysTray->AddMenuItem("-", "", false);
    m_frmSysTray->AddMenuItem("&Exit", "Exit", false);
    m_frmSysTray->ToolTip("torv");
    SetIcon();
}

void ConsoleTray::SetIcon()
{
    if (m_frmSysTray)
        m_frmSysTray->IconHandle(consoleIcon_);
}

void ConsoleTray::m_frmSysTray_SysTrayMouseDown(std::int32_t eButton)
{
    if (eButton == kRightButton && m_frmSysTray)
        m_frmSysTray->ShowMenu();
}

void ConsoleTray::m_frmSysTray_MenuClick(std::int32_t /*lIndex*/, const std::string& sKey)
{
    if (sKey == "torv") {
        host_.showWindow();
        host_.focusWindow();
    } else if (sKey == "Exit") {
        removeIcon();
        host_.requestEnd();
    }
}

void ConsoleTray::cmdTray_Click()
{
    if (shell_.available())
        host_.hideWindow();
    else
        host_.minimizeWindow();
}

void ConsoleTray::removeIcon()
{
    if (!m_frmSysTray)
        return;
    m_frmSysTray->Unload();
    unloaded_ = std::move(m_frmSysTray);
}

} // namespace torv
