// The settings editor and the folder browser on a console built on the
// simulated platform: real widgets, real change signals, scripted message
// boxes and file dialogs, config.ini in a temporary program folder.
#include "core/ConsolePaths.h"
#include "editor/Cdlg.h"
#include "editor/ChecksDialog.h"
#include "editor/Config.h"
#include "settings/ConfigFile.h"
#include "settings/OptionsRules.h"
#include "support/ConsoleFixture.h"
#include "support/Widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <random>

using namespace torv;
using namespace torv::sim;

namespace {

// The console with the settings file helpers of these tests.
struct Console : SimConsole {
    // Writes config.ini and reads it into the console, as start-up does.
    void load(std::vector<std::string> settings, const std::vector<std::pair<std::string, std::string>>& tasks)
    {
        for (const auto& [d, l] : tasks) {
            settings.push_back(d);
            settings.push_back(l);
        }
        loadConfig(settings);
    }
    void loadThreeTasks()
    {
        load({"NORM", exchange.path(), "", "30", "10", "REMOTEON", "SOUNDON", "COMMENTSOFF"},
             {{"Task one", "/bin/one"}, {"Task two", "/bin/two"}, {"Task three", "/bin/three"}});
    }
    // Writes torv.ini and reads its task checks into the console, as start-up does.
    void loadOptions(const std::string& text)
    {
        dir.write("torv.ini", text);
        OptionsFile file = readOptions(dir.file("torv.ini"), knownOptionsRules());
        form->state().checks = readTaskChecks(file, form->state().tasks, form->state().TotalApps);
        ++form->state().optionsReadings;
    }
    // A slot's checks as "before A|ready B|".
    std::string checksAt(int slot) const
    {
        std::string out;
        if (auto found = form->state().checks.find(slot); found != form->state().checks.end()) {
            for (const Check& check : found->second.before)
                out += "before " + check.text + "|";
            for (const Check& check : found->second.ready)
                out += "ready " + check.text + "|";
        }
        return out;
    }
    std::string desc(int i) const { return form->state().tasks.TaskDesc[i]; }
    std::string loc(int i) const { return form->state().tasks.TaskLoc[i]; }
};

// The editor's controls by name.
struct Editor {
    explicit Editor(Form1& form) : dlg(form.state(), form, form.ports())
    {
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    }
    QLineEdit* box(const char* name) { return child<QLineEdit>(dlg, name); }
    QPushButton* button(const char* name) { return child<QPushButton>(dlg, name); }
    QString number() { return child<QLabel>(dlg, "lbltasknum")->text(); }
    bool savedShown() { return !child<QLabel>(dlg, "LblSaved")->isHidden(); }
    void select(int slot) { child<QScrollBar>(dlg, "VScroll1")->setValue(slot); }
    void typeOver(const char* name, const QString& text) { torv::sim::typeOver(dlg, name, text); }
    // Presses "Checks…" and, in the modal dialog it opens, runs `fill`; the
    // dialog is closed afterwards whatever `fill` did.
    void inChecksDialog(const std::function<void(ChecksDialog&)>& fill)
    {
        QTimer::singleShot(0, [&] {
            auto* checks = dlg.findChild<ChecksDialog*>();
            QVERIFY(checks && checks->isVisible());
            auto closeAnyway = qScopeGuard([checks] {
                if (checks->isVisible())
                    checks->reject();
            });
            fill(*checks);
        });
        button("cmdChecks")->click();
    }
    Config dlg;
};

// Fills the checks dialog; the two lists hold one check a line.
void fill(ChecksDialog& d, const QString& before, const QString& ready, const QString& timeout = "60",
          const QString& onTimeout = "continue", const QString& caFile = {})
{
    child<QPlainTextEdit>(d, "txtBefore")->setPlainText(before);
    child<QPlainTextEdit>(d, "txtReady")->setPlainText(ready);
    child<QLineEdit>(d, "txtTimeout")->setText(timeout);
    child<QComboBox>(d, "cboOnTimeout")->setCurrentText(onTimeout);
    child<QLineEdit>(d, "txtCaFile")->setText(caFile);
}

bool checked(QWidget& dlg, const char* name)
{
    return child<QAbstractButton>(dlg, name)->isChecked();
}

} // namespace

class ConfigTest : public QObject {
    Q_OBJECT

private slots:
    void opensAtSlotOneOfThreeTasks()
    {
        Console c;
        c.loadThreeTasks();
        Editor e(*c.form);
        QCOMPARE(e.number(), QString("1"));
        QCOMPARE(e.box("txtDesc")->text(), QString("Task one"));
        QCOMPARE(e.box("txtLoc")->text(), QString("/bin/one"));
        QVERIFY(!e.savedShown());
        QCOMPARE(e.dlg.windowTitle(), QString("Launcher Config"));
        QCOMPARE(e.dlg.size(), QSize(301, 445));
        // Controls where the layout puts them (twips / 15).
        QCOMPARE(e.box("txtDesc")->geometry(), QRect(4, 320, 265, 21));
        QCOMPARE(e.button("Command2")->text(), QString("Ok+&Restart"));
        // Filled by their pickers only: nothing can be typed, all can be read.
        for (const char* name : {"txtRemote", "txtLaunch"}) {
            const QPalette& p = e.box(name)->palette();
            QVERIFY(!e.box(name)->isEnabled());
            QCOMPARE(p.color(QPalette::Disabled, QPalette::Text), p.color(QPalette::Active, QPalette::Text));
        }
        QCOMPARE(e.box("txtRemote")->text(), QString::fromStdString(c.exchange.path()));
        QVERIFY(c.sim.dialogs.messages.empty());
    }

