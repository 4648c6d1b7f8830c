// The tray icon component and the console's use of it, against a recording
// shell that answers the menu with a scripted choice.
#include "tray/ConsoleTray.h"
#include "tray/frmsystray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace torv {
namespace {

constexpr std::uint32_t kHiddenWindow = 0x4D2;
constexpr std::uint32_t kWindowOwnIcon = 0x77;

// One journal for the shell and the host, so that orders across both show.
using Journal = std::vector<std::string>;

class RecordingTrayShell : public TrayShell {
public:
    explicit RecordingTrayShell(Journal& journal) : journal_(journal) {}

    struct Call {
        NotifyIconMessage message;
        NotifyIconData data;
    };

    TrayWindow openWindow(std::function<void(int)> onNotification) override
    {
        journal_.push_back("open");
        notify = std::move(onNotification);
        return {kHiddenWindow, kWindowOwnIcon};
    }
    void closeWindow() override
    {
        journal_.push_back("close");
        notify = nullptr;
    }
    void notifyIcon(NotifyIconMessage message, const NotifyIconData& data) override
    {
        static const char* const names[] = {"NIM_ADD", "NIM_MODIFY", "NIM_DELETE"};
        journal_.push_back(names[static_cast<int>(message)]);
        calls.push_back({message, data});
    }
    int popUpMenu(const std::vector<TrayMenuEntry>& items, int defaultIndex) override
    {
        journal_.push_back("popup");
        menus.push_back(items);
        defaults.push_back(defaultIndex);
        return answer;
    }
    bool available() const override { return trayAvailable; }

    // The shell reports a mouse action over the icon.
    void mouse(int number)
    {
        ASSERT_TRUE(notify) << "no window to report to";
        notify(number);
    }

    std::vector<Call> calls;
    std::vector<std::vector<TrayMenuEntry>> menus;
    std::vector<int> defaults;
    std::function<void(int)> notify;
    int answer = -1;
    bool trayAvailable = true;

private:
    Journal& journal_;
};

// The 64 bytes the tip field should hold.
std::string tipField(const std::string& text)
{
    std::string field = text + '\0';
    field.resize(64, ' ');
    return field.substr(0, 64);
}

std::string bytes(const char (&field)[64])
{
    return std::string(field, 64);
}

std::vector<std::string> captions(const frmsystray& tray)
{
    std::vector<std::string> out;
    for (const auto& e : tray.mnusystray())
        out.push_back(e.Caption);
    return out;
}

struct TrayComponentTest : ::testing::Test {
    Journal journal;
    RecordingTrayShell shell{journal};
    frmsystray tray{shell, "TORV server console"};
};

TEST_F(TrayComponentTest, LoadsOnFirstUseAndAddsTheIconWithTheFullRecord)
{
    EXPECT_TRUE(shell.calls.empty()) << "creating the component shows nothing yet";
    EXPECT_FALSE(tray.loaded());

    EXPECT_EQ(tray.ToolTip(), "TORV server console");
    ASSERT_EQ(shell.calls.size(), 1u);
    const auto& [message, data] = shell.calls[0];
    EXPECT_EQ(message, NotifyIconMessage::Add);
    EXPECT_EQ(data.hWnd, kHiddenWindow);
    EXPECT_EQ(data.uID, kWindowOwnIcon);
    EXPECT_EQ(data.uFlags, 7u);
    EXPECT_EQ(data.uCallbackMessage, 512u);
    EXPECT_EQ(data.hIcon, kWindowOwnIcon);
    EXPECT_EQ(bytes(data.szTip), tipField("TORV server console"));

    // Further use does not load again.
    tray.AddMenuItem("x", "x", false);
    tray.DefaultMenuIndex();
    EXPECT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "open"), 1);
}

TEST_F(TrayComponentTest, AddMenuItemTakesElementZeroFirstAndDefaultStaysZero)
{
    EXPECT_EQ(captions(tray), std::vector<std::string>{"&Case"});
    EXPECT_EQ(tray.AddMenuItem("&torv", "torv", false), 0);
    EXPECT_EQ(tray.AddMenuItem("-", "", false), 1);
    EXPECT_EQ(tray.AddMenuItem("&Exit", "Exit", false), 2);
    EXPECT_EQ(captions(tray), (std::vector<std::string>{"&torv", "-", "&Exit"}));
    EXPECT_EQ(tray.mnusystray()[2].Key, "Exit");
    EXPECT_EQ(tray.DefaultMenuIndex(), 0);

    tray.ShowMenu();
    ASSERT_EQ(shell.defaults.size(), 1u);
    EXPECT_EQ(shell.defaults[0], 0) << "element 0 is shown bold";

    EXPECT_EQ(tray.AddMenuItem("&Later", "later", true), 3);
    EXPECT_EQ(tray.DefaultMenuIndex(), 3);
}

