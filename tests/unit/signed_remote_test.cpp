// Signed remote commands in virtual time: which command files are obeyed once
// a key is in the program folder, what a refusal looks like, the signed
// answers, the last stamp across reloads and restarts, and the key tools.
#include "remote/CommandFile.h"
#include "remote/CommandStamp.h"
#include "remote/KeyTool.h"
#include "remote/RemoteKey.h"
#include "remote/Signature.h"
#include "support/ConsoleFixture.h"
#include "support/FileTricks.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <sstream>

using namespace torv;
using namespace torv::sim;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDate = "12/7/2026";
const std::string kKey(32, '\x5a');
const std::string kOtherKey(32, '\x5b');

class SignedRemoteTest : public ConsoleTest {
protected:
    // False where the platform has no such mode to give (a fresh file is
    // private to its owner there).
    bool writeKey(const std::string& text, unsigned mode = 0600)
    {
        fs::remove(dir.file(kRemoteKeyName)); // a fresh file, owned by us
        dir.write(kRemoteKeyName, text);
        return sim::setMode(dir.file(kRemoteKeyName), mode) || mode == 0600;
    }
    void startIdle(const std::string& remoteOpt = "REMOTEON")
    {
        ConfigValues spec;
        spec.initTime = "1";
        spec.remoteOpt = remoteOpt;
        writeConfig(spec);
        ASSERT_FALSE(start());
    }
    // The virtual time of the next poll, and the UTC stamp it reads then.
    Ms nextPollTime() const { return (sim.events.now() / 10000 + 1) * 10000; }
    long long stampAtNextPoll(long long offsetMs = 0) const
    {
        return SimClock::kStartUtcMs + nextPollTime() + offsetMs;
    }
    void command(const std::string& text) { exchange.write("command.txt", text); }
    void nextPoll() { sim.events.runUntil(nextPollTime()); }
    bool commandPresent() const { return exchange.exists("command.txt"); }
    std::string stamped(const std::string& entry) const { return entry + kDate + ":" + sim.clock.timeText(); }
    // The command stamp of Result.txt.sig when it signs Result.txt under kKey,
    // written now; -1 otherwise.
    long long answerStamp() const
    {
        std::string sig = exchange.read("Result.txt.sig");
        if (!sig.ends_with("\r\n"))
            return -1;
        sig.resize(sig.size() - 2);
        auto line = parseAnswerLine(sig);
        const bool now = line && line->answerStamp == sim.clock.utcMilliseconds();
        return now && answerMatches(kKey, *line, exchange.read("Result.txt")) ? line->commandStamp : -1;
    }
    // A command file is obeyed: "report" answered with its own stamp.
    void expectReportObeyed(long long stamp)
    {
        EXPECT_EQ(logLines().back(), stamped("Report Requested and Generated at:"));
        EXPECT_FALSE(commandPresent());
        EXPECT_EQ(answerStamp(), stamp);
    }
    // Refused: logged with its reason but without its text, answered (as the
    // answer to no command when the key can sign), deleted, nothing launched.
    void expectRefused(const std::string& reason, const std::string& secret = "", bool signedAnswer = true)
    {
        EXPECT_EQ(logLines().back(), stamped("REFUSED UNSIGNED COMMAND (" + reason + ") at:"));
        EXPECT_EQ(exchange.read("Result.txt"), form->state().DumpString.text() + "\r\n");
        EXPECT_FALSE(commandPresent());
        if (signedAnswer) {
            EXPECT_EQ(answerStamp(), 0);
        } else {
            EXPECT_FALSE(exchange.exists("Result.txt.sig"));
        }
        EXPECT_TRUE(sim.launcher.launches.empty());
        if (!secret.empty()) {
            EXPECT_EQ(form->state().DumpString.text().find(secret), std::string::npos);
        }
    }
};

TEST_F(SignedRemoteTest, TheKeyIsAnnouncedWhenThePollStartsAndEveryAnswerIsSigned)
{
    writeKey(toHex(kKey) + "\n");
    startIdle();
    EXPECT_THAT(logLines(), ::testing::ElementsAre(::testing::_, ::testing::_, "Enabling Command Interface",
                                                   "Signed Commands Required"));
    EXPECT_EQ(answerStamp(), 0); // the sequence's own answer

    // The toggle announces it only when it switches the poll on.
    form->chkRemote_UserSet(true);
    EXPECT_EQ(logLines().size(), 4u);
    form->chkRemote_UserSet(false);
    form->chkRemote_UserSet(true);
    EXPECT_EQ(logLines().back(), "Signed Commands Required");
    EXPECT_EQ(logLines().size(), 5u);
}

