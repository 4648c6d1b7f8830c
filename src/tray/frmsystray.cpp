#include "tray/frmsystray.h"

#include <utility>

namespace torv {

frmsystray::frmsystray(TrayShell& shell, std::string fileDescription)
    : shell_(shell), fileDescription_(std::move(fileDescription))
{
    // Element 0 exists from the start; the first AddMenuItem takes it over.
    mnusystray_.push_back({"&Case", "", true, true});
}

frmsystray::~frmsystray()
{
    if (state_ == State::Loaded)
        Form_Unload();
}

void frmsystray::ensureLoaded()
{
    if (state_ == State::Created)
        Form_Load();
}

void frmsystray::Form_Load()
{
    state_ = State::Loaded;
    window_ = shell_.openWindow([this](int number) { Form_MouseMove(number); });
    m_tIconData.hWnd = window_.handle;
    m_tIconData.uID = window_.ownIcon;
    m_tIconData.uFlags = kNifMessage | kNifIcon | kNifTip;
    m_tIconData.uCallbackMessage = kTrayCallbackMessage;
    m_tIconData.hIcon = window_.ownIcon;
    storeTip(m_tIconData.szTip, fileDescription_);
    m_tIconData.cbSize = kNotifyIconDataSize;
    send(NotifyIconMessage::Add);
}

void frmsystray::Form_Unload()
{
    send(NotifyIconMessage::Delete);
    state_ = State::Unloaded;
    shell_.closeWindow();
}

void frmsystray::Unload()
{
    if (state_ == State::Loaded)
        Form_Unload();
}

void frmsystray::send(NotifyIconMessage message)
{
    // After unloading the icon is gone for good; nothing may bring it back.
    if (state_ == State::Loaded)
        shell_.notifyIcon(message, m_tIconData);
}

void frmsystray::Form_MouseMove(int messageNumber)
{
    if (state_ != State::Loaded)
        return;
    switch (messageNumber) {
    case traymsg::MouseMove:
        if (SysTrayMouseMove)
            SysTrayMouseMove();
        break;
    case traymsg::LeftUp:
        // The left click reports on release, and as a press.
        if (SysTrayMouseDown)
            SysTrayMouseDown(kLeftButton);
        break;
    case traymsg::LeftDoubleClick:
        if (SysTrayDoubleClick)
            SysTrayDoubleClick(kLeftButton);
        break;
    case traymsg::RightDown:
        if (SysTrayMouseDown)
            SysTrayMouseDown(kRightButton);
        break;
    case traymsg::RightUp:
        if (SysTrayMouseUp)
            SysTrayMouseUp(kRightButton);
        break;
    case traymsg::RightDoubleClick:
        if (SysTrayDoubleClick)
            SysTrayDoubleClick(kRightButton);
        break;
    default: // left press, middle button and the rest raise nothing
        break;
    }
}

std::string frmsystray::ToolTip()
{
    ensureLoaded();
    return readTip(m_tIconData.szTip);
}

void frmsystray::ToolTip(const std::string& sTip)
{
    ensureLoaded();
    if (sTip == readTip(m_tIconData.szTip))
        return;
    storeTip(m_tIconData.szTip, sTip);
    m_tIconData.uFlags = kNifTip;
    send(NotifyIconMessage::Modify);
}

std::uint32_t frmsystray::IconHandle()
{
    ensureLoaded();
    return m_tIconData.hIcon;
}

void frmsystray::IconHandle(std::uint32_t hIcon)
{
    ensureLoaded();
    if (hIcon == m_tIconData.hIcon)
        return;
    m_tIconData.hIcon = hIcon;
    m_tIconData.uFlags = kNifIcon;
    send(NotifyIconMessage::Modify);
}

bool frmsystray::IsValidIndex(std::int32_t index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < mnusystray_.size();
}

std::int32_t frmsystray::AddMenuItem(const std::string& sCaption, const std::string& sKey, bool bDefault)
{
    ensureLoaded();
    std::int32_t index = 0;
    if (!m_bItemZeroUsed) {
        m_bItemZeroUsed = true;
    } else {
        index = static_cast<std::int32_t>(mnusystray_.size());
        mnusystray_.emplace_back();
    }
    SysTrayMenuElement& element = mnusystray_[static_cast<std::size_t>(index)];
    element.Visible = true;
    element.Key = sKey;
    element.Caption = sCaption;
    if (bDefault)
        m_lDefaultIndex = index;
    return index;
}

void frmsystray::EnableMenuItem(std::int32_t lIndex, bool bState)
{
    ensureLoaded();
    if (IsValidIndex(lIndex))
        mnusystray_[static_cast<std::size_t>(lIndex)].Enabled = bState;
}

std::int32_t frmsystray::RemoveMenuItem(std::int32_t iIndex)
{
    ensureLoaded();
    if (!IsValidIndex(iIndex))
        return 0;
    if (iIndex == 0) {
        // Element 0 is never destroyed; it only loses its caption.
        mnusystray_[0].Caption.clear();
        return 0;
    }
    // Captions and keys move up one place; the flags stay where they are.
    for (std::size_t i = static_cast<std::size_t>(iIndex) + 1; i < mnusystray_.size(); ++i) {
        mnusystray_[i - 1].Caption = mnusystray_[i].Caption;
        mnusystray_[i - 1].Key = mnusystray_[i].Key;
    }
    mnusystray_.pop_back();
    return 0;
}

std::int32_t frmsystray::DefaultMenuIndex()
{
    ensureLoaded();
    return m_lDefaultIndex;
}

void frmsystray::DefaultMenuIndex(std::int32_t lIndex)
{
    ensureLoaded();
    m_lDefaultIndex = IsValidIndex(lIndex) ? lIndex : 0;
}

void frmsystray::ShowMenu()
{
    ensureLoaded();
    std::vector<TrayMenuEntry> entries;
    entries.reserve(mnusystray_.size());
    for (const SysTrayMenuElement& element : mnusystray_)
        entries.push_back({element.Caption, element.Visible, element.Enabled});
    // A removal may have left the default index past the end: then no item is
    // bold rather than one that does not exist.
    const int defaultIndex = IsValidIndex(m_lDefaultIndex) ? m_lDefaultIndex : -1;
    const int chosen = shell_.popUpMenu(entries, defaultIndex);

    // Only an item that could really be chosen raises the event; the key is
    // read now that the menu has closed.
    if (!IsValidIndex(chosen))
        return;
    const SysTrayMenuElement& element = mnusystray_[static_cast<std::size_t>(chosen)];
    if (element.Caption == "-" || !element.Enabled || !element.Visible)
        return;
    const std::string key = element.Key;
    if (MenuClick)
        MenuClick(chosen, key);
}

} // namespace torv