TEST_F(TrayComponentTest, RemoveMenuItemMovesCaptionsAndKeysButNotFlags)
{
    for (const char* c : {"A", "B", "C", "D"})
        tray.AddMenuItem(c, std::string("k") + c, false);
    tray.EnableMenuItem(1, false); // the flag belongs to the place, not the item

    EXPECT_EQ(tray.RemoveMenuItem(1), 0);
    EXPECT_EQ(captions(tray), (std::vector<std::string>{"A", "C", "D"}));
    EXPECT_EQ(tray.mnusystray()[1].Key, "kC");
    EXPECT_EQ(tray.mnusystray()[2].Key, "kD");
    EXPECT_FALSE(tray.mnusystray()[1].Enabled);
    EXPECT_TRUE(tray.mnusystray()[2].Enabled);

    EXPECT_EQ(tray.RemoveMenuItem(0), 0);
    EXPECT_EQ(captions(tray), (std::vector<std::string>{"", "C", "D"}));
    EXPECT_EQ(tray.mnusystray()[0].Key, "kA");

    EXPECT_EQ(tray.RemoveMenuItem(7), 0);
    EXPECT_EQ(tray.RemoveMenuItem(-1), 0);
    tray.EnableMenuItem(7, false);
    EXPECT_EQ(captions(tray), (std::vector<std::string>{"", "C", "D"}));

    // The next item goes after the highest element, element 0 stays taken.
    EXPECT_EQ(tray.AddMenuItem("E", "kE", false), 3);
}

TEST_F(TrayComponentTest, DefaultMenuIndexFallsBackToZeroAndAStaleDefaultIsNotBold)
{
    for (const char* c : {"A", "B", "C"})
        tray.AddMenuItem(c, c, false);
    tray.DefaultMenuIndex(2);
    EXPECT_EQ(tray.DefaultMenuIndex(), 2);
    tray.DefaultMenuIndex(-5);
    EXPECT_EQ(tray.DefaultMenuIndex(), 0);
    tray.DefaultMenuIndex(3);
    EXPECT_EQ(tray.DefaultMenuIndex(), 0);

    // Removing the default element leaves the index past the end.
    tray.DefaultMenuIndex(2);
    tray.RemoveMenuItem(2);
    EXPECT_EQ(tray.DefaultMenuIndex(), 2);
    tray.ShowMenu();
    ASSERT_EQ(shell.menus.size(), 1u);
    EXPECT_EQ(shell.menus[0].size(), 2u);
    EXPECT_EQ(shell.defaults[0], -1);
}

TEST_F(TrayComponentTest, ToolTipSendsOnlyChangesAndCutsAtSixtyFourWithoutNul)
{
    tray.ToolTip("torv");
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].message, NotifyIconMessage::Modify);
    EXPECT_EQ(shell.calls[1].data.uFlags, 4u);
    EXPECT_EQ(bytes(shell.calls[1].data.szTip), tipField("torv"));
    EXPECT_EQ(tray.ToolTip(), "torv");

    tray.ToolTip("torv");
    EXPECT_EQ(shell.calls.size(), 2u) << "an unchanged tip sends nothing";

    const std::string sixtyThree(63, 'x');
    tray.ToolTip(sixtyThree);
    EXPECT_EQ(shell.calls.back().data.szTip[63], '\0');
    EXPECT_EQ(tray.ToolTip(), sixtyThree);

    const std::string seventy = std::string(60, 'a') + "bcdefghijk";
    tray.ToolTip(seventy);
    EXPECT_EQ(bytes(shell.calls.back().data.szTip), seventy.substr(0, 64));
    EXPECT_EQ(tray.ToolTip(), seventy.substr(0, 64));

    // A shorter tip after a long one leaves no trace of it before the NUL.
    tray.ToolTip("ab");
    EXPECT_EQ(bytes(shell.calls.back().data.szTip), tipField("ab"));
}

