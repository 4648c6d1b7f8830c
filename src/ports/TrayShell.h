#pragma once
// The shell side of the tray icon: it takes the icon's registration record,
// pops up the icon's menu and reports mouse activity over the icon. The tray
// component holds all the rules; an adapter only carries them out.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace torv {

// The icon's registration record in its first, 88-byte form. Handles are
// 32-bit numbers the shell understands.
struct NotifyIconData {
    std::uint32_t cbSize = 0;
    std::uint32_t hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    std::uint32_t hIcon = 0;
    char szTip[64] = {};
};
static_assert(sizeof(NotifyIconData) == 88, "the record keeps its 88-byte layout");

inline constexpr std::uint32_t kNotifyIconDataSize = 88;

// Stores a tip the way the record holds it: the text and a NUL, left-aligned in
// the 64-character field and filled with spaces; a longer text is cut and then
// carries no NUL.
inline void storeTip(char (&field)[64], const std::string& tip)
{
    std::memset(field, ' ', sizeof field);
    const std::size_t n = std::min(tip.size(), sizeof field);
    std::memcpy(field, tip.data(), n);
    if (n < sizeof field)
        field[n] = '\0';
}

// The field up to its first NUL, or all 64 characters when it holds none.
inline std::string readTip(const char (&field)[64])
{
    return std::string(field, std::find(field, field + sizeof field, '\0'));
}

// The shell's operations (NIM_ADD, NIM_MODIFY, NIM_DELETE). Spelled without
// the window system's macro names so that its headers can sit beside this one.
enum class NotifyIconMessage : int { Add = 0, Modify = 1, Delete = 2 };

// Which fields of the record a call carries (NIF_MESSAGE, NIF_ICON, NIF_TIP).
inline constexpr std::uint32_t kNifMessage = 1;
inline constexpr std::uint32_t kNifIcon = 2;
inline constexpr std::uint32_t kNifTip = 4;

// The callback message: the window system's own mouse-move message.
inline constexpr std::uint32_t kTrayCallbackMessage = 512;

// Mouse message numbers the shell reports for the icon.
namespace traymsg {
inline constexpr int MouseMove = 512;
inline constexpr int LeftDown = 513;
inline constexpr int LeftUp = 514;
inline constexpr int LeftDoubleClick = 515;
inline constexpr int RightDown = 516;
inline constexpr int RightUp = 517;
inline constexpr int RightDoubleClick = 518;
// Raises nothing: middle button and the like.
inline constexpr int Other = 519;
} // namespace traymsg

// One line of the popup menu. A caption of "-" is a separator line; "&" marks
// the access key.
struct TrayMenuEntry {
    std::string caption;
    bool visible = true;
    bool enabled = true;
};

// The hidden window that receives the shell's notifications.
struct TrayWindow {
    std::uint32_t handle = 0;
    std::uint32_t ownIcon = 0; // 0: the window has no icon of its own
};

class TrayShell {
public:
    virtual ~TrayShell() = default;

    // Creates the hidden window. Every mouse action over the icon is then
    // reported to onNotification as its mouse message number.
    virtual TrayWindow openWindow(std::function<void(int)> onNotification) = 0;
    // Destroys the hidden window; no more notifications arrive after this.
    virtual void closeWindow() = 0;

    // Adds, updates or removes the icon. The result is not reported: a failed
    // call changes nothing the caller could act on.
    virtual void notifyIcon(NotifyIconMessage message, const NotifyIconData& data) = 0;

    // Brings the hidden window to the foreground, pops the menu up at the
    // pointer and blocks until it closes. defaultIndex is shown bold (-1: no
    // default). Returns the index of the chosen entry, or -1.
    virtual int popUpMenu(const std::vector<TrayMenuEntry>& items, int defaultIndex) = 0;

    // False when the desktop has no notification area at all.
    virtual bool available() const = 0;
};

} // namespace torv