    void editButtonSaysWhatFailed()
    {
        Console c;
        c.loadThreeTasks();
        c.sim.launcher.failing["edit " + c.form->commentsPath()] = {53, "File not found"};
        Editor e(*c.form);
        e.button("cmdEdit")->click();
        QCOMPARE(c.sim.dialogs.messages.size(), size_t(1));
        QCOMPARE(c.sim.dialogs.messages[0].text, "53 File not found\nCommand line: " + c.form->commentsPath());
    }

    void longValuesSurviveShowingAndSaving()
    {
        Console c;
        const std::string longLoc = "/bin/run " + std::string(40000, 'x');
        const std::string longCmd = "/bin/tool " + std::string(40000, 'y');
        c.load({"NORM", c.exchange.path(), longCmd, "30", "10", "REMOTEON", "SOUNDON", "COMMENTSOFF"},
               {{"Long one", longLoc}});
        Editor e(*c.form);
        QCOMPARE(c.loc(1), longLoc);
        std::filesystem::remove(c.form->configPath());
        e.button("cmdOk")->click();
        QVERIFY(std::filesystem::exists(c.form->configPath()));
        SettingsRecord s;
        TaskTable t;
        int16 total = 0;
        readConfig(c.form->configPath(), s, t, total);
        QCOMPARE(t.TaskLoc[1], longLoc);
        QCOMPARE(s.UserCmd, longCmd);
    }

    void insertAndDeleteAtSlotTwo()
    {
        Console c;
        c.loadThreeTasks();
        {
            Editor e(*c.form);
            e.select(2);
            e.button("cmdInsert")->click();
            QCOMPARE(e.number(), QString("2"));
            QCOMPARE(e.dlg.CurrentTask(), 2);
            QCOMPARE(e.box("txtDesc")->text(), QString());
            QCOMPARE(e.box("txtLoc")->text(), QString());
            QCOMPARE(c.desc(1), "Task one");
            QCOMPARE(c.desc(2), "");
            QCOMPARE(c.loc(2), "");
            QCOMPARE(c.desc(3), "Task two");
            QCOMPARE(c.loc(3), "/bin/two");
            QCOMPARE(c.desc(4), "Task three");
            QCOMPARE(c.loc(4), "/bin/three");
            QCOMPARE(int(c.form->state().TotalApps), 3);
        }
        c.loadThreeTasks();
        Editor e(*c.form);
        e.select(2);
        e.button("cmdDelete")->click();
        QCOMPARE(c.desc(2), "Task three");
        QCOMPARE(c.loc(2), "/bin/three");
        QCOMPARE(c.desc(3), "");
        QCOMPARE(c.loc(3), "");
        QCOMPARE(e.number(), QString("1"));
        QCOMPARE(e.box("txtDesc")->text(), QString("Task one"));
        QVERIFY(!e.savedShown());
        QCOMPARE(child<QScrollBar>(e.dlg, "VScroll1")->value(), 1);
    }

    void slotTenBeyondTheTasksMovesNothing()
    {
        Console c;
        c.loadThreeTasks();
        const TaskTable before = c.form->state().tasks;
        Editor e(*c.form);
        e.select(10);
        e.button("cmdDelete")->click();
        QVERIFY(c.form->state().tasks.TaskDesc == before.TaskDesc && c.form->state().tasks.TaskLoc == before.TaskLoc);
        QCOMPARE(e.number(), QString("1"));
        QCOMPARE(e.box("txtDesc")->text(), QString("Task one"));

        e.select(10);
        e.button("cmdInsert")->click();
        QCOMPARE(e.number(), QString("10"));
        QCOMPARE(e.box("txtDesc")->text(), QString());
        QVERIFY(c.form->state().tasks.TaskDesc == before.TaskDesc && c.form->state().tasks.TaskLoc == before.TaskLoc);
    }

    void insertWithSlotHundredTakenSaysFullAndMovesNothing()
    {
        Console c;
        c.loadThreeTasks();
        c.form->state().tasks.TaskDesc[100] = "last";
        c.form->state().tasks.TaskLoc[100] = "/bin/last";
        const TaskTable before = c.form->state().tasks;
        Editor e(*c.form);
        e.select(2);
        e.button("cmdInsert")->click();
        QCOMPARE(c.sim.dialogs.messages.size(), size_t(1));
        QVERIFY(c.form->state().tasks.TaskDesc == before.TaskDesc && c.form->state().tasks.TaskLoc == before.TaskLoc);
        QCOMPARE(e.box("txtDesc")->text(), QString("Task two"));
    }

    void savedMarkerShowsForDescriptionAndTimeBetweenOnly()
    {
        Console c;
        c.loadThreeTasks();
        Editor e(*c.form);
        QTest::keyClicks(e.box("txtLoc"), "x");
        QCOMPARE(c.loc(1), "/bin/onex");
        QVERIFY(!e.savedShown());
        e.typeOver("txtExecStart", "20");
        QVERIFY(!e.savedShown());
        QTest::keyClicks(e.box("txtDesc"), "!");
        QCOMPARE(c.desc(1), "Task one!");
        QVERIFY(e.savedShown());
        e.select(2);
        QVERIFY(!e.savedShown());
        QCOMPARE(e.box("txtDesc")->text(), QString("Task two"));
        e.typeOver("txtExec", "5");
        QVERIFY(e.savedShown());
        QCOMPARE(c.desc(1), "Task one!"); // showing another slot stores nothing into the first
    }