TEST_F(TrayComponentTest, IconHandleSendsOnlyChangesAndKeepsTheRestOfTheRecord)
{
    tray.ToolTip("torv");
    tray.IconHandle(42);
    ASSERT_EQ(shell.calls.size(), 3u);
    const NotifyIconData& data = shell.calls[2].data;
    EXPECT_EQ(shell.calls[2].message, NotifyIconMessage::Modify);
    EXPECT_EQ(data.uFlags, 2u);
    EXPECT_EQ(data.hIcon, 42u);
    EXPECT_EQ(data.hWnd, kHiddenWindow);
    EXPECT_EQ(data.uID, kWindowOwnIcon);
    EXPECT_EQ(readTip(data.szTip), "torv");
    EXPECT_EQ(tray.IconHandle(), 42u);

    tray.IconHandle(42);
    EXPECT_EQ(shell.calls.size(), 3u) << "an unchanged icon sends nothing";
}

TEST_F(TrayComponentTest, NotificationsDecodeToTheirEvents)
{
    Journal events;
    tray.SysTrayMouseDown = [&](std::int32_t b) { events.push_back("down " + std::to_string(b)); };
    tray.SysTrayMouseUp = [&](std::int32_t b) { events.push_back("up " + std::to_string(b)); };
    tray.SysTrayMouseMove = [&] { events.push_back("move"); };
    tray.SysTrayDoubleClick = [&](std::int32_t b) { events.push_back("double " + std::to_string(b)); };
    tray.ToolTip(); // load

    const std::vector<std::pair<int, std::string>> table = {
        {511, ""},       {512, "move"}, {513, ""},         {514, "down 1"}, {515, "double 1"},
        {516, "down 2"}, {517, "up 2"}, {518, "double 2"}, {519, ""},       {0, ""},
    };
    for (const auto& [number, expected] : table) {
        events.clear();
        shell.mouse(number);
        EXPECT_EQ(events, expected.empty() ? Journal{} : Journal{expected}) << "message " << number;
    }
}

TEST_F(TrayComponentTest, ShowMenuRaisesMenuClickOnlyForAChoosableItem)
{
    tray.AddMenuItem("&torv", "torv", false);
    tray.AddMenuItem("-", "", false);
    tray.AddMenuItem("&Exit", "Exit", false);
    tray.AddMenuItem("&Off", "off", false);
    tray.EnableMenuItem(3, false);
    std::vector<std::pair<int, std::string>> clicks;
    tray.MenuClick = [&](std::int32_t i, const std::string& k) { clicks.emplace_back(i, k); };

    for (int answer : {-1, 1, 3, 4, 99, 2}) {
        shell.answer = answer;
        tray.ShowMenu();
    }
    EXPECT_EQ(clicks, (std::vector<std::pair<int, std::string>>{{2, "Exit"}}));

    ASSERT_FALSE(shell.menus.empty());
    const auto& items = shell.menus.back();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1].caption, "-");
    EXPECT_FALSE(items[3].enabled);
    EXPECT_TRUE(items[0].visible);
}

TEST_F(TrayComponentTest, UnloadRemovesTheIconForGood)
{
    tray.AddMenuItem("a", "a", false);
    tray.IconHandle(9);
    Journal events;
    tray.SysTrayMouseDown = [&](std::int32_t) { events.push_back("down"); };
    auto notify = shell.notify; // a notification still under way in the shell

    tray.Unload();
    ASSERT_EQ(shell.calls.back().message, NotifyIconMessage::Delete);
    EXPECT_EQ(shell.calls.back().data.hWnd, kHiddenWindow);
    EXPECT_EQ(shell.calls.back().data.hIcon, 9u);
    EXPECT_EQ(journal.back(), "close");
    const auto sent = shell.calls.size();

    tray.Unload();
    tray.ToolTip("again");
    tray.IconHandle(10);
    notify(516);
    EXPECT_EQ(shell.calls.size(), sent);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "open"), 1);
}

TEST(TrayComponentLifetime, ADroppedComponentTakesItsIconAlongOnlyIfItHasOne)
{
    Journal journal;
    RecordingTrayShell shell(journal);
    {
        frmsystray unused(shell, "d");
    }
    EXPECT_TRUE(journal.empty());
    {
        frmsystray used(shell, "d");
        used.AddMenuItem("a", "a", false);
    }
    EXPECT_EQ(journal, (Journal{"open", "NIM_ADD", "NIM_DELETE", "close"}));
}

// --- the console's use ---

struct ProgramEndedForTest {};

class RecordingHost : public TrayHost {
public:
    explicit RecordingHost(Journal& journal) : journal_(journal) {}
    void showWindow() override { journal_.push_back("show"); }
    void focusWindow() override { journal_.push_back("focus"); }
    void hideWindow() override { journal_.push_back("hide"); }
    void minimizeWindow() override { journal_.push_back("minimize"); }
    void requestEnd() override
    {
        journal_.push_back("end");
        throw ProgramEndedForTest{};
    }

private:
    Journal& journal_;
};

