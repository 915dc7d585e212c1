// Where the settings file lives: beside a portable program, in the user's
// configuration folder for an installed one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "settings/SettingsLocation.h"

namespace {

TEST(SettingsLocation, BesideWhenPresentOrWritableElseUserConfig) {
    const std::string program = "/opt/lab/bin/trevalon";
    const std::string beside = "/opt/lab/bin/trevalon.dat";
    const std::string user = "/home/op/.config/trevalon/trevalon.dat";
    struct TRow {
        bool Exists, Writable;
        std::string Expected;
    } rows[] = {
        {false, true, beside},  // a build or a portable copy
        {true, false, beside},  // a file put there by hand keeps being used
        {true, true, beside},
        {false, false, user},   // installed in a system folder
    };
    for (const TRow& r : rows) {
        EXPECT_EQ(ChooseSettingsFile(program, r.Exists, r.Writable, "/home/op/.config"), r.Expected)
            << r.Exists << r.Writable;
        EXPECT_EQ(ChooseSettingsFile(program, r.Exists, r.Writable, "/home/op/.config/"),
                  r.Expected);
    }
    EXPECT_EQ(ChooseSettingsFile("/usr/bin/trevalon.exe", true, false, "/c"), "/usr/bin/trevalon.dat");
}

class TXdgConfigHome {
public:
    explicit TXdgConfigHome(const QString& value)
        : FHad(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")), FPrevious(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", value.toLocal8Bit());
    }
    ~TXdgConfigHome() {
        if (FHad)
            qputenv("XDG_CONFIG_HOME", FPrevious);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

private:
    bool FHad;
    QByteArray FPrevious;
};

TEST(SettingsLocation, OnThisMachine) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TXdgConfigHome config(dir.filePath("config"));

    // A program in a folder we may write: beside it.
    const std::string portable = dir.filePath("trevalon").toStdString();
    EXPECT_EQ(SettingsFileFor(portable), dir.filePath("trevalon.dat").toStdString());

    // A folder that cannot be written (here: one that does not exist).
    const std::string installed = dir.filePath("missing/bin/trevalon").toStdString();
    const std::string expected = dir.filePath("config/trevalon/trevalon.dat").toStdString();
    EXPECT_EQ(SettingsFileFor(installed), expected);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("config")));  // choosing creates nothing
    EXPECT_TRUE(MakeSettingsFolder(expected));
    EXPECT_TRUE(QFileInfo(dir.filePath("config/trevalon")).isDir());
    EXPECT_TRUE(MakeSettingsFolder(expected));  // already there

    // A folder that cannot be made: a file stands where it would go.
    QFile blocker(dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(MakeSettingsFolder(dir.filePath("blocked/trevalon/trevalon.dat").toStdString()));
}

}  // namespace

namespace {

// An installed Windows program lives under Program Files; a portable copy
// anywhere else keeps its settings beside itself.
TEST(SettingsLocation, InstalledProgramsFolderByName) {
    const std::vector<std::string> programs = {"C:\\Program Files", "", "C:\\Program Files (x86)\\"};
    struct TRow {
        const char* Path;
        bool Inside;
    } rows[] = {
        {"C:\\Program Files\\Trevalon", true},
        {"c:/program files/trevalon", true},  // Qt's spelling, another case
        {"C:\\Program Files", true},
        {"C:\\Program Files (x86)\\Trevalon\\", true},
        {"C:\\Program Files Portable\\Trevalon", false},  // a prefix, not a folder
        {"D:\\Tools\\Trevalon", false},
        {"", false},
    };
    for (const TRow& r : rows) EXPECT_EQ(PathInFolders(r.Path, programs), r.Inside) << r.Path;
    EXPECT_FALSE(PathInFolders("C:\\Program Files\\Trevalon", {}));
}

}  // namespace
