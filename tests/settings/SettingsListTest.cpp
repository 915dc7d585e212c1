// Name=value lists and the settings file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <QFileInfo>

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "base/NameValueList.h"

namespace {

TNameValueList ListOf(std::vector<std::string> lines) {
    TNameValueList list;
    for (std::string& line : lines) list.Add(std::move(line));
    return list;
}

std::string Slurp(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(NameValueList, ReadingAKey) {
    const TNameValueList list = ListOf(
        {"no equals sign", "port=COM2", "Port=COM3", "Port = COM4", "Empty=", "A=b=c", "=lone"});
    struct TRow {
        std::string Key, Value;
        int Index;
    } rows[] = {
        {"Port", "COM2", 1}, {"PORT", "COM2", 1}, {"Port ", " COM4", 3}, {"Empty", "", 4},
        {"A", "b=c", 5},     {"", "lone", 6},     {"Missing", "", -1},   {"no equals sign", "", -1},
        {"A=b", "", -1},
    };
    for (const TRow& r : rows) {
        EXPECT_EQ(list.Value(r.Key), r.Value) << r.Key;
        EXPECT_EQ(list.IndexOfName(r.Key), r.Index) << r.Key;
    }
}

TEST(NameValueList, WritingAKey) {
    struct TRow {
        const char* What;
        std::vector<std::string> Before;
        std::string Key, Value;
        std::vector<std::string> After;
    } rows[] = {
        {"replaced in place with the writer's spelling",
         {"a=1", "port=COM2", "b=2"},
         "Port",
         "COM5",
         {"a=1", "Port=COM5", "b=2"}},
        {"appended when missing", {"a=1"}, "Port", "COM5", {"a=1", "Port=COM5"}},
        {"only the first of two", {"Port=1", "Port=2"}, "Port", "3", {"Port=3", "Port=2"}},
        {"empty removes the first", {"Port=1", "x", "Port=2"}, "PORT", "", {"x", "Port=2"}},
        {"empty for a missing key changes nothing", {"x"}, "Port", "", {"x"}},
        {"spaced key is another key",
         {"Port = COM2"},
         "Port",
         "COM5",
         {"Port = COM2", "Port=COM5"}},
    };
    for (TRow& r : rows) {
        TNameValueList list = ListOf(r.Before);
        list.SetValue(r.Key, r.Value);
        EXPECT_EQ(list.Strings(), r.After) << r.What;
    }
}

TEST(NameValueList, LinesEndAtCrLfOrEither) {
    struct TRow {
        std::string Text;
        std::vector<std::string> Lines;
    } rows[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"\r\n\r\n", {"", ""}},
        {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
    };
    for (const TRow& r : rows) EXPECT_EQ(SplitTextLines(r.Text), r.Lines) << r.Text;
}

TEST(NameValueList, ChangeFileExtReplacesTheLastExtension) {
    struct TRow {
        std::string In, Out;
    } rows[] = {
        {"/opt/trevalon/trevalon", "/opt/trevalon/trevalon.dat"},
        {"C:/Lab/Trevalon.exe", "C:/Lab/Trevalon.dat"},
        {"/a.b/prog", "/a.b/prog.dat"},
        {"/a/prog.tar.gz", "/a/prog.tar.dat"},
        {"prog", "prog.dat"},
    };
    for (const TRow& r : rows) EXPECT_EQ(ChangeFileExt(r.In, ".dat"), r.Out);
}

TEST(NameValueList, DefaultsInTheirOrder) {
    TNameValueList list;
    SetDefaultSettings(list);
    EXPECT_EQ(list.Text(),
              "BaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nPoints=512\r\n");
}

TEST(SettingsFile, SavesCrLfAndReadsAnyLineEnd) {
    QTemporaryDir dir;
    const std::string name = dir.filePath("t.dat").toStdString();
    TNameValueList list = ListOf({"Port=COM1", "", "BaudRate=9600"});
    list.SaveToFile(name);
    EXPECT_EQ(Slurp(name), "Port=COM1\r\n\r\nBaudRate=9600\r\n");

    std::FILE* f = std::fopen(name.c_str(), "wb");
    std::fputs("Port=COM2\nBaudRate=38400\rParity=Odd", f);
    std::fclose(f);
    TNameValueList loaded;
    ASSERT_TRUE(loaded.LoadFromFile(name));
    EXPECT_EQ(loaded.Strings(),
              (std::vector<std::string>{"Port=COM2", "BaudRate=38400", "Parity=Odd"}));
    loaded.SaveToFile(name);
    EXPECT_EQ(Slurp(name), "Port=COM2\r\nBaudRate=38400\r\nParity=Odd\r\n");
}

TEST(SettingsFile, UnreadableFileFailsToLoad) {
    QTemporaryDir dir;
    TNameValueList list = ListOf({"stale=1"});
    EXPECT_FALSE(list.LoadFromFile(dir.filePath("missing.dat").toStdString()));
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(list.LoadFromFile(dir.path().toStdString()));  // a directory
    const std::string empty = dir.filePath("empty.dat").toStdString();
    std::fclose(std::fopen(empty.c_str(), "wb"));
    EXPECT_TRUE(list.LoadFromFile(empty));
    EXPECT_EQ(list.Count(), 0u);
}

TEST(SettingsFile, AWriteThatFailsHalfwayLeavesTheOldFileWhole) {
    QTemporaryDir dir;
    const std::string name = dir.filePath("t.dat").toStdString();
    ListOf({"Port=COM1", "BaudRate=9600"}).SaveToFile(name);
    const std::string old = Slurp(name);
    TNameValueList big;
    for (int i = 0; i < 2000; ++i) big.Add("Key" + std::to_string(i) + "=" + std::string(40, 'v'));

    // The system refuses every byte past the first 4 KiB, as a full disk does.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    std::string message;
    try {
        big.SaveToFile(name);
    } catch (const EFCreateError& e) {
        message = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(message, "Cannot write file \"" + name + "\". File too large");
    EXPECT_EQ(Slurp(name), old);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(name + ".tmp")));
    // The next save goes through.
    big.SaveToFile(name);
    EXPECT_EQ(Slurp(name), big.Text());
}

TEST(SettingsFile, UnwritableFileRaisesTheCreationError) {
    QTemporaryDir dir;
    const std::string name = dir.filePath("sub").toStdString();
    ASSERT_TRUE(QDir().mkdir(QString::fromStdString(name)));
    try {
        ListOf({"a=1"}).SaveToFile(name);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + name + "\". Is a directory");
    }
    EXPECT_THROW(ListOf({"a=1"}).SaveToFile(dir.filePath("no/such/dir.dat").toStdString()),
                 EFCreateError);
}

}  // namespace