    void cancelKeepsTableEditsButWritesNothing()
    {
        Console c;
        c.loadThreeTasks();
        const std::string file = c.dir.read("config.ini");
        {
            Editor e(*c.form);
            e.select(2);
            e.typeOver("txtDesc", "Edited");
            e.button("cmdCancel")->click();
            QVERIFY(!e.dlg.isVisible());
            QCOMPARE(e.dlg.result(), int(QDialog::Rejected));
        }
        QCOMPARE(c.dir.read("config.ini"), file);
        QCOMPARE(c.sim.program.ended, 0);
        Editor again(*c.form);
        again.select(2);
        QCOMPARE(again.box("txtDesc")->text(), QString("Edited"));
    }

    void optionsOpenFromTheSettings_data()
    {
        QTest::addColumn<QString>("launch");
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("sounds");
        QTest::addColumn<QString>("comments");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("written");
        QTest::newRow("MIN") << "MIN"
                             << "REMOTEON"
                             << "SOUNDON"
                             << "COMMENTSON"
                             << "optMin"
                             << "MIN";
        QTest::newRow("EXIT") << "EXIT"
                              << "remoteon"
                              << "SOUNDOFF"
                              << "commentson"
                              << "optExit"
                              << "EXIT";
        QTest::newRow("min") << "min"
                             << "REMOTEOFF"
                             << "soundon"
                             << "COMMENTSOFF"
                             << "optNorm"
                             << "NORM";
        QTest::newRow("FIRSTRUN") << "FIRSTRUN"
                                  << "REMOTEON"
                                  << "SOUNDON"
                                  << "x"
                                  << "optNorm"
                                  << "NORM";
        QTest::newRow("empty") << ""
                               << ""
                               << ""
                               << ""
                               << "optNorm"
                               << "NORM";
    }
    void optionsOpenFromTheSettings()
    {
        QFETCH(QString, launch);
        QFETCH(QString, remote);
        QFETCH(QString, sounds);
        QFETCH(QString, comments);
        QFETCH(QString, option);
        QFETCH(QString, written);
        Console c;
        c.load({launch.toStdString(), c.exchange.path(), "/bin/launch", "30", "10", remote.toStdString(),
                sounds.toStdString(), comments.toStdString()},
               {});
        Editor e(*c.form);
        const int chosen = checked(e.dlg, "optExit") + checked(e.dlg, "optMin") + checked(e.dlg, "optNorm");
        QCOMPARE(chosen, 1);
        QVERIFY(checked(e.dlg, option.toLatin1().constData()));
        QCOMPARE(checked(e.dlg, "chkRemote"), remote == "REMOTEON");
        QCOMPARE(checked(e.dlg, "chkSound"), sounds == "SOUNDON");
        QCOMPARE(e.button("chkSound")->text(), QString(sounds == "SOUNDON" ? "Sounds On" : "Sounds Off"));
        QCOMPARE(checked(e.dlg, "chkComments"), comments == "COMMENTSON");
        QCOMPARE(e.button("chkComments")->text(), QString(comments == "COMMENTSON" ? "Comments On" : "Comments Off"));
        QCOMPARE(e.box("txtLaunch")->text(), QString("/bin/launch"));

        // A click changes a toggle's caption with its state.
        e.button("chkComments")->click();
        QCOMPARE(e.button("chkComments")->text(), QString(comments == "COMMENTSON" ? "Comments Off" : "Comments On"));

        e.button("cmdOk")->click();
        QCOMPARE(e.dlg.result(), int(QDialog::Accepted));
        const std::string file = c.dir.read("config.ini");
        QCOMPARE(file.substr(0, file.find("\r\n")), written.toStdString());
        QVERIFY(!c.form->state().Reloading);
        // The console's own settings wait for the next reading.
        QCOMPARE(c.form->state().settings.LaunchOpt, launch.toStdString());
    }

    void timeOutOfRangeOnOpeningGivesOneMessageAndOne()
    {
        Console c;
        c.load({"NORM", c.exchange.path(), "", "90", "10", "REMOTEON", "SOUNDON", "COMMENTSOFF"}, {});
        Editor e(*c.form);
        QCOMPARE(c.sim.dialogs.messages.size(), size_t(1));
        QCOMPARE(c.sim.dialogs.messages[0].text, std::string("must be greater than 0 and less than 61"));
        QCOMPARE(e.box("txtExecStart")->text(), QString("1"));
        QCOMPARE(e.box("txtExec")->text(), QString("10"));
        QVERIFY(!e.savedShown()); // the time before execution leaves the marker alone
    }

    void timesAreCheckedPerKeystroke()
    {
        Console c;
        c.loadThreeTasks();
        Editor e(*c.form);
        e.typeOver("txtExec", "6");
        QVERIFY(c.sim.dialogs.messages.empty());
        QTest::keyClicks(e.box("txtExec"), "1");
        QCOMPARE(c.sim.dialogs.messages.size(), size_t(1));
        QCOMPARE(e.box("txtExec")->text(), QString("1"));
        QVERIFY(e.savedShown());

        // Emptying the box is refused at once, and so is a first 0.
        e.box("txtExecStart")->clear();
        QCOMPARE(c.sim.dialogs.messages.size(), size_t(2));
        QCOMPARE(e.box("txtExecStart")->text(), QString("1"));
        e.typeOver("txtExecStart", "0");
        QCOMPARE(c.sim.dialogs.messages.size(), size_t(3));

        // Texts that begin with an accepted number stay as typed and are saved so.
        e.typeOver("txtExecStart", "2.5");
        e.typeOver("txtExec", "5x");
        QCOMPARE(c.sim.dialogs.messages.size(), size_t(3));
        QCOMPARE(e.box("txtExecStart")->text(), QString("2.5"));
        QCOMPARE(e.box("txtExec")->text(), QString("5x"));
        e.button("cmdOk")->click();
        const std::string file = c.dir.read("config.ini");
        QVERIFY(file.find("\r\n2.5\r\n5x\r\n") != std::string::npos);
        SettingsRecord s;
        TaskTable t;
        int16 total = 0;
        parseConfig(file, s, t, total);
        QCOMPARE(int(s.InitTime), 2);
        QCOMPARE(int(s.CheckTime), 5);
    }