TEST_F(SignedRemoteTest, OnlyRightFreshSignaturesAreObeyed)
{
    writeKey(toHex(kKey) + "\n");
    startIdle();
    auto signedReport = [](long long stamp) { return signedCommandText(kKey, "report", stamp); };
    struct Row {
        const char* what;
        long long offset; // of the signing stamp from the poll's clock, in ms
        std::function<std::string(long long stamp)> file;
        const char* refusal; // null: obeyed
    };
    const Row rows[] = {
        {"right signature", 0, signedReport, nullptr},
        {"five minutes old", -300000, signedReport, nullptr},
        {"five minutes ahead", 300000, signedReport, nullptr},
        {"just ten minutes old", -600000, signedReport, nullptr},
        {"CR LF line ends and a comma after the field", 0,
         [](long long t) { return "report,x\r\n" + signatureLine(kKey, t, "report") + "\r\n"; }, nullptr},
        {"eleven minutes old", -660000, signedReport, "stamp-outside-window, 660 s behind this clock"},
        {"eleven minutes ahead", 660000, signedReport, "stamp-outside-window, 660 s ahead of this clock"},
        {"ten minutes and a millisecond old", -600001, signedReport, "stamp-outside-window, 601 s behind this clock"},
        {"another key", 0, [](long long t) { return signedCommandText(kOtherKey, "report", t); }, "bad-signature"},
        {"no second line", 0, [](long long) { return std::string("report\n"); }, "unsigned"},
        {"signature on the third line", 0, [](long long t) { return "report\n\n" + signatureLine(kKey, t, "report"); },
         "unsigned"},
        {"a cut signature", 0,
         [&](long long t) {
             std::string text = signedReport(t);
             return text.substr(0, text.size() - 2) + "\n";
         },
         "bad-signature"},
        {"the command changed after signing", 0,
         [](long long t) { return "reporting\n" + signatureLine(kKey, t, "report") + "\n"; }, "bad-signature"},
        {"the stamp changed after signing", 0,
         [](long long t) {
             std::string line = signatureLine(kKey, t, "report");
             line[24] = line[24] == '5' ? '6' : '5'; // the stamp's last digit
             return "report\n" + line + "\n";
         },
         "bad-signature"},
        {"an answer's signature line under the command", 0,
         [](long long t) { return "report\n" + answerSignatureLine(kKey, 0, t, "report") + "\n"; }, "bad-signature"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove(dir.file(kStampFileName)); // each row on its own
        const long long stamp = stampAtNextPoll(row.offset);
        command(row.file(stamp));
        nextPoll();
        if (!row.refusal)
            expectReportObeyed(stamp);
        else
            expectRefused(row.refusal);
    }

    // A signed command that begins with "DEL" is still refused as hostile.
    const long long stamp = stampAtNextPoll();
    command(signedCommandText(kKey, "DELTREE secret", stamp));
    nextPoll();
    EXPECT_EQ(logLines().back(), stamped("HOSTILE COMMAND DEL:"));
    EXPECT_EQ(answerStamp(), stamp);
    EXPECT_TRUE(sim.launcher.launches.empty());
}

TEST_F(SignedRemoteTest, ReplayedAndEqualStampsAreRefusedAcrossReloadsAndRestarts)
{
    writeKey(toHex(kKey) + "\n");
    startIdle();
    const long long first = stampAtNextPoll();
    const std::string report = signedCommandText(kKey, "report", first);
    command(report);
    nextPoll();
    expectReportObeyed(first);

    command(report); // the same file dropped again
    nextPoll();
    expectRefused("stamp-used");
    command(signedCommandText(kKey, "report", first)); // another command, the same stamp
    nextPoll();
    expectRefused("stamp-used");
    const std::string next = signedCommandText(kKey, "run-me", first + 1);
    command(next);
    nextPoll();
    ASSERT_EQ(sim.launcher.launches.size(), 1u);
    EXPECT_EQ(sim.launcher.launches[0].commandLine, "run-me");
    EXPECT_EQ(answerStamp(), first + 1);
    sim.launcher.launches.clear();

    // A reload, then a restart of the program: the last stamp is still known.
    form->cmdRestart_Click();
    command(next);
    nextPoll();
    expectRefused("stamp-used");
    form = std::make_unique<Form1>(Ports{sim.events, sim.clock, sim.launcher, sim.sound, sim.dialogs, sim.program,
                                         sim.tray, sim.cpu, 42, sim.probe, sim.web},
                                   sim.view);
    ASSERT_FALSE(start());
    command(next);
    nextPoll();
    expectRefused("stamp-used");
    const long long fresh = stampAtNextPoll();
    command(signedCommandText(kKey, "report", fresh));
    nextPoll();
    expectReportObeyed(fresh);

    // A damaged record of the last stamp opens nothing: every command is refused.
    dir.write(kStampFileName, "garbage\n");
    command(signedCommandText(kKey, "report", stampAtNextPoll()));
    nextPoll();
    expectRefused("stamp-used");
}

TEST_F(SignedRemoteTest, AnAnswerVerifiesOnlyAsWhatItAnswers)
{
    writeKey(toHex(kKey) + "\n");
    startIdle();
    struct Pair {
        std::string result, sig;
    };
    auto saved = [&] { return Pair{exchange.read("Result.txt"), exchange.read("Result.txt.sig")}; };
    auto put = [&](const Pair& p) {
        exchange.write("Result.txt", p.result);
        exchange.write("Result.txt.sig", p.sig);
    };
    // --verify-answer's exit status and the one line it prints.
    auto verify = [&](std::string* printed = nullptr, std::optional<std::string> expect = std::nullopt) {
        std::ostringstream out, err;
        const int status = runVerifyAnswer(exchange.path(), dir.file(kRemoteKeyName), expect, out, err);
        EXPECT_EQ(out.str().empty(), status != 0) << err.str();
        if (printed)
            *printed = out.str();
        return status;
    };
    const Pair sequenceEnd = saved();
    std::string printed;
    ASSERT_EQ(verify(&printed), 0);
    EXPECT_EQ(printed, "answers none written " + std::to_string(sim.clock.utcMilliseconds()) + "\n");

    const long long first = stampAtNextPoll();
    const std::string firstCommand = signedCommandText(kKey, "report", first);
    command(firstCommand);
    nextPoll();
    const Pair firstAnswer = saved();
    ASSERT_EQ(verify(&printed), 0);
    EXPECT_EQ(printed, "answers " + std::to_string(first) + " written " + std::to_string(first) + "\n");

    // The command's own signed line, beside its bare text or even rewritten
    // in the answer's form, is no answer.
    const std::string commandLine = firstCommand.substr(firstCommand.find('\n') + 1);
    const std::string commandHex = commandLine.substr(commandLine.rfind(' ') + 1, 64);
    put({"report", commandLine});
    EXPECT_EQ(verify(), 1);
    put({"report",
         "HMAC-SHA256-ANSWER " + std::to_string(first) + " " + std::to_string(first) + " " + commandHex + "\r\n"});
    EXPECT_EQ(verify(), 1);

    // A newer command's answer: the old answers still verify, but only as
    // what they answer, and halves of two answers never do.
    const long long second = stampAtNextPoll();
    command(signedCommandText(kKey, "report", second));
    nextPoll();
    const Pair secondAnswer = saved();
    ASSERT_EQ(answerStamp(), second);
    put(firstAnswer);
    ASSERT_EQ(verify(&printed), 0);
    EXPECT_THAT(printed, ::testing::StartsWith("answers " + std::to_string(first) + " "));
    EXPECT_EQ(verify(nullptr, std::to_string(second)), 1); // replayed as the newer one's answer
    EXPECT_EQ(verify(nullptr, std::to_string(first)), 0);
    put(sequenceEnd);
    ASSERT_EQ(verify(&printed), 0);
    EXPECT_THAT(printed, ::testing::StartsWith("answers none "));
    put({secondAnswer.result, firstAnswer.sig});
    EXPECT_EQ(verify(), 1);
    put({firstAnswer.result, secondAnswer.sig});
    EXPECT_EQ(verify(), 1);

    // One hex digit off, a changed stamp, no signature, another key.
    Pair tampered = secondAnswer;
    char& last = tampered.sig[tampered.sig.size() - 3];
    last = last == '0' ? '1' : '0';
    put(tampered);
    EXPECT_EQ(verify(), 1);
    tampered = secondAnswer;
    tampered.sig.replace(tampered.sig.find(std::to_string(second)), 13, std::to_string(second + 1));
    put(tampered);
    EXPECT_EQ(verify(), 1);
    put(secondAnswer);
    EXPECT_EQ(verify(), 0);
    fs::remove(exchange.file("Result.txt.sig"));
    EXPECT_EQ(verify(), 1);
    put(secondAnswer);
    writeKey(toHex(kOtherKey) + "\n");
    EXPECT_EQ(verify(), 1);
}

TEST_F(SignedRemoteTest, AKeyThatCannotBeUsedRefusesEveryCommandAndSaysSoOnce)
{
    struct Row {
        const char* what;
        std::string text;
        unsigned mode;
        const char* note;
        bool foreignOwner = false; // owned by a user who could hand out rights
    };
    const Row rows[] = {
        {"readable by others", toHex(kKey), 0644, "others may read or change remote.key"},
        {"readable by the group", toHex(kKey), 0640, "others may read or change remote.key"},
        {"owned by another user", toHex(kKey), 0600, "others may read or change remote.key", true},
        {"not hex", "not a key at all, not at all, no", 0600, "remote.key is not one line of hex"},
    };
    startIdle();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (!writeKey(row.text, row.mode))
            continue; // no such mode here
        if (row.foreignOwner && !sim::giveToNobody(dir.file(kRemoteKeyName)))
            continue; // only root can give a file away
        fs::remove(exchange.file("Result.txt.sig"));
        const size_t before = logLines().size();
        for (int i = 0; i < 2; ++i) {
            command(signedCommandText(kKey, "run-me", stampAtNextPoll()));
            nextPoll();
            expectRefused("key-unusable", "run-me", false);
        }
        // The note once, then one refusal per command.
        auto lines = logLines();
        ASSERT_EQ(lines.size(), before + 3);
        EXPECT_THAT(lines[before], ::testing::HasSubstr(row.note));

        // Put right, the next signed command is obeyed.
        writeKey(toHex(kKey));
        const long long stamp = stampAtNextPoll();
        command(signedCommandText(kKey, "report", stamp));
        nextPoll();
        expectReportObeyed(stamp);
        fs::remove(dir.file(kRemoteKeyName));
    }
}