constexpr std::uint32_t kConsoleIcon = 0x5150;

struct TrayConsoleTest : ::testing::Test {
    Journal journal;
    RecordingTrayShell shell{journal};
    RecordingHost host{journal};
    ConsoleTray console{host, shell, "TORV server console", kConsoleIcon};

    // What happened since the last look.
    Journal since(std::size_t& mark)
    {
        Journal out(journal.begin() + static_cast<std::ptrdiff_t>(mark), journal.end());
        mark = journal.size();
        return out;
    }
};

TEST_F(TrayConsoleTest, SetUpPutsTheConsolesIconMenuAndTipIntoTheTrayOnce)
{
    console.setUp();
    EXPECT_EQ(journal, (Journal{"open", "NIM_ADD", "NIM_MODIFY", "NIM_MODIFY"}));
    EXPECT_EQ(readTip(shell.calls[0].data.szTip), "TORV server console");
    EXPECT_EQ(shell.calls[1].data.uFlags, 4u);
    EXPECT_EQ(bytes(shell.calls[1].data.szTip), tipField("torv"));
    EXPECT_EQ(shell.calls[2].data.uFlags, 2u);
    EXPECT_EQ(shell.calls[2].data.hIcon, kConsoleIcon);

    ASSERT_NE(console.component(), nullptr);
    EXPECT_EQ(captions(*console.component()), (std::vector<std::string>{"&torv", "-", "&Exit"}));
    EXPECT_EQ(console.component()->mnusystray()[0].Key, "torv");
    EXPECT_EQ(console.component()->mnusystray()[1].Key, "");
    EXPECT_EQ(console.component()->DefaultMenuIndex(), 0);

    // A second start-up (first-run path after a reload) keeps the one icon.
    const auto before = journal.size();
    console.setUp();
    EXPECT_EQ(journal.size(), before);
}

TEST_F(TrayConsoleTest, OnlyARightPressOpensTheMenu)
{
    console.setUp();
    std::size_t mark = journal.size();
    for (int number : {traymsg::LeftDown, traymsg::LeftUp, traymsg::LeftDoubleClick, traymsg::RightUp,
                       traymsg::RightDoubleClick, traymsg::MouseMove, traymsg::Other})
        shell.mouse(number);
    EXPECT_TRUE(since(mark).empty());

    shell.mouse(traymsg::RightDown);
    EXPECT_EQ(since(mark), Journal{"popup"});
    ASSERT_EQ(shell.menus.size(), 1u);
    EXPECT_EQ(shell.menus[0][0].caption, "&torv");
    EXPECT_EQ(shell.menus[0][1].caption, "-");
    EXPECT_EQ(shell.menus[0][2].caption, "&Exit");
    EXPECT_EQ(shell.defaults[0], 0);
}

TEST_F(TrayConsoleTest, TorvShowsThenFocusesTheWindow)
{
    console.setUp();
    std::size_t mark = journal.size();
    shell.answer = 0;
    shell.mouse(traymsg::RightDown);
    EXPECT_EQ(since(mark), (Journal{"popup", "show", "focus"}));
    EXPECT_NE(console.component(), nullptr);
}

TEST_F(TrayConsoleTest, ExitRemovesTheIconBeforeTheProgramEnds)
{
    console.setUp();
    std::size_t mark = journal.size();
    shell.answer = 2;
    EXPECT_THROW(shell.mouse(traymsg::RightDown), ProgramEndedForTest);
    EXPECT_EQ(since(mark), (Journal{"popup", "NIM_DELETE", "close", "end"}));
    EXPECT_EQ(console.component(), nullptr);

    // The console's own unload finds the tray gone and sends nothing more.
    console.removeIcon();
    EXPECT_TRUE(since(mark).empty());
}

TEST_F(TrayConsoleTest, HideButtonHidesOrMinimisesWhenThereIsNoTray)
{
    console.setUp();
    std::size_t mark = journal.size();
    console.cmdTray_Click();
    EXPECT_EQ(since(mark), Journal{"hide"});

    shell.trayAvailable = false;
    console.cmdTray_Click();
    EXPECT_EQ(since(mark), Journal{"minimize"});
}

TEST_F(TrayConsoleTest, RemoveIconIsSafeBeforeSetUpAndRunsOnce)
{
    console.removeIcon();
    console.SetIcon();
    EXPECT_TRUE(journal.empty());

    console.setUp();
    std::size_t mark = journal.size();
    console.removeIcon();
    console.removeIcon();
    EXPECT_EQ(since(mark), (Journal{"NIM_DELETE", "close"}));
}

} // namespace
} // namespace torv
