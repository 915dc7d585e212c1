// Name=value lists and the settings file.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "settings/SettingsList.h"

namespace {

TNameValueList ListOf(std::vector<std::string> Lines) {
    TNameValueList List;
    for (std::string& Line : Lines) List.Add(std::move(Line));
    return List;
}

std::string Slurp(const std::string& Name) {
    std::ifstream In(Name, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

TEST(NameValueList, ReadingAKey) {
    const TNameValueList List = ListOf(
        {"no equals sign", "port=COM2", "Port=COM3", "Port = COM4", "Empty=", "A=b=c", "=lone"});
    struct Row {
        std::string Key, Value;
        int Index;
    } Rows[] = {
        {"Port", "COM2", 1}, {"PORT", "COM2", 1}, {"Port ", " COM4", 3}, {"Empty", "", 4},
        {"A", "b=c", 5},     {"", "lone", 6},     {"Missing", "", -1},   {"no equals sign", "", -1},
        {"A=b", "", -1},
    };
    for (const Row& R : Rows) {
        EXPECT_EQ(List.Value(R.Key), R.Value) << R.Key;
        EXPECT_EQ(List.IndexOfName(R.Key), R.Index) << R.Key;
    }
}

TEST(NameValueList, WritingAKey) {
    struct Row {
        const char* What;
        std::vector<std::string> Before;
        std::string Key, Value;
        std::vector<std::string> After;
    } Rows[] = {
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
    for (Row& R : Rows) {
        TNameValueList List = ListOf(R.Before);
        List.SetValue(R.Key, R.Value);
        EXPECT_EQ(List.Strings(), R.After) << R.What;
    }
}

TEST(NameValueList, LinesEndAtCrLfOrEither) {
    struct Row {
        std::string Text;
        std::vector<std::string> Lines;
    } Rows[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"\r\n\r\n", {"", ""}},
        {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
    };
    for (const Row& R : Rows) EXPECT_EQ(SplitTextLines(R.Text), R.Lines) << R.Text;
}

TEST(NameValueList, ChangeFileExtReplacesTheLastExtension) {
    struct Row {
        std::string In, Out;
    } Rows[] = {
        {"/opt/trevalon/trevalon", "/opt/trevalon/trevalon.dat"},
        {"C:/Lab/Trevalon.exe", "C:/Lab/Trevalon.dat"},
        {"/a.b/prog", "/a.b/prog.dat"},
        {"/a/prog.tar.gz", "/a/prog.tar.dat"},
        {"prog", "prog.dat"},
    };
    for (const Row& R : Rows) EXPECT_EQ(ChangeFileExt(R.In, ".dat"), R.Out);
}

TEST(NameValueList, DefaultsInTheirOrder) {
    TNameValueList List;
    SetDefaultSettings(List);
    EXPECT_EQ(List.Text(),
              "BaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nPoints=512\r\n");
}

TEST(SettingsFile, SavesCrLfAndReadsAnyLineEnd) {
    QTemporaryDir Dir;
    const std::string Name = Dir.filePath("t.dat").toStdString();
    TNameValueList List = ListOf({"Port=COM1", "", "BaudRate=9600"});
    List.SaveToFile(Name);
    EXPECT_EQ(Slurp(Name), "Port=COM1\r\n\r\nBaudRate=9600\r\n");

    std::FILE* F = std::fopen(Name.c_str(), "wb");
    std::fputs("Port=COM2\nBaudRate=38400\rParity=Odd", F);
    std::fclose(F);
    TNameValueList Loaded;
    ASSERT_TRUE(Loaded.LoadFromFile(Name));
    EXPECT_EQ(Loaded.Strings(),
              (std::vector<std::string>{"Port=COM2", "BaudRate=38400", "Parity=Odd"}));
    Loaded.SaveToFile(Name);
    EXPECT_EQ(Slurp(Name), "Port=COM2\r\nBaudRate=38400\r\nParity=Odd\r\n");
}

TEST(SettingsFile, UnreadableFileFailsToLoad) {
    QTemporaryDir Dir;
    TNameValueList List = ListOf({"stale=1"});
    EXPECT_FALSE(List.LoadFromFile(Dir.filePath("missing.dat").toStdString()));
    EXPECT_EQ(List.Count(), 0u);
    EXPECT_FALSE(List.LoadFromFile(Dir.path().toStdString()));  // a directory
    const std::string Empty = Dir.filePath("empty.dat").toStdString();
    std::fclose(std::fopen(Empty.c_str(), "wb"));
    EXPECT_TRUE(List.LoadFromFile(Empty));
    EXPECT_EQ(List.Count(), 0u);
}

TEST(SettingsFile, UnwritableFileRaisesTheCreationError) {
    QTemporaryDir Dir;
    const std::string Name = Dir.filePath("sub").toStdString();
    ASSERT_TRUE(QDir().mkdir(QString::fromStdString(Name)));
    try {
        ListOf({"a=1"}).SaveToFile(Name);
        FAIL() << "no error";
    } catch (const EFCreateError& E) {
        EXPECT_EQ(std::string(E.what()), "Cannot create file \"" + Name + "\". Is a directory");
    }
    EXPECT_THROW(ListOf({"a=1"}).SaveToFile(Dir.filePath("no/such/dir.dat").toStdString()),
                 EFCreateError);
}

}  // namespace
