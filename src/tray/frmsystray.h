#pragma once
// The tray icon component: one icon in the notification area with a tip, an
// image and a popup menu of keyed items. It knows nothing of its host and
// talks to it only through the event members below.
#include "ports/TrayShell.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace torv {

inline constexpr std::int32_t kLeftButton = 1;
inline constexpr std::int32_t kRightButton = 2;

struct SysTrayMenuElement {
    std::string Caption;
    std::string Key;
    bool Visible = true;
    bool Enabled = true;
};

class frmsystray {
public:
    // fileDescription: the program's file description, the tip until the host
    // sets its own.
    frmsystray(TrayShell& shell, std::string fileDescription);
    // A component dropped while loaded takes its icon away with it.
    ~frmsystray();
    frmsystray(const frmsystray&) = delete;
    frmsystray& operator=(const frmsystray&) = delete;

    // Events, raised synchronously; an empty member is an unhandled event.
    std::function<void(std::int32_t eButton)> SysTrayMouseDown;
    std::function<void(std::int32_t eButton)> SysTrayMouseUp;
    std::function<void()> SysTrayMouseMove;
    std::function<void(std::int32_t eButton)> SysTrayDoubleClick;
    std::function<void(std::int32_t lIndex, const std::string& sKey)> MenuClick;

    // Every member below loads the component on its first use: the hidden
    // window is created and the icon added to the tray.
    std::string ToolTip();
    void ToolTip(const std::string& sTip);
    std::uint32_t IconHandle();
    void IconHandle(std::uint32_t hIcon);
    std::int32_t AddMenuItem(const std::string& sCaption, const std::string& sKey, bool bDefault);
    void EnableMenuItem(std::int32_t lIndex, bool bState);
    std::int32_t RemoveMenuItem(std::int32_t iIndex);
    std::int32_t DefaultMenuIndex();
    void DefaultMenuIndex(std::int32_t lIndex);
    // Blocks until the menu closes; a chosen item's MenuClick has run by then.
    void ShowMenu();

    // Closes the hidden window, which removes the icon. The component stays
    // unloaded: later calls change its state but never bring the icon back.
    void Unload();

    bool loaded() const { return state_ == State::Loaded; }
    // The menu elements, index by index.
    const std::vector<SysTrayMenuElement>& mnusystray() const { return mnusystray_; }

private:
    enum class State { Created, Loaded, Unloaded };

    void ensureLoaded();
    void Form_Load();
    void Form_Unload();
    // A mouse notification from the shell, as its mouse message number.
    void Form_MouseMove(int messageNumber);
    bool IsValidIndex(std::int32_t index) const;
    void send(NotifyIconMessage message);

    TrayShell& shell_;
    std::string fileDescription_;
    State state_ = State::Created;
    TrayWindow window_;

    NotifyIconData m_tIconData;
    bool m_bItemZeroUsed = false;
    std::int32_t m_lDefaultIndex = 0;
    std::vector<SysTrayMenuElement> mnusystray_;
};

} // namespace torv