    void savingSkipsSlotsWithoutLocation()
    {
        Console c;
        c.load({"NORM", c.exchange.path(), "", "30", "10", "REMOTEON", "SOUNDON", "COMMENTSOFF"},
               {{"one", "/bin/1"}, {"two", "/bin/2"}, {"three", "/bin/3"}, {"four", "/bin/4"}});
        Editor e(*c.form);
        e.select(3);
        e.box("txtLoc")->clear();
        e.button("cmdOk")->click();
        const std::string file = c.dir.read("config.ini");
        QVERIFY(file.ends_with("COMMENTSOFF\r\none\r\n/bin/1\r\ntwo\r\n/bin/2\r\nfour\r\n/bin/4\r\n"));
        c.rereadConfig();
        QCOMPARE(int(c.form->state().TotalApps), 3);
        QCOMPARE(c.desc(3), "four");
    }

    void restartSavesAndAsksForAReload()
    {
        Console c;
        c.loadThreeTasks();
        Editor e(*c.form);
        e.typeOver("txtExecStart", "7");
        e.button("Command2")->click();
        QCOMPARE(e.dlg.result(), int(QDialog::Accepted));
        QVERIFY(c.form->state().Reloading);
        QVERIFY(c.dir.read("config.ini").find("\r\n7\r\n10\r\n") != std::string::npos);
    }