TEST(AnswerSignature, MatchesAFixedVector)
{
    // Computed apart from this program (openssl dgst -sha256 -mac HMAC), as
    // the fleet plugin and the manual's recipes compute it.
    const std::string key = *fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    EXPECT_EQ(answerSignatureLine(key, 1796634300123, 1796634301456,
                                  "Report Requested and Generated at:12/7/2026:09:05:10\r\n\r\n"),
              "HMAC-SHA256-ANSWER 1796634300123 1796634301456 "
              "6370b634945084d198f8060b8cf3e2d815a1bd37364ac90d16d56e4c2354f2c0");
}

TEST_F(SignedRemoteTest, WithoutAKeyNothingChanges)
{
    startIdle();
    EXPECT_EQ(logLines().back(), "Enabling Command Interface");
    // A signature line is then just ignored.
    command(signedCommandText(kOtherKey, "report", 1));
    nextPoll();
    EXPECT_EQ(logLines().back(), stamped("Report Requested and Generated at:"));
    EXPECT_FALSE(exchange.exists("Result.txt.sig"));
    EXPECT_FALSE(dir.exists(kStampFileName));
}

TEST(KeyTool, NewKeyIsWrittenForItsOwnerOnlyAndNeverReplaced)
{
    TempDir dir;
    std::ostringstream out, err;
    ASSERT_EQ(runNewKey(dir.path(), out, err), 0) << err.str();
    const std::string path = remoteKeyPath(dir.path());
    if (const int mode = sim::modeOf(path); mode >= 0) {
        EXPECT_EQ(mode, 0600);
    }
    EXPECT_EQ(out.str(), dir.read(kRemoteKeyName));
    const RemoteKey key = loadRemoteKey(dir.path());
    ASSERT_EQ(key.state, KeyState::Usable);
    EXPECT_EQ(key.bytes.size(), kNewKeyBytes);

    std::ostringstream out2, err2;
    EXPECT_EQ(runNewKey(dir.path(), out2, err2), 1);
    EXPECT_EQ(out2.str(), "");
    EXPECT_EQ(dir.read(kRemoteKeyName), out.str()); // the old key stays
    EXPECT_TRUE(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()) == 1);
}

