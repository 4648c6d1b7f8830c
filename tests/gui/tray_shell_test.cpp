// The Qt tray shell: the menu it builds, the answer it gives, the icon record
// turned into the icon's tip and image, activations turned into numbers.
#include "platform/qt/QtTrayShell.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QtTest>

using namespace torv;

namespace {

const std::vector<TrayMenuEntry> kConsoleMenu = {
    {"&torv", true, true},
    {"-", true, true},
    {"&Exit", true, true},
};

} // namespace

class TrayShellTest : public QObject {
    Q_OBJECT

private slots:
    void menuShowsDefaultBoldSeparatorAndAccessKeys()
    {
        QMenu menu;
        std::vector<TrayMenuEntry> items = kConsoleMenu;
        items.push_back({"&Hidden", false, true});
        items.push_back({"&Off", true, false});
        QtTrayShell::buildMenu(menu, items, 0);

        const QList<QAction*> actions = menu.actions();
        QCOMPARE(actions.size(), 4); // the hidden entry is left out
        QCOMPARE(actions[0]->text(), QString("&torv"));
        QVERIFY(actions[0]->font().bold());
        QCOMPARE(menu.defaultAction(), actions[0]);
        QVERIFY(actions[1]->isSeparator());
        QCOMPARE(actions[2]->text(), QString("&Exit"));
        QVERIFY(!actions[2]->font().bold());
        QCOMPARE(actions[3]->data().toInt(), 4); // indices survive the gap
        QVERIFY(!actions[3]->isEnabled());
    }

    void noDefaultMeansNothingBold()
    {
        QMenu menu;
        QtTrayShell::buildMenu(menu, kConsoleMenu, -1);
        QVERIFY(menu.defaultAction() == nullptr);
        for (QAction* action : menu.actions())
            QVERIFY(!action->font().bold());
    }

    void accessKeyChoosesTheItemAndItsIndexIsReturned()
    {
        QtTrayShell shell;
        QTimer::singleShot(0, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QTest::keyClick(menu, Qt::Key_E);
        });
        // Never hang the test if the menu did not open as expected.
        QTimer::singleShot(5000, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
        QCOMPARE(shell.popUpMenu(kConsoleMenu, 0), 2);

        QTimer::singleShot(0, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                QTest::keyClick(popup, Qt::Key_Escape);
        });
        QCOMPARE(shell.popUpMenu(kConsoleMenu, 0), -1);
    }

    void iconRecordDrivesTipImageAndVisibility()
    {
        QtTrayShell shell;
        QPixmap red(16, 16);
        red.fill(Qt::red);
        const QIcon consoleIcon(red);
        const std::uint32_t handle = shell.registerIcon(consoleIcon);
        QVERIFY(handle != 0);

        const TrayWindow window = shell.openWindow([](int) {});
        QVERIFY(window.handle != 0);
        QSystemTrayIcon* tray = shell.trayIcon();
        QVERIFY(tray);

        NotifyIconData data;
        data.cbSize = kNotifyIconDataSize;
        data.hWnd = window.handle;
        data.uFlags = kNifMessage | kNifIcon | kNifTip;
        data.uCallbackMessage = kTrayCallbackMessage;
        storeTip(data.szTip, "TORV console");
        shell.notifyIcon(NotifyIconMessage::Add, data);
        QVERIFY(tray->isVisible());
        QCOMPARE(tray->toolTip(), QString("TORV console"));
        QVERIFY(!tray->icon().isNull()); // no image of its own yet: a stand-in

        // A full field carries no NUL; the tip stops at the field's end.
        storeTip(data.szTip, std::string(70, 'x'));
        data.uFlags = kNifTip;
        shell.notifyIcon(NotifyIconMessage::Modify, data);
        QCOMPARE(tray->toolTip(), QString(64, 'x'));

        // Only the fields the flags name change.
        storeTip(data.szTip, "not sent");
        data.hIcon = handle;
        data.uFlags = kNifIcon;
        shell.notifyIcon(NotifyIconMessage::Modify, data);
        QCOMPARE(tray->icon().cacheKey(), consoleIcon.cacheKey());
        QCOMPARE(tray->toolTip(), QString(64, 'x'));

        shell.notifyIcon(NotifyIconMessage::Delete, data);
        QVERIFY(!tray->isVisible());
    }

    void activationsArriveAsMouseMessageNumbers()
    {
        QtTrayShell shell;
        QList<int> numbers;
        shell.openWindow([&numbers](int n) { numbers.append(n); });
        QSystemTrayIcon* tray = shell.trayIcon();
        emit tray->activated(QSystemTrayIcon::Context);
        emit tray->activated(QSystemTrayIcon::Trigger);
        emit tray->activated(QSystemTrayIcon::DoubleClick);
        emit tray->activated(QSystemTrayIcon::MiddleClick);
        QCOMPARE(numbers, (QList<int>{516, 514, 515, 519}));

        // A handler that closes the window while it runs (the "Exit" path).
        const QString owned = "still here";
        QString seen;
        shell.openWindow([&shell, &seen, owned](int) {
            shell.closeWindow();
            seen = owned;
        });
        emit tray->activated(QSystemTrayIcon::Context);
        QCOMPARE(seen, owned);

        numbers.clear();
        emit tray->activated(QSystemTrayIcon::Context);
        QVERIFY(numbers.isEmpty());
    }
};

QTEST_MAIN(TrayShellTest)
#include "tray_shell_test.moc"