    void unwritableSaveLeavesTheEditorOpenAndSilent()
    {
        Console c;
        c.loadThreeTasks();
        // config.ini as a non-empty folder cannot be replaced, even by root.
        std::filesystem::remove(c.dir.file("config.ini"));
        std::filesystem::create_directory(c.dir.file("config.ini"));
        c.dir.write("config.ini/keep", "x");
        Editor e(*c.form);
        e.button("Command2")->click();
        QVERIFY(e.dlg.isVisible());
        QVERIFY(!c.form->state().Reloading);
        e.button("cmdOk")->click();
        QVERIFY(e.dlg.isVisible());
        QVERIFY(c.sim.dialogs.messages.empty());
        QCOMPARE(c.dir.read("config.ini/keep"), std::string("x"));
        // Nothing half-written is left beside it.
        int entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(c.dir.path()))
            ++entries;
        QCOMPARE(entries, 1);
    }

    void firstRunCancelEndsTheProgramButTheCloseBoxDoesNot()
    {
        Console c;
        c.loadThreeTasks();
        c.form->state().FirstCancel = true;
        {
            Editor e(*c.form);
            e.dlg.close();
            QVERIFY(!e.dlg.isVisible());
            QCOMPARE(c.sim.program.ended, 0);
            QVERIFY(c.form->state().FirstCancel);
        }
        {
            // Escape is not bound to "&Cancel" and leaves the window open.
            Editor e(*c.form);
            QTest::keyClick(&e.dlg, Qt::Key_Escape);
            QVERIFY(e.dlg.isVisible());
            e.button("cmdOk")->click();
            QVERIFY(c.form->state().FirstCancel); // only "&Cancel" clears it
        }
        Editor e(*c.form);
        bool ended = false;
        try {
            e.dlg.cmdCancel_Click();
        } catch (const ProgramEnded&) {
            ended = true;
        }
        QVERIFY(ended);
        QCOMPARE(c.sim.program.ended, 1);
        QVERIFY(!c.form->state().FirstCancel);
        QVERIFY(!e.dlg.isVisible());
    }

    void fileDialogPicks()
    {
        Console c;
        c.loadThreeTasks();
        Editor e(*c.form);
        e.select(2);
        // Cancelled: nothing changes.
        e.button("cmdSeqLoc")->click();
        QCOMPARE(c.sim.dialogs.openFileRequests.size(), size_t(1));
        const OpenFileRequest& r = c.sim.dialogs.openFileRequests[0];
        // The platform's filters, opened with the one it names.
        QVERIFY(r.filters == c.sim.program.programFileFilters().filters);
        QCOMPARE(r.selectedFilter, c.sim.program.programFileFilters().selected);
        QCOMPARE(c.loc(2), "/bin/two");
        QCOMPARE(e.box("txtLoc")->text(), QString("/bin/two"));

        c.sim.dialogs.openFileAnswers = {"/opt/tools/run.sh"};
        e.button("cmdSeqLoc")->click();
        QCOMPARE(c.loc(2), "/opt/tools/run.sh");
        QCOMPARE(c.desc(2), "Task two");

        // The launch picker changes the console's command at once; a path
        // with blanks stays one word of the command line.
        c.sim.dialogs.openFileAnswers = {"/opt/my tools/launch"};
        e.button("cmdLaunch")->click();
        QCOMPARE(c.form->state().settings.UserCmd, std::string("\"/opt/my tools/launch\""));
        QCOMPARE(e.box("txtLaunch")->text(), QString("\"/opt/my tools/launch\""));
        e.button("cmdLaunch")->click(); // cancelled
        QCOMPARE(c.form->state().settings.UserCmd, std::string("\"/opt/my tools/launch\""));
        e.button("cmdOk")->click();
        SettingsRecord s;
        TaskTable t;
        int16 total = 0;
        parseConfig(c.dir.read("config.ini"), s, t, total);
        QCOMPARE(s.UserCmd, std::string("\"/opt/my tools/launch\""));
    }

    void commentsButtonOpensTheCommentsFile()
    {
        Console c;
        c.loadThreeTasks();
        Editor e(*c.form);
        e.button("cmdEdit")->click();
        QCOMPARE(c.sim.launcher.launches.size(), size_t(1));
        QVERIFY(c.sim.launcher.launches[0].commandLine.find(c.form->commentsPath()) != std::string::npos);
    }

    void folderChosenThenEditorCancelled()
    {
        Console c;
        c.loadThreeTasks();
        const std::string file = c.dir.read("config.ini");
        std::filesystem::create_directory(c.dir.file("inbox"));
        const QString inbox = QDir::cleanPath(QString::fromStdString(c.dir.file("inbox")));
        {
            Editor e(*c.form);
            QTimer::singleShot(0, [&] {
                auto* browser = e.dlg.findChild<Cdlg*>();
                QVERIFY(browser && browser->isVisible());
                // Whatever fails below, the browser must not stay open.
                auto closeAnyway = qScopeGuard([browser] {
                    if (browser->isVisible())
                        browser->reject();
                });
                QCOMPARE(browser->windowTitle(), QString("Browse Folder"));
                QCOMPARE(browser->pos(), e.dlg.pos());
                auto* list = child<QTreeWidget>(*browser, "Dir1");
                // Open "inbox" with a double-click on its row.
                QTreeWidgetItem* row = list->findItems("inbox", Qt::MatchExactly | Qt::MatchRecursive).value(0);
                QVERIFY(row);
                list->scrollToItem(row);
                const QRect r = list->visualItemRect(row);
                // A double-click arrives as a click and then the double-click.
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
                QCOMPARE(browser->currentFolder(), QDir::cleanPath(QString::fromStdString(c.dir.path())));
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
                QCOMPARE(browser->currentFolder(), inbox);
                child<QPushButton>(*browser, "Command1")->click();
            });
            e.button("cmdRemote")->click();
            QCOMPARE(QString::fromStdString(c.form->state().settings.ExchangeDir), QDir::toNativeSeparators(inbox));
            QCOMPARE(e.box("txtRemote")->text(), QDir::toNativeSeparators(inbox));
            e.button("cmdCancel")->click();
        }
        QCOMPARE(c.dir.read("config.ini"), file);
        Editor again(*c.form);
        QCOMPARE(again.box("txtRemote")->text(), QDir::toNativeSeparators(inbox));
    }

    void browserResultIsTheOpenFolderNotTheHighlightedOne()
    {
        Console c;
        c.loadThreeTasks();
        std::filesystem::create_directory(c.dir.file("sub"));
        const std::string before = c.form->state().settings.ExchangeDir;
        {
            Cdlg browser(c.form->state(), c.form->ports());
            browser.show();
            auto* list = child<QTreeWidget>(browser, "Dir1");
            QTreeWidgetItem* sub = list->findItems("sub", Qt::MatchExactly | Qt::MatchRecursive).value(0);
            QVERIFY(sub);
            list->setCurrentItem(sub); // highlighted, not opened
            // A drive that cannot be read leaves the browser where it was.
            auto* drives = child<QComboBox>(browser, "Drive1");
            const int was = drives->currentIndex();
            drives->addItem("/no/such/volume");
            drives->setCurrentIndex(drives->count() - 1);
            QCOMPARE(c.sim.dialogs.messages.size(), size_t(1));
            QCOMPARE(drives->currentIndex(), was);
            QCOMPARE(browser.currentFolder(), QDir::cleanPath(QString::fromStdString(c.dir.path())));
            // The cancel button changes nothing.
            child<QPushButton>(browser, "Command2")->click();
            QCOMPARE(c.form->state().settings.ExchangeDir, before);
        }
        Cdlg browser(c.form->state(), c.form->ports());
        browser.show();
        auto* list = child<QTreeWidget>(browser, "Dir1");
        list->setCurrentItem(list->findItems("sub", Qt::MatchExactly | Qt::MatchRecursive).value(0));
        child<QPushButton>(browser, "Command1")->click();
        QCOMPARE(QString::fromStdString(c.form->state().settings.ExchangeDir),
                 QDir::toNativeSeparators(QDir::cleanPath(QString::fromStdString(c.dir.path()))));
        // The list shows the path down to the open folder, then its subfolders.
        QTreeWidgetItem* top = list->topLevelItem(0);
        QCOMPARE(top->text(0), QDir::toNativeSeparators(QDir::rootPath()));
    }

    void browserFollowsTheParentRowUpwards()
    {
        Console c;
        c.loadThreeTasks();
        std::filesystem::create_directories(c.dir.file("a/b"));
        Cdlg browser(c.form->state(), c.form->ports());
        browser.show();
        QVERIFY(browser.openFolder(QString::fromStdString(c.dir.file("a/b"))));
        auto* list = child<QTreeWidget>(browser, "Dir1");
        QTreeWidgetItem* a = list->findItems("a", Qt::MatchExactly | Qt::MatchRecursive).value(0);
        QVERIFY(a);
        emit list->itemActivated(a, 0);
        QCOMPARE(browser.currentFolder(), QDir::cleanPath(QString::fromStdString(c.dir.file("a"))));
        QVERIFY(!list->findItems("b", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
        // A folder gone meanwhile cannot be opened; the browser stays usable.
        std::filesystem::remove(c.dir.file("a/b"));
        QTreeWidgetItem* b = list->findItems("b", Qt::MatchExactly | Qt::MatchRecursive).value(0);
        emit list->itemActivated(b, 0);
        QCOMPARE(browser.currentFolder(), QDir::cleanPath(QString::fromStdString(c.dir.file("a"))));
        QCOMPARE(c.sim.dialogs.messages.size(), size_t(1));
        QVERIFY(list->findItems("b", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    }

    void randomInsertsAndDeletesLoseNoTask()
    {
        Console c;
        std::vector<std::pair<std::string, std::string>> tasks;
        for (int i = 1; i <= 90; ++i)
            tasks.emplace_back("d" + std::to_string(i), "l" + std::to_string(i));
        c.load({"NORM", c.exchange.path(), "", "30", "10", "REMOTEON", "SOUNDON", "COMMENTSOFF"}, tasks);
        // The tasks in slot order, empty slots left out.
        auto order = [&] {
            std::vector<std::string> out;
            for (int i = 1; i <= 100; ++i)
                if (!c.desc(i).empty() || !c.loc(i).empty())
                    out.push_back(c.desc(i) + "|" + c.loc(i));
            return out;
        };
        Editor e(*c.form);
        std::mt19937 rng(20261207);
        int fullMessages = 0;
        for (int step = 0; step < 600; ++step) {
            const int slot = std::uniform_int_distribution<int>(1, 100)(rng);
            e.select(slot);
            std::vector<std::string> expected = order();
            const std::string atSlot = c.desc(slot) + "|" + c.loc(slot);
            const bool full = !c.loc(100).empty() || !c.desc(100).empty();
            if (std::uniform_int_distribution<int>(0, 9)(rng) < 6) {
                const size_t messages = c.sim.dialogs.messages.size();
                e.button("cmdInsert")->click();
                if (full) {
                    QCOMPARE(c.sim.dialogs.messages.size(), messages + 1);
                    ++fullMessages;
                }
            } else {
                e.button("cmdDelete")->click();
                if (atSlot != "|")
                    expected.erase(std::find(expected.begin(), expected.end(), atSlot));
            }
            QCOMPARE(order(), expected);
            QVERIFY(c.form->state().tasks.TaskDesc[0].empty() && c.form->state().tasks.TaskLoc[0].empty());
        }
        QVERIFY(fullMessages > 0);
    }

    // Text in any language is shown, picked, saved and read back unchanged;
    // on Windows this runs under a single-byte ANSI code page.
    void textInAnyLanguageSurvivesTheEditor()
    {
        const std::string zurich = "Z\xC3\xBCrich \xC5\x81\xC3\xB3\x64\xC5\xBA \xE2\x82\xAC"; // "Zürich Łódź €"
        const std::string desc = "Datenbank f\xC3\xBCr " + zurich;
        Console c;
        const QString folder = QString::fromUtf8(zurich);
        QVERIFY(QDir(QString::fromStdString(c.dir.path())).mkdir(folder));
        const std::string exchange = c.dir.file("x");
        const std::string picked =
            QDir::toNativeSeparators(QString::fromStdString(c.dir.path()) + "/" + folder + "/run")
                .toUtf8()
                .toStdString();
        c.load({"NORM", exchange, "", "30", "10", "REMOTEON", "SOUNDON", "COMMENTSOFF"}, {{desc, "/bin/one"}});
        {
            Editor e(*c.form);
            QCOMPARE(e.box("txtDesc")->text(), QString::fromUtf8(desc));
            c.sim.dialogs.openFileAnswers = {picked};
            e.button("cmdSeqLoc")->click();
            QCOMPARE(c.loc(1), "\"" + picked + "\"");
            QCOMPARE(e.box("txtLoc")->text(), QString::fromUtf8("\"" + picked + "\""));
            QTimer::singleShot(0, [&] {
                auto* browser = e.dlg.findChild<Cdlg*>();
                QVERIFY(browser && browser->isVisible());
                auto closeAnyway = qScopeGuard([browser] {
                    if (browser->isVisible())
                        browser->reject();
                });
                auto* list = child<QTreeWidget>(*browser, "Dir1");
                QTreeWidgetItem* row = list->findItems(folder, Qt::MatchExactly | Qt::MatchRecursive).value(0);
                QVERIFY(row);
                list->scrollToItem(row);
                emit list->itemActivated(row, 0);
                child<QPushButton>(*browser, "Command1")->click();
            });
            e.button("cmdRemote")->click();
            e.button("cmdOk")->click();
        }
        const std::string remote =
            QDir::toNativeSeparators(QString::fromStdString(c.dir.path()) + "/" + folder).toUtf8().toStdString();
        QCOMPARE(c.form->state().settings.ExchangeDir, remote);
        // Read back, shown again and saved again: nothing changes.
        const std::string saved = c.dir.read("config.ini");
        c.rereadConfig();
        QCOMPARE(c.form->state().settings.ExchangeDir, remote);
        QCOMPARE(c.desc(1), desc);
        QCOMPARE(c.loc(1), "\"" + picked + "\"");
        {
            Editor e(*c.form);
            QCOMPARE(e.box("txtDesc")->text(), QString::fromUtf8(desc));
            QCOMPARE(e.box("txtRemote")->text(), QString::fromUtf8(remote));
            e.button("cmdOk")->click();
        }
        QCOMPARE(c.dir.read("config.ini"), saved);
    }

    void valuesWithCommasAndQuotesReadBackInPlace()
    {
        Console c;
        c.loadThreeTasks();
        Editor e(*c.form);
        e.select(2);
        e.typeOver("txtDesc", "Copy logs, then \"check\"");
        e.typeOver("txtLoc", "\"/opt/a b/run\" --x=1,2");
        e.select(3);
        e.typeOver("txtDesc", " leading blank");
        c.sim.dialogs.openFileAnswers = {"/opt/x,y/tool"};
        e.button("cmdLaunch")->click();
        e.button("cmdOk")->click();
        QCOMPARE(e.dlg.result(), int(QDialog::Accepted));

        SettingsRecord s;
        TaskTable t;
        int16 total = 0;
        parseConfig(c.dir.read("config.ini"), s, t, total); // a failure would send start-up to the default file
        QCOMPARE(int(total), 3);
        QCOMPARE(s.UserCmd, std::string("/opt/x,y/tool"));
        QCOMPARE(int(s.InitTime), 30);
        QCOMPARE(s.RemoteOpt, std::string("REMOTEON"));
        QCOMPARE(t.TaskDesc[2], std::string("Copy logs, then \"check\""));
        QCOMPARE(t.TaskLoc[2], std::string("\"/opt/a b/run\" --x=1,2"));
        QCOMPARE(t.TaskDesc[3], std::string(" leading blank"));
        QCOMPARE(t.TaskLoc[3], std::string("/bin/three"));
    }

    // One task's checks entered, tasks inserted and deleted around them, an
    // empty slot dropped by the save: torv.ini's sections follow config.ini's
    // new numbers, and everything else in the file stays.
    void checksMoveWithTheirTasksAndAreSavedRenumbered()
    {
        Console c;
        c.loadThreeTasks();
        c.loadOptions("; kept by hand\r\n[elsewhere]\r\ncolour = blue\r\n\r\n"
                      "; the checks\r\n[task 3]\r\nlocation = /bin/three\r\nready = path:/tmp/ready\r\n");
        const std::string twos = "before path:/mnt/backup|ready tcp:127.0.0.1:5432|ready http://u:pw@h/x|";
        Editor e(*c.form);
        e.select(2);
        QVERIFY(c.sim.probe.triesHeld()); // no readiness try while the editor is open
        e.inChecksDialog([&](ChecksDialog& d) {
            QCOMPARE(d.windowTitle(), QString("Checks For Task 2"));
            fill(d, " path:/mnt/backup \n\n", "tcp:127.0.0.1:5432\nhttp://u:pw@h/x", "120", "stop", "/etc/ca.pem");
            child<QPushButton>(d, "cmdOk")->click();
            QVERIFY(!d.isVisible());
        });
        QCOMPARE(c.checksAt(2), twos);
        e.inChecksDialog([&](ChecksDialog& d) {
            QCOMPARE(child<QPlainTextEdit>(d, "txtBefore")->toPlainText(), QString("path:/mnt/backup"));
            QCOMPARE(child<QLineEdit>(d, "txtTimeout")->text(), QString("120"));
            QCOMPARE(child<QComboBox>(d, "cboOnTimeout")->currentText(), QString("stop"));
        });

        // Slot 1 becomes a draft without a location, which the save drops;
        // "four" goes in before "Task three"; "Task one" goes.
        e.select(1);
        e.button("cmdInsert")->click();
        e.typeOver("txtDesc", "draft");
        QVERIFY(!e.button("cmdChecks")->isEnabled());
        e.select(4);
        e.button("cmdInsert")->click();
        e.typeOver("txtDesc", "four");
        e.typeOver("txtLoc", "/bin/four");
        e.select(2);
        e.button("cmdDelete")->click();
        QCOMPARE(c.checksAt(2) + "/" + c.checksAt(3) + "/" + c.checksAt(4), twos + "//ready path:/tmp/ready|");

        const int readings = c.form->state().optionsReadings;
        e.button("cmdOk")->click();
        QCOMPARE(e.dlg.result(), int(QDialog::Accepted));
        QVERIFY(
            c.dir.read("config.ini").ends_with("two\r\n/bin/two\r\nfour\r\n/bin/four\r\nTask three\r\n/bin/three\r\n"));
        QCOMPARE(c.dir.read("torv.ini"),
                 std::string("; kept by hand\r\n[elsewhere]\r\ncolour = blue\r\n\r\n"
                             "; the checks\r\n"
                             "[task 1]\r\nlocation = /bin/two\r\nbefore = path:/mnt/backup\r\n"
                             "ready = tcp:127.0.0.1:5432\r\nready = http://u:pw@h/x\r\n"
                             "timeout = 120\r\non-timeout = stop\r\nca-file = /etc/ca.pem\r\n\r\n"
                             "[task 3]\r\nlocation = /bin/three\r\nready = path:/tmp/ready\r\n"));
        // Read again as at a reload: the console's checks are the file's, by its own slots.
        QCOMPARE(c.form->state().optionsReadings, readings + 1);
        QCOMPARE(c.checksAt(2) + c.checksAt(4), twos + "ready path:/tmp/ready|");
        QVERIFY(c.form->state().DumpString.text().find("[elsewhere]") != std::string::npos);
        QVERIFY(c.sim.dialogs.messages.empty());
    }

    void badChecksAreRefusedNamingTheLine()
    {
        Console c;
        c.loadThreeTasks();
        c.loadOptions("[task 1]\r\nlocation = /bin/one\r\nready = path:/ok\r\n");
        const struct {
            const char *before, *ready, *timeout, *message;
            const char *box = nullptr, *value = nullptr; // a further field spoiled
        } cases[] = {
            {"path:/a", "tcp:127.0.0.1:1\ntcp:db", "60",
             "Ready After The Launch, line 2: \"tcp:db\": expected tcp:HOST:PORT"},
            {"\n \nfile:/x", "", "60",
             "Before The Launch, line 3: \"file:/x\": not a check (tcp:, http://, https://, path:, process: or "
             "command:)"},
            {"path: ", "", "60", "Before The Launch, line 1: \"path:\": nothing follows \"path:\""},
            {"", "path:/a", "-1", "Time Limit: \"-1\": expected seconds from 0 to 86400 (0: no limit)"},
            {"", "path:/a", "86401", "Time Limit: \"86401\": expected seconds from 0 to 86400 (0: no limit)"},
            {"", "", "60", "First Delay: \"3601\": expected a whole number from 0 to 3600", "txtRestartDelay", "3601"},
            {"", "", "60", "Stop Time-Out: \"0\": expected a whole number from 1 to 600", "txtStopTimeout", "0"},
            {"", "", "60", "Restart Limit: \"\": expected a whole number from 0 to 1000", "txtRestartLimit", " "},
            {"", "", "60",
             "Check Every: \"0,5\": expected seconds from 0.1 to 60, with a point for a fraction (empty: each "
             "kind's own pace)",
             "txtInterval", "0,5"},
        };
        for (const auto& bad : cases) {
            ChecksDialog d(c.form->state(), c.sim.dialogs, 1);
            d.show();
            fill(d, bad.before, bad.ready, bad.timeout);
            if (bad.box)
                child<QLineEdit>(d, bad.box)->setText(bad.value);
            const size_t shown = c.sim.dialogs.messages.size();
            child<QPushButton>(d, "cmdOk")->click();
            QCOMPARE(c.sim.dialogs.messages.size(), shown + 1);
            QCOMPARE(c.sim.dialogs.messages.back().text, std::string(bad.message));
            QVERIFY(d.isVisible());
            child<QPushButton>(d, "cmdCancel")->click();
            QCOMPARE(c.checksAt(1), std::string("ready path:/ok|"));
        }
        // Both lists emptied but a restart asked for: kept, with the fields given.
        {
            ChecksDialog d(c.form->state(), c.sim.dialogs, 1);
            fill(d, "", " \n", "0");
            child<QComboBox>(d, "cboRestart")->setCurrentText("on-failure");
            child<QLineEdit>(d, "txtRestartLimit")->setText("0");
            child<QLineEdit>(d, "txtInterval")->setText(" .5 ");
            child<QPushButton>(d, "cmdOk")->click();
            const TaskChecks& kept = c.form->state().checks.at(1);
            QVERIFY(kept.keep.restart == RestartPolicy::OnFailure && kept.keep.restartLimit == 0);
            QCOMPARE(kept.interval, 0.5);
            ChecksDialog again(c.form->state(), c.sim.dialogs, 1); // shows what it kept
            QCOMPARE(child<QLineEdit>(again, "txtInterval")->text() + child<QComboBox>(again, "cboStop")->currentText(),
                     QString("0.5no"));
        }
        // Nothing left at all: the task is a classic one again.
        ChecksDialog d(c.form->state(), c.sim.dialogs, 1);
        child<QComboBox>(d, "cboRestart")->setCurrentText("no");
        child<QLineEdit>(d, "txtRestartLimit")->setText("5");
        child<QLineEdit>(d, "txtInterval")->setText("");
        child<QPushButton>(d, "cmdOk")->click();
        QVERIFY(!c.form->state().checks.count(1));
    }

    void cancelWritesNoTorvIniNorDoesASaveWithoutChecks()
    {
        Console c;
        c.loadThreeTasks();
        auto save = [&] {
            Editor e(*c.form);
            e.button("cmdOk")->click();
        };
        // Before torv.ini was ever read (a first run) a save knows none of its
        // checks and leaves it alone; once read, no checks anywhere create no file.
        c.dir.write("torv.ini", "[task 1]\r\nready = path:/ok\r\n");
        save();
        QCOMPARE(c.dir.read("torv.ini"), std::string("[task 1]\r\nready = path:/ok\r\n"));
        std::filesystem::remove(c.dir.file("torv.ini"));
        c.form->state().optionsReadings = 1;
        save();
        QVERIFY(!std::filesystem::exists(c.dir.file("torv.ini")));

        c.loadOptions("; mine\r\n[task 1]\r\nlocation = /bin/one\r\nready = path:/ok\r\n");
        const std::string file = c.dir.read("torv.ini");
        {
            Editor e(*c.form);
            e.select(3);
            e.inChecksDialog([&](ChecksDialog& d) {
                fill(d, "", "path:/x");
                child<QPushButton>(d, "cmdOk")->click();
            });
            e.select(1);
            e.button("cmdInsert")->click();
            e.button("cmdCancel")->click();
        }
        QCOMPARE(c.dir.read("torv.ini"), file);
        // As the task edits do, the checks stay in the console, each with its task.
        QCOMPARE(c.checksAt(2) + c.checksAt(4), std::string("ready path:/ok|ready path:/x|"));

        // A torv.ini that cannot be written says so; config.ini stays saved.
        std::filesystem::remove(c.dir.file("torv.ini"));
        std::filesystem::create_directory(c.dir.file("torv.ini"));
        Editor e(*c.form);
        e.typeOver("txtExec", "5");
        e.button("Command2")->click();
        QVERIFY(e.dlg.isVisible());
        QVERIFY(!c.form->state().Reloading);
        QCOMPARE(c.sim.dialogs.messages.size(), size_t(1));
        QVERIFY(c.sim.dialogs.messages[0].text.starts_with("Could not write " + optionsPath(c.form->ports().program) +
                                                           ": "));
        QVERIFY(c.dir.read("config.ini").find("\r\n30\r\n5\r\n") != std::string::npos);
    }
};

QTEST_MAIN(ConfigTest)
#include "config_test.moc"