TEST(KeyTool, SignedCommandFilesReadBackAsTheCommandAndItsSignature)
{
    TempDir dir;
    dir.write("k", toHex(kKey) + "\n");
    sim::setMode(dir.file("k"), 0600);
    for (const char* cmd : {"report", "notepad.exe a,b", " \"quoted\" ", "two\nlines"}) {
        SCOPED_TRACE(cmd);
        std::ostringstream out, err;
        ASSERT_EQ(runSign(cmd, dir.file("k"), 1796634300123, out, err), 0) << err.str();
        dir.write("command.txt", out.str());
        const CommandText text = readCommand(dir.file("command.txt"));
        EXPECT_EQ(text.field, cmd);
        auto line = parseSignatureLine(text.nextLine);
        ASSERT_TRUE(line);
        EXPECT_EQ(line->stamp, 1796634300123);
        EXPECT_TRUE(signatureMatches(kKey, *line, cmd));
    }
    std::ostringstream out, err;
    EXPECT_NE(runSign("", dir.file("k"), 1, out, err), 0);
    EXPECT_NE(runSign("report", dir.file("missing"), 1, out, err), 0);
    if (sim::setMode(dir.file("k"), 0644)) {
        EXPECT_NE(runSign("report", dir.file("k"), 1, out, err), 0);
    }
    EXPECT_EQ(out.str(), "");
}

} // namespace
