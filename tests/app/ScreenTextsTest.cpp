// The table of texts from the layers below the window: it knows every
// operator text those layers write as a literal, a pattern carries its parts
// over unchanged, and in English every text comes back byte for byte.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FormFixture.h"
#include "app/Language.h"
#include "app/ScreenTexts.h"
#include "conversation/Conversation.h"
#include "oma/HostReplies.h"

namespace {

namespace fs = std::filesystem;

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct TLiteral {
    std::string Text;
    bool Whole;  // the call's whole argument; otherwise the start of a longer text
    std::string Where;
};

// The texts the cores hand up as status texts, link warnings or the failures
// they throw (exceptions the operator is shown), read from their sources: the first
// string literal of each such call, whole when the call ends after it and a
// prefix when something is added to it. Programming faults (logic_error,
// invalid_argument, length_error) never reach the operator and are left out,
// and so are the texts below, each for its reason.
bool NotForTheWindow(const std::string& file, const std::string& literal) {
    return literal.empty() ||           // an empty status clears the panel
           file == "Transcript.cpp" ||  // read back only by the simulator's replay
           literal == "Port=" ||        // quotes the settings file's own line
           literal == "Cannot set SyncMethod while connected";  // a programming fault
}

std::vector<TLiteral> CoreLiterals() {
    static const std::regex Call(
        R"re(\b(ShowStatus|Warnings\.push_back|runtime_error|E[A-Z][A-Za-z0-9]*)\(\s*(?:std::string\()?"((?:[^"\\]|\\.)*)"\)?\s*([+),]))re");
    std::vector<TLiteral> found;
    for (const char* layer : {"conversation", "oma", "job", "shape", "link", "serial"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(TREVALON_SOURCE_DIR) / layer)) {
            if (entry.path().extension() != ".cpp") continue;
            const std::string text = FileText(entry.path());
            for (auto it = std::sregex_iterator(text.begin(), text.end(), Call);
                 it != std::sregex_iterator(); ++it) {
                const std::smatch& m = *it;
                std::string literal = std::regex_replace(m[2].str(), std::regex(R"(\\r)"), "\r");
                literal = std::regex_replace(literal, std::regex(R"(\\")"), "\"");
                if (NotForTheWindow(entry.path().filename().string(), literal)) continue;
                found.push_back({literal, m[3].str() != "+",
                                 entry.path().filename().string() + ": " + m[0].str()});
            }
        }
    }
    return found;
}

// Whether the table's Source stands for texts that start with Literal (or
// are it, when Whole): the source's fixed start up to its first marker.
bool Covers(const std::string& source, const TLiteral& literal) {
    if (literal.Whole) return source == literal.Text;
    const std::size_t marker = source.find('%');
    if (marker == std::string::npos) return false;
    const std::string head = source.substr(0, marker);
    // "Cannot " + what + " a trace ..." starts a longer fixed text.
    return literal.Text.rfind(head, 0) == 0 || head.rfind(literal.Text, 0) == 0;
}

TEST(TScreenTextsTest, TheTableKnowsEveryOperatorTextTheCoresWrite) {
    const std::vector<TLiteral> literals = CoreLiterals();
    // The scan itself works: it finds texts known to be there.
    std::set<std::string> texts;
    for (const TLiteral& literal : literals) texts.insert(literal.Text);
    ASSERT_TRUE(texts.count("Job stored")) << literals.size() << " literals found";
    ASSERT_TRUE(texts.count("Requesting to store job "));
    ASSERT_TRUE(texts.count("Box A Too small"));
    ASSERT_TRUE(texts.count("The device server at "));
    ASSERT_GT(literals.size(), 60u);

    const std::vector<std::string> sources = ScreenTextSources();
    for (const TLiteral& literal : literals) {
        bool covered = false;
        for (const std::string& source : sources) covered = covered || Covers(source, literal);
        EXPECT_TRUE(covered) << "no entry for \"" << literal.Text << "\" (" << literal.Where << ")";
    }
}

TEST(TScreenTextsTest, TheCoresNamedConstantsAreInTheTable) {
    const std::vector<std::string> sources = ScreenTextSources();
    const auto has = [&](const std::string& text) {
        return std::find(sources.begin(), sources.end(), text) != sources.end();
    };
    for (const char* text : {TimeoutMessage, ChecksumMessage, HostDefMissing})
        EXPECT_TRUE(has(text)) << text;
}

class TScreenTextsShownTest : public ::testing::Test {
protected:
    TScreenTextsShownTest() { EnsureApplication(); }
};

TEST_F(TScreenTextsShownTest, InEnglishEveryTextComesBackAsItCame) {
    for (const std::string text :
         {"Job stored", "Requesting to store job 1234", "Opened job file R360_3.oma (right eye)",
          "Cannot connect to 127.0.0.1:9: Connection refused",
          "Trace contains 5 points, but number of points is 7",
          "Something the table has never seen", "", "Requesting to store job %1 %2",
          "This will attempt to find the host\ron COM3.\r\rContinue?", "Caf\xe9 job \xff"})
        EXPECT_EQ(ScreenText(text), QString::fromLatin1(text)) << text;
}

TEST_F(TScreenTextsShownTest, InGermanAPatternKeepsItsPartsAndTheMostSpecificWins) {
    const TTranslation german(QStringLiteral("de"), QStringLiteral(TREVALON_PROGRAM_DIR));
    ASSERT_TRUE(german.Loaded());
    // Expected texts as the German translation file has them.
    EXPECT_EQ(ScreenText("Job stored"), QStringLiteral("Auftrag gespeichert"));
    EXPECT_EQ(ScreenText("Requesting to store job 1234"),
              QStringLiteral("Speichern von Auftrag 1234 wird angefragt"));
    // An argument that looks like a marker is carried as it is.
    EXPECT_EQ(ScreenText("Requesting job %2"), QStringLiteral("Auftrag %2 wird angefordert"));
    EXPECT_EQ(ScreenText("Opened job file R360_3.oma (right eye)"),
              QString::fromUtf8("Auftragsdatei R360_3.oma geöffnet (rechtes Auge)"));
    EXPECT_EQ(ScreenText("Opened job file a (left eye) b.oma"),
              QString::fromUtf8("Auftragsdatei a (left eye) b.oma geöffnet"));
    EXPECT_EQ(ScreenText("Cannot connect to [::1]:9: Connection refused"),
              QStringLiteral("Keine Verbindung zu [::1]:9: Verbindung abgelehnt"));
    EXPECT_EQ(ScreenText("Cannot connect to [::1]:9: Network is unreachable"),
              QStringLiteral("Keine Verbindung zu [::1]:9: Network is unreachable"));
    EXPECT_EQ(ScreenText("Trace contains 5 points, but number of points is 7"),
              QStringLiteral("Das Tracing enthält 5 Punkte, die Punktzahl ist aber 7"));
    EXPECT_EQ(ScreenText("An unknown text"), QStringLiteral("An unknown text"));
}

TEST(TLanguageTest, TheSettingWinsThenTheSystemsFirstShippedLanguageThenEnglish) {
    const QStringList swiss{QStringLiteral("de-CH"), QStringLiteral("fr-CH"), QStringLiteral("en")};
    EXPECT_EQ(ChosenLanguage("fr", swiss), "fr");
    EXPECT_EQ(ChosenLanguage(" PT ", swiss), "pt");
    EXPECT_EQ(ChosenLanguage("en", swiss), "en");
    EXPECT_EQ(ChosenLanguage("System", swiss), "de");
    EXPECT_EQ(ChosenLanguage("", swiss), "de");
    EXPECT_EQ(ChosenLanguage("nl", swiss), "de");  // a language that does not ship
    EXPECT_EQ(ChosenLanguage("", {QStringLiteral("pt_BR")}), "pt");
    EXPECT_EQ(ChosenLanguage("", {QStringLiteral("nl-NL"), QStringLiteral("it-IT")}), "it");
    EXPECT_EQ(ChosenLanguage("", {QStringLiteral("en-US"), QStringLiteral("de-DE")}), "en");
    EXPECT_EQ(ChosenLanguage("", {QStringLiteral("ja-JP")}), "en");
    EXPECT_EQ(ChosenLanguage("", {}), "en");
}

TEST_F(TScreenTextsShownTest, EnglishAndAMissingFileInstallNothing) {
    {
        const TTranslation english(QStringLiteral("en"), QStringLiteral(TREVALON_PROGRAM_DIR));
        EXPECT_FALSE(english.Loaded());
        EXPECT_EQ(ScreenText("Job stored"), QStringLiteral("Job stored"));
    }
    {
        const TTranslation nowhere(QStringLiteral("de"), QStringLiteral("/nonexistent"));
        EXPECT_FALSE(nowhere.Loaded());
        EXPECT_EQ(ScreenText("Job stored"), QStringLiteral("Job stored"));
    }
    {
        const TTranslation german(QStringLiteral("de"), QStringLiteral(TREVALON_PROGRAM_DIR));
        EXPECT_TRUE(german.Loaded());
    }
    // Gone with the object: the next tests run in English.
    EXPECT_EQ(ScreenText("Job stored"), QStringLiteral("Job stored"));
}

}  // namespace
