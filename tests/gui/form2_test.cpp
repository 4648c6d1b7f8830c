// The IP Options window on a console built on the simulated platform: real
// widgets, scripted message boxes and file pickers, torv.ini in a temporary
// program folder.
#include "editor/Config.h"
#include "editor/Form2.h"
#include "settings/ConfigFile.h"
#include "support/ConsoleFixture.h"
#include "support/Widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>

using namespace torv;
using namespace torv::sim;

namespace {

struct Console : SimConsole {
    Console()
    {
        loadConfig(
            {"NORM", exchange.path(), "", "30", "10", "REMOTEON", "SOUNDON", "COMMENTSOFF", "Task one", "/bin/one"});
    }
};

const char* const kOtherSections =
    "; waits for the database\r\n[task 1]\r\nlocation = /bin/one\r\nbefore = path:/x\r\n";

} // namespace

class Form2Test : public QObject {
    Q_OBJECT

private slots:
    void opensFromTheEditorAndItsOkSavesAtOnce()
    {
        Console c;
        c.dir.write("torv.ini", std::string(kOtherSections) + "\r\n[ip]\r\nurl = http://old.example/\r\nevery = 5\r\n");
        c.sim.dialogs.openFileAnswers = {"/opt/dns tools/update", c.dir.file("ip.txt")};
        Config editor(c.form->state(), *c.form, c.form->ports());
        editor.show();
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* f = editor.findChild<Form2*>();
            QVERIFY(f && f->isVisible() && f->isModal());
            auto closeAnyway = qScopeGuard([f] {
                if (f->isVisible())
                    f->reject();
            });
            seen = true;
            QCOMPARE(f->windowTitle(), QString("IP Options"));
            QStringList texts;
            for (const QLabel* l : f->findChildren<QLabel*>())
                texts << l->text();
            for (const char* t : {"Web Address Reflecting External IP:", "Monitor for Chnges Every:",
                                  "Launch this Program if it Changes:", "Write the IP Address to TextFile:"})
                QVERIFY2(texts.contains(t), t);
            QCOMPARE(child<QCheckBox>(*f, "chkAlarm")->text(), QString("Sound Alarm when IP Changes"));
            // Loaded from the file as it stands.
            QCOMPARE(child<QLineEdit>(*f, "txtUrl")->text(), QString("http://old.example/"));
            QCOMPARE(child<QLineEdit>(*f, "txtEvery")->text(), QString("5"));

            typeOver(*f, "txtUrl", "https://ip.example.net/");
            typeOver(*f, "txtEvery", "30");
            click(*f, "cmdLaunch");
            // A picked program is quoted and takes arguments typed after it.
            QCOMPARE(child<QLineEdit>(*f, "txtLaunch")->text(), QString("\"/opt/dns tools/update\""));
            child<QLineEdit>(*f, "txtLaunch")->end(false);
            QTest::keyClicks(child<QLineEdit>(*f, "txtLaunch"), " --zone home");
            click(*f, "cmdFile");
            child<QCheckBox>(*f, "chkAlarm")->setChecked(true);
            click(*f, "cmdOk");
            QVERIFY(!f->isVisible());
        });
        click(editor, "Command1");
        QVERIFY(seen);
        QVERIFY(c.sim.dialogs.messages.empty());
        const IpOptions& ip = c.form->state().ip;
        QCOMPARE(ip.url, std::string("https://ip.example.net/"));
        QCOMPARE(ip.everyMinutes, 30);
        QCOMPARE(ip.launch, std::string("\"/opt/dns tools/update\" --zone home"));
        QCOMPARE(ip.writeTo, c.dir.file("ip.txt"));
        QVERIFY(ip.alarm);
        const std::string saved = c.dir.read("torv.ini");
        // The editor's own Cancel does not take the save back.
        click(editor, "cmdCancel");
        QCOMPARE(c.dir.read("torv.ini"), saved);
        QCOMPARE(saved, std::string(kOtherSections) + "\r\n[ip]\r\nurl = https://ip.example.net/\r\nevery = 30\r\n" +
                            "launch = \"/opt/dns tools/update\" --zone home\r\nwrite-to = " + c.dir.file("ip.txt") +
                            "\r\nalarm = on\r\n");
    }

    void cancelAndAnEmptyOkWriteNothing()
    {
        Console c;
        {
            Form2 f(c.form->state(), c.form->ports());
            typeOver(f, "txtUrl", "https://ip.example.net/");
            child<QCheckBox>(f, "chkAlarm")->setChecked(true);
            click(f, "cmdCancel");
        }
        QVERIFY(!c.dir.exists("torv.ini"));
        QVERIFY(!c.form->state().ip.watching());
        {
            Form2 f(c.form->state(), c.form->ports());
            click(f, "cmdOk");
            QCOMPARE(f.result(), int(QDialog::Accepted));
        }
        QVERIFY(!c.dir.exists("torv.ini"));
        // With a file, an emptied window takes its section away and nothing else.
        c.dir.write("torv.ini", std::string(kOtherSections) + "[ip]\r\nurl = http://old.example/\r\n");
        {
            Form2 f(c.form->state(), c.form->ports());
            child<QLineEdit>(f, "txtUrl")->clear();
            click(f, "cmdOk");
        }
        QCOMPARE(c.dir.read("torv.ini"), std::string(kOtherSections));
    }

    void minutesFrom1To1440()
    {
        Console c;
        Form2 f(c.form->state(), c.form->ports());
        const struct {
            const char* typed;
            const char* kept;
            bool refused;
        } cases[] = {
            {"1440", "1440", false}, {"1", "1", false}, {"1441", "1", true}, {"0", "1", true}, {"x", "1", true}};
        for (const auto& k : cases) {
            c.sim.dialogs.messages.clear();
            typeOver(f, "txtEvery", k.typed);
            QCOMPARE(child<QLineEdit>(f, "txtEvery")->text(), QString(k.kept));
            QCOMPARE(c.sim.dialogs.messages.empty(), !k.refused);
            if (k.refused)
                QCOMPARE(c.sim.dialogs.messages[0].text, std::string("must be greater than 0 and not more than 1440"));
        }
    }
};

QTEST_MAIN(Form2Test)
#include "form2_test.moc"
