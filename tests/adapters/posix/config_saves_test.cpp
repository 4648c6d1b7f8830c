// config.ini on POSIX: the backup and the saves keep mode, owner and links.
#include "settings/ConfigFile.h"
#include "support/FileTricks.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace torv {
namespace {

namespace fs = std::filesystem;
using sim::limitFileSize;
using sim::listing;
using sim::TempDir;

const EditorValues kSaved{"EXIT", "/new", "new", "5", "5", true, true, true};

// The backup is written like every other file: never through a link planted
// under its name, never left empty by a full disk, as private as config.ini;
// and when it cannot be written, config.ini is left for the user to mend.
TEST(SettingsDefault, TheBackupIsWrittenSafelyOrConfigIsLeftAlone)
{
    const std::string damaged = "NORM\r\n/srv\r\n" + std::string(300, 'x') + "\r\n";
    enum class Bak { plantedLink, folder, fullDisk };
    struct Case {
        const char* what;
        Bak bak;
        bool written; // the backup and the default file
    } cases[] = {
        {"a link planted as the backup", Bak::plantedLink, true},
        {"a folder named like the backup", Bak::folder, false},
        {"a disk too full for the backup", Bak::fullDisk, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir, elsewhere;
        dir.write("config.ini", damaged);
        fs::permissions(dir.file("config.ini"), fs::perms(0640));
        elsewhere.write("victim", "keep me");
        if (c.bak == Bak::plantedLink)
            fs::create_symlink(elsewhere.file("victim"), dir.file("config.ini.bak"));
        if (c.bak == Bak::folder)
            fs::create_directory(dir.file("config.ini.bak"));
        if (c.bak == Bak::fullDisk)
            dir.write("config.ini.bak", "an older backup");

        std::string notWritten;
        {
            const auto limit = c.bak == Bak::fullDisk ? limitFileSize(100) : nullptr;
            notWritten = replaceWithDefault(dir.file("config.ini"));
        }
        EXPECT_EQ(notWritten, c.written ? "" : dir.file("config.ini.bak"));
        EXPECT_EQ(dir.read("config.ini"), c.written ? defaultConfigText() : damaged);
        EXPECT_EQ(elsewhere.read("victim"), "keep me");
        if (c.written) {
            EXPECT_FALSE(fs::is_symlink(dir.file("config.ini.bak")));
            EXPECT_EQ(dir.read("config.ini.bak"), damaged);
            EXPECT_EQ(fs::status(dir.file("config.ini.bak")).permissions(), fs::perms(0640));
            EXPECT_EQ(fs::status(dir.file("config.ini")).permissions(), fs::perms(0640));
        }
        if (c.bak == Bak::fullDisk) {
            EXPECT_EQ(dir.read("config.ini.bak"), "an older backup");
        }
        EXPECT_EQ(listing(dir.path()), (std::vector<std::string>{"config.ini", "config.ini.bak"}));
    }
}

// A config.ini managed elsewhere through a link stays a link: the editor's save
// and the default file both write the file it points to.
TEST(SettingsSave, ALinkedConfigStaysALink)
{
    TempDir prog, managed;
    managed.write("torv.ini", "old");
    // Installed for the console's user, private to it.
    const bool root = ::geteuid() == 0;
    fs::permissions(managed.file("torv.ini"), fs::perms(0640));
    if (root) {
        ASSERT_EQ(::chown(managed.file("torv.ini").c_str(), 65534, 65534), 0);
    }
    fs::create_symlink(managed.file("torv.ini"), prog.file("config.ini"));
    saveConfig(prog.file("config.ini"), kSaved, TaskTable{});
    EXPECT_TRUE(fs::is_symlink(prog.file("config.ini")));
    EXPECT_EQ(managed.read("torv.ini"), formatConfig(kSaved, TaskTable{}));
    EXPECT_EQ(fs::status(managed.file("torv.ini")).permissions(), fs::perms(0640));
    struct stat st {};
    ASSERT_EQ(::stat(managed.file("torv.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, root ? 65534u : ::geteuid());

    EXPECT_EQ(replaceWithDefault(prog.file("config.ini")), "");
    EXPECT_TRUE(fs::is_symlink(prog.file("config.ini")));
    EXPECT_EQ(managed.read("torv.ini"), defaultConfigText());
    EXPECT_EQ(prog.read("config.ini.bak"), formatConfig(kSaved, TaskTable{}));
    EXPECT_EQ(listing(managed.path()), std::vector<std::string>{"torv.ini"});
}

} // namespace
} // namespace torv
