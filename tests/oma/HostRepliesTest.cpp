// The host reply readers over the golden replies of tests/data/replies (the
// lab host simulator's answers and fault modes, and the protocol's worked
// examples), their every prefix and bit flips, and a reference reading with
// the reply patterns themselves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>

#include "oma/HostPackets.h"
#include "oma/HostReplies.h"
#include "oma/OMAMach.h"
#include "oma/OmaTrace.h"
#include "oma/ReplyMatcher.h"

namespace {

using namespace std::string_literals;

const std::filesystem::path RepliesDir =
    std::filesystem::path(TREVALON_TEST_DATA_DIR) / ".." / "data" / "replies";

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Reply(const std::string& name) {
    const std::string bytes = ReadBytes(RepliesDir / (name + ".reply"));
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

// The digits of the reply's checksum record.
std::string CrcDigits(const std::string& reply) {
    const std::size_t at = reply.find("CRC=") + 4;
    return reply.substr(at, reply.find('\r', at) - at);
}

// The first trace of the sample job, read the plain way: the R lines after
// its first TRCFMT record, up to its point count.
std::string SampleTrace() {
    std::istringstream lines(ReadBytes(std::filesystem::path(TREVALON_SAMPLES_DIR) / "R360_3.oma"));
    std::string line;
    while (std::getline(lines, line) && line.rfind("TRCFMT=", 0) != 0) {
    }
    std::string radii;
    while (std::getline(lines, line) && line.rfind("R=", 0) == 0 && radii.size() < 360 * 4)
        for (char c : line)
            if (c >= '0' && c <= '9') radii += c;
    return radii;
}

// One reader applied to a reply, its result as text: "ok ...", or the kind
// of failure and its text.
using TReader = std::function<std::string(const std::string& reply)>;

std::string Outcome(const std::function<std::string()>& read) {
    try {
        return "ok" + read();
    } catch (const EJobNotFound& e) {
        return std::string("not found: ") + e.what();
    } catch (const EReplyNotUnderstood& e) {
        return std::string("not understood: ") + e.what();
    } catch (const EReplyUnreadable& e) {
        return std::string("unreadable: ") + e.what();
    } catch (const std::runtime_error& e) {
        return std::string("failed: ") + e.what();
    }
}

std::string Answer(const std::string& reply) {
    return IsHostAnswer(reply) ? "answer" : "no answer";
}
std::string Init(const std::string& reply) {
    return Outcome([&] { return ReadInitAnswer(reply), std::string(); });
}
std::string Definition(const std::string& reply) {
    return Outcome([&] {
        const THostDefinition d = ReadHostDefinition(reply);
        return " def=" + d.HostDef + " format=" + d.Trace.Format + " count=" + d.Trace.PointCount;
    });
}
std::string StoreInit(const std::string& reply) {
    return Outcome([&] { return ReadStoreInitAnswer(reply), std::string(); });
}
std::string StoreDefinition(const std::string& reply) {
    return Outcome([&] {
        const std::optional<std::string> def = ReadStoreDefinition(reply);
        return def ? " def=" + *def : std::string(" no def");
    });
}
TReader Grant(const std::string& formatReplyName) {
    return [formatReplyName](const std::string& reply) {
        const std::string formatReply = formatReplyName.empty() ? reply : Reply(formatReplyName);
        return Outcome([&] {
            const std::optional<TTraceFormat> f = ReadStoreGrant(reply, formatReply);
            return f ? " format=" + f->Format + " count=" + f->PointCount : std::string(" none");
        });
    };
}
std::string Verdict(const std::string& reply) {
    return Outcome([&] { return ReadStoreVerdict(reply), std::string(); });
}
TReader Job(const std::string& def, const std::string& count) {
    return [def, count](const std::string& reply) {
        return Outcome([&] {
            const TJobData job = ReadJobReply(reply, def, count);
            std::ostringstream text;
            text << " format=" << job.Format << " count=" << job.PointCount
                 << " points=" << job.Radii.size() / 4 << " dbl=" << job.DBL
                 << " records=" << job.Records.size();
            return text.str();
        });
    };
}

struct TGolden {
    const char* File;
    TReader Read;
    std::string Expected;  // "$CRC" stands for the reply's checksum digits
};

const std::string PositiveMissing = "failed: Did not get positive response from host";

std::vector<TGolden> GoldenTable() {
    return {
        {"example-search-answer", Answer, "answer"},
        {"example-search-spaces", Answer, "answer"},
        {"example-search-lower", Answer, "no answer"},
        {"example-search-other", Answer, "no answer"},
        {"init-fmt1", Answer, "answer"},
        {"grant-ok", Answer, "no answer"},

        {"init-fmt1", Init, "ok"},
        {"init-def12", Init, "ok"},
        {"init-status-fault", Init, "failed: Did not receive status 0 on init"},
        {"example-init-status10", Init, "ok"},
        {"example-init-crc0", Init, "ok"},
        {"storeinit-ok", Init, "ok"},
        {"grant-ok", Init, "failed: Did not receive status 0 on init"},

        {"edger-fmt1", Definition, "ok def=7 format=4 count=512"},
        {"edger-def12", Definition, "ok def=12 format=1 count=400"},
        {"edger-status-fault", Definition, "failed: Did not receive DEF from host (init 2)"},
        {"example-edger-quoted12", Definition, "ok def=12 format=4 count=512"},
        {"example-edger-initreq", Definition, "ok def=4 format=4 count=512"},
        {"example-edger-def7", Definition, "ok def=7 format=4 count=512"},
        {"example-edger-format5", Definition, "failed: Did not receive TRCFMT from host (init 2)"},
        {"example-edger-format0", Definition, "failed: Did not receive TRCFMT from host (init 2)"},

        {"storeinit-ok", StoreInit, "ok"},
        {"storeinit-noinit", StoreInit, "ok"},
        {"example-storeinit-01", StoreInit, PositiveMissing},
        {"example-storeinit-0cr", StoreInit, "ok"},
        {"init-status-fault", StoreInit, PositiveMissing},

        {"tracer-ok", StoreDefinition, "ok def=8"},
        {"tracer-abc", StoreDefinition, "ok def=ABC"},
        {"tracer-status-fault", StoreDefinition, PositiveMissing},
        {"example-tracer-plain", StoreDefinition, "ok def=ABC"},
        {"example-tracer-quoted", StoreDefinition, "ok def=$CRC"},
        {"storeinit-ok", StoreDefinition, "ok no def"},

        {"grant-ok", Grant("tracer-ok"), "ok format=1 count=400"},
        {"grant-abc", Grant("tracer-abc"), "ok format=3 count=500"},
        {"grant-noinit", Grant(""), "ok format=1 count=400"},
        {"grant-ok", Grant("storeinit-ok"), "ok none"},
        {"grant-status-fault", Grant("tracer-status-fault"), PositiveMissing},
        {"grant-refused", Grant("tracer-refused"), "ok format=1 count=400"},

        {"verdict-ok", Verdict, "ok"},
        {"verdict-abc", Verdict, "ok"},
        {"verdict-noinit", Verdict, "ok"},
        {"verdict-refused", Verdict, "failed: Job locked"},
        {"verdict-status-fault", Verdict,
         "failed: \x1e"
         "CRC=$CRC"},
        {"example-verdict-ok", Verdict, "ok"},
        {"example-verdict-locked", Verdict, "failed: Job locked"},
        {"example-verdict-bare3", Verdict,
         "failed: \x1e"
         "CRC=$CRC"},
        {"example-verdict-nostatus", Verdict, "failed: Did not store the shape to the host"},

        // 202 labels; five records with a space in their value are not collected.
        {"job-fmt1", Job("7", "512"), "ok format=1 count=360 points=360 dbl=20 records=197"},
        {"job-fmt2", Job("7", "512"), "ok format=2 count=360 points=360 dbl=20 records=197"},
        {"job-fmt3", Job("7", "512"), "ok format=3 count=360 points=360 dbl=20 records=197"},
        {"job-fmt4", Job("7", "512"), "ok format=4 count=360 points=360 dbl=20 records=197"},
        {"job-fmt1", Job("12", "512"), "not understood: Did not understand response from host"},
        {"job-def12", Job("12", "400"), "not found: Tray nosuchtray not found"},
        {"job-status-fault", Job("7", "360"), "not found: Job locked"},
        {"job-hangup", Job("7", "512"), "failed: Trace type  is unsupported"},
        {"example-job-nosuchtray", Job("7", "400"), "not found: No such tray"},
        {"example-job-status1", Job("7", "400"), "not found: Job not found/not available"},
        {"example-job-nostatus", Job("7", "400"), "not found: Job not found/not available"},
        {"example-job-notrcfmt", Job("7", "400"), "failed: Cannot find trace data"},
        {"example-job-notrcfmt-r", Job("7", "2"), "failed: Trace type  is unsupported"},
        {"example-job-equals", Job("7", "400"), "ok format=1 count=2 points=2 dbl=0 records=5"},
    };
}

std::string WithCrc(std::string expected, const std::string& reply) {
    if (const std::size_t at = expected.find("$CRC"); at != std::string::npos)
        expected.replace(at, 4, CrcDigits(reply));
    return expected;
}

}  // namespace

TEST(HostReplies, GoldenRepliesReadAsExpected) {
    for (const TGolden& row : GoldenTable()) {
        const std::string reply = Reply(row.File);
        EXPECT_EQ(row.Read(reply), WithCrc(row.Expected, reply)) << row.File;
    }
}

TEST(HostReplies, JobRepliesOfEveryFormatGiveTheSampleTraceAndRecords) {
    const std::string expected = SampleTrace();
    ASSERT_EQ(expected.size(), 360u * 4);
    for (const char* name : {"job-fmt1", "job-fmt2", "job-fmt3", "job-fmt4"}) {
        SCOPED_TRACE(name);
        const std::string reply = Reply(name);
        const TJobData job = ReadJobReply(reply, "7", "512");
        EXPECT_EQ(job.Radii, expected);
        EXPECT_EQ(job.DBL, 20.0);
        ASSERT_FALSE(job.Records.empty());
        EXPECT_EQ(job.Records.front(), "ANS=7");
        EXPECT_EQ(job.Records.back(), "CRC=" + CrcDigits(reply));
        for (const std::string& line : job.Records)
            EXPECT_TRUE(line.rfind("R=", 0) != 0 && line.rfind("Z=", 0) != 0) << line;
        EXPECT_NE(std::find(job.Records.begin(), job.Records.end(), "HBOX=51.00;51.00"),
                  job.Records.end());
    }
}

TEST(HostReplies, RecordLabelsRunToTheLastEqualsSignAndRepeatsReplaceInPlace) {
    const std::string reply = Reply("example-job-equals");
    const TJobData job = ReadJobReply(reply, "7", "400");
    EXPECT_EQ(job.Records,
              (std::vector<std::string>{"ANS=7", "STATUS=0", "foo=3", "TRCFMT=1;2;E;R;F",
                                        "CRC=" + CrcDigits(reply)}));
    EXPECT_EQ(job.Radii, "25002500");
}

// A record label may hold "=": the record line "R=y=z" it would make is
// trace data to whoever reads the records back (the job stored to the host).
TEST(HostReplies, RecordsNamedAsTraceDataByALabelWithEqualsAreNotKept) {
    const TJobData job = ReadJobData("TRCFMT=1;1;\rx R=y=z\rx Z\x01=1=2\rx Q=y=z\rR=1234\r", "");
    EXPECT_EQ(job.Records, (std::vector<std::string>{"TRCFMT=1;1;", "Q=y=z"}));
    EXPECT_EQ(job.Radii, "1234");
}

// Job data as an OMA job file holds it: no ANS or STATUS, the count agreed
// before used only without a TRCFMT record.
TEST(HostReplies, JobDataOfAFileReadsWithoutTheConversationRecords) {
    const std::string file = ReadBytes(std::filesystem::path(TREVALON_SAMPLES_DIR) / "R360_3.oma");
    const TJobData job = ReadJobData(file, "");
    EXPECT_EQ(job.Format, "1");
    EXPECT_EQ(job.PointCount, "360");
    EXPECT_EQ(job.Radii, SampleTrace());
    EXPECT_EQ(job.DBL, 20.0);

    const TJobData plain = ReadJobData("TRCFMT=1;2;\rR=0100;0200\rDBL=17.5\r", "");
    EXPECT_EQ(plain.Radii, "01000200");
    EXPECT_EQ(plain.DBL, 17.5);
    EXPECT_EQ(plain.Records, (std::vector<std::string>{"TRCFMT=1;2;", "DBL=17.5"}));
}

// A format 1 trace must give exactly four digits a point: a radius written
// with five digits, or a lost digit made up from the next trace's lines.
TEST(HostReplies, FormatOneTraceNeedsExactlyFourDigitsAPoint) {
    const struct {
        const char* Name;
        std::string Data;
        std::string Message;  // empty: read
    } rows[] = {
        {"exact", "TRCFMT=1;3;E;R;F\rR=1000;2000;3000\r", ""},
        {"exact over two lines", "TRCFMT=1;3;E;R;F\rR=1000;2000\rR=3000\rR=9999\r", ""},
        {"five-digit radius", "TRCFMT=1;3;E;R;F\rR=1000;20000;3000\r",
         "Trace data has 13 digits, but 3 points need 12"},
        {"lost digit made up from the next eye",
         "TRCFMT=1;3;E;R;F\rR=1000;200;3000\rTRCFMT=1;3;E;L;F\rR=4000;5000;6000\r",
         "Trace contains 5 points, but number of points is 3"},
        {"three digits short", "TRCFMT=1;3;E;R;F\rR=1000;2000;300\r",
         "Trace contains 2 points, but number of points is 3"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        if (row.Message.empty()) {
            EXPECT_EQ(ReadJobData(row.Data, "").Radii, "100020003000");
        } else {
            try {
                ReadJobData(row.Data, "");
                ADD_FAILURE() << "read";
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), row.Message);
            }
        }
    }
}

// Hostile verdicts the pattern could only read past the matcher's bounds
// read as the pattern reads them, with no bound.
TEST(HostReplies, HostileVerdictsReadAsThePattern) {
    const std::string longText = "\x1cSTATUS=1 " + std::string(600000, 'a');
    EXPECT_EQ(Verdict(longText + "\x1d"), "failed: Did not store the shape to the host");
    EXPECT_EQ(Verdict(longText + "\r"), "failed: " + std::string(600000, 'a'));
    std::string records;
    for (int i = 0; i < 20000; ++i) records += "STATUS=1;\"x";
    EXPECT_EQ(Verdict(records), "failed: Did not store the shape to the host");
    // The operator's text ends at a NUL byte; an empty one is no text.
    EXPECT_EQ(Verdict("STATUS=9 Job\0locked\r"s), "failed: Job");
    EXPECT_EQ(Verdict("STATUS=9\0DEF=8\r"s), "failed: Did not store the shape to the host");
    // Only the last record reaches the line end without crossing a quote.
    EXPECT_EQ(Verdict(records + "\n"), "failed: x");
}

// ---------------------------------------------------------------------------
// Reference readings with the reply patterns themselves, as plainly as they
// are written, to hold the readers' linear scanners to the patterns.

namespace {

struct TReference {
    std::vector<std::string> Records;
    std::string Radii;
    double DBL = 0;
    bool HasTrace = false;
};

// The record list rule: first line of a name (any letter case) replaced in
// place, new ones appended, an empty value removes.
void SetRecord(std::vector<std::string>& records, const std::string& label,
               const std::string& value) {
    auto upper = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    };
    for (auto it = records.begin(); it != records.end(); ++it) {
        if (upper(it->substr(0, it->find('='))) != upper(label)) continue;
        if (value.empty())
            records.erase(it);
        else
            *it = label + "=" + value;
        return;
    }
    if (!value.empty()) records.push_back(label + "=" + value);
}

// The records, the format 1 digits, the DBL line and trace line of job data.
TReference ReferenceLines(const std::string& data, bool format1, std::size_t maxDigits) {
    TReference ref;
    ref.DBL = format1 ? 0 : -99.9;
    TReplyMatcher m(TReplyMatcher::mbUnbounded);
    std::string rest = data;
    while (!rest.empty()) {
        const std::string line = ExtractLine(rest);
        const std::string subject = "\r" + line + "\r";
        const std::size_t equals = line.find('=');
        const std::string head =
            equals == std::string::npos ? "" : TrimControl(line.substr(0, equals));
        if (head != "R" && head != "Z" && m.Match(R"((\S*)\s*=\s*(\S*)[\r\n])", subject)) {
            // The record is named by its text before its first "=".
            const std::string label = TrimControl(m.Group(1));
            const std::string own = TrimControl(label.substr(0, label.find('=')));
            if (own != "R" && own != "Z") SetRecord(ref.Records, label, TrimControl(m.Group(2)));
        }
        if (format1 && ref.Radii.size() / 4 < maxDigits / 4 &&
            m.Match(R"([\n\r]\s*R\s*=\s*(.*)[\r\n])", subject))
            ref.Radii += KeepDigits(TrimControl(m.Group(1)));
        if (m.Match(R"(DBL\s*=\s*([0-9\.]+)\s*[\n\r])", line + "\r"))
            if (auto dbl = ReadWireNumber(m.Group(1))) ref.DBL = *dbl;
        if (m.Match(R"(\s*R\s*=)", line)) ref.HasTrace = true;
    }
    return ref;
}

std::optional<std::string> ReferenceEdgerDef(const std::string& reply) {
    TReplyMatcher m(TReplyMatcher::mbUnbounded);
    if (!m.Match(R"(DEF\s*=\D*(\d+)\D)", reply)) return std::nullopt;
    return m.Group(1);
}

std::optional<std::string> ReferenceTracerDef(const std::string& reply) {
    TReplyMatcher m(TReplyMatcher::mbUnbounded);
    if (!m.Match(R"([\n\r]DEF\s*=.*?;?\s*([0-9A-Za-z]+)\s*[\r\n])", reply)) return std::nullopt;
    return m.Group(1);
}

// ReadStoreVerdict's outcome read with its pattern.
std::string ReferenceVerdict(const std::string& reply) {
    TReplyMatcher m(TReplyMatcher::mbUnbounded);
    if (m.Match(R"re(STATUS\s*=\s*(\d+)\s*;?\s*"?([^"]*)"?\s*[\n\r])re", reply) &&
        m.Group(1) == "0")
        return "ok";
    // The exception's text ends at a NUL byte.
    const std::string text = m.Group(2).c_str();
    return "failed: " + (text.empty() ? "Did not store the shape to the host" : text);
}

bool ReferenceInit(const std::string& reply) {
    TReplyMatcher m(TReplyMatcher::mbUnbounded);
    return m.Match(R"(ANS.*=.*INI.*STATUS.*=.*0\D)", reply);
}

// Compares the readers with the reference on one input.
void ExpectSameAsPatterns(const std::string& input) {
    EXPECT_EQ(Init(input) == "ok", ReferenceInit(input));
    EXPECT_EQ(Verdict(input), ReferenceVerdict(input));

    const std::optional<std::string> edger = ReferenceEdgerDef(input);
    try {
        EXPECT_EQ(ReadHostDefinition(input).HostDef, edger.value_or("<none>"));
    } catch (const std::runtime_error& e) {
        if (std::string(e.what()) == "Did not receive DEF from host (init 2)") {
            EXPECT_FALSE(edger);
        }
    }

    TReplyMatcher m(TReplyMatcher::mbUnbounded);
    if (m.Match(R"(STATUS\s*=\s*0[\s\D])", input)) {
        EXPECT_EQ(ReadStoreDefinition(input), ReferenceTracerDef(input));
    }

    // Format 1 digits, with a count larger than any trace here.
    const TReference ref = ReferenceLines("TRCFMT=1;9999;\r" + input, true, 9999 * 4);
    try {
        ReadJobData("TRCFMT=1;9999;\r" + input, "");
        ADD_FAILURE() << "a trace of 9999 points";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Trace contains " + std::to_string(ref.Radii.size() / 4) +
                                             " points, but number of points is 9999");
    }
    // The records, with a one-point trace that reads unless the data's own R
    // lines come first.
    const std::string data = "TRCFMT=1;1;\r" + input + "\rR=1234\r";
    const TReference withTrace = ReferenceLines(data, true, 4);
    if (withTrace.Radii.size() == 4) {
        const TJobData job = ReadJobData(data, "");
        EXPECT_EQ(job.Records, withTrace.Records);
        EXPECT_EQ(job.Radii, withTrace.Radii);
    } else {
        EXPECT_THROW(ReadJobData(data, ""), std::runtime_error);
    }
    // The DBL lines of formats 2 to 4: an empty format 3 trace always reads.
    const std::string binary = "TRCFMT=3;0;\r" + input + "\rR=\r";
    const TReference lines = ReferenceLines(binary, false, 0);
    double dbl = lines.DBL;
    for (const std::string& line : lines.Records) {
        std::string name = line.substr(0, line.find('='));
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (name != "DBL") continue;
        if (auto value = ReadWireNumber(line.substr(4)); value && line.size() > 4) dbl = *value;
        break;
    }
    EXPECT_EQ(ReadJobData(binary, "").DBL, dbl);
    // Whether any line is a trace line, when the data names no format.
    if (!m.Match(R"(TRCFMT\s*=\s*([1234])\s*;\s*([\d]+)\s*;)", input)) {
        try {
            ReadJobData(input, "1");
            ADD_FAILURE() << "read without a format";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), ReferenceLines(input, false, 0).HasTrace
                                                 ? "Trace type  is unsupported"
                                                 : "Cannot find trace data");
        }
    }
}

std::vector<std::string> GoldenNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(RepliesDir))
        if (entry.path().extension() == ".reply") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(HostReplies, ScannersAgreeWithThePatternsOnGoldenRepliesAndTheirDamage) {
    for (const std::string& name : GoldenNames()) {
        SCOPED_TRACE(name);
        const std::string reply = Reply(name);
        ExpectSameAsPatterns(reply);
        // Bit flips: one bit of every byte, a different bit from byte to byte.
        // Long job replies: a dozen of their bytes, spread over the whole
        // reply; there are scores of them, and every byte would take minutes.
        const std::size_t step = reply.size() > 400 ? reply.size() / 12 : 1;
        for (std::size_t i = 0; i < reply.size(); i += step) {
            std::string damaged = reply;
            damaged[i] = static_cast<char>(damaged[i] ^ (1 << (i % 8)));
            ExpectSameAsPatterns(damaged);
        }
    }
}

TEST(HostReplies, ScannersAgreeWithThePatternsOnRandomLines) {
    // Lines made of the bytes the patterns care about.
    const std::string alphabet = std::string("= \t\fRD BLaEF;\"0123.\r\n") + FS + RS;
    std::mt19937 random(12);
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        SCOPED_TRACE(::testing::PrintToString(text));
        ExpectSameAsPatterns(text);
        ExpectSameAsPatterns("DEF=" + text);
        ExpectSameAsPatterns("\rDEF=" + text + "STATUS=0 ");
        ExpectSameAsPatterns("DBL=" + text);
        if (HasFailure()) return;
    }
}

TEST(HostReplies, VerdictScannerAgreesWithThePatternOnRandomRecords) {
    // Texts of the pieces the verdict pattern tells apart.
    const std::vector<std::string> pieces = {"STATUS", "=", " ",  "\t", "\r",   "\n",
                                             "\f",     ";", "\"", "0",  "12",   "a",
                                             "\x1e",   "\v", "S", "T",  "\0"s};
    std::mt19937 random(31);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 16);
        for (int i = 0; i < length; ++i) text += pieces[random() % pieces.size()];
        if (random() % 2 == 0) text = "STATUS=" + text;
        SCOPED_TRACE(::testing::PrintToString(text));
        EXPECT_EQ(Verdict(text), ReferenceVerdict(text));
        if (HasFailure()) return;
    }
}

// Every prefix of a reply, as a reply cut short by a hung-up line would be
// read: each either fails with one of the reader's messages or reads what the
// whole reply reads.
TEST(HostReplies, EveryPrefixFailsCleanlyOrReadsAsTheWhole) {
    for (const TGolden& row : GoldenTable()) {
        SCOPED_TRACE(row.File);
        const std::string reply = Reply(row.File);
        const std::string whole = row.Read(reply);
        for (std::size_t n = 0; n<reply.size(); n += reply.size()> 600 ? 3 : 1) {
            const std::string prefix = reply.substr(0, n);
            const std::string outcome = row.Read(prefix);
            if (outcome.rfind("ok", 0) == 0 && whole.rfind("ok", 0) == 0 &&
                outcome.find("records=") != std::string::npos) {
                // The records of a cut reply lose its end; the trace must not change.
                EXPECT_EQ(outcome.substr(0, outcome.find("records=")),
                          whole.substr(0, whole.find("records=")))
                    << n;
                continue;
            }
            const bool cleanFailure =
                outcome.rfind("failed: ", 0) == 0 || outcome.rfind("not found: ", 0) == 0 ||
                outcome.rfind("not understood: ", 0) == 0 || outcome == "no answer";
            EXPECT_TRUE(cleanFailure || outcome == whole || outcome == "ok none" ||
                        outcome == "ok no def")
                << n << ": " << outcome;
        }
    }
}

// The host's own STATUS record as scripts are told it: the code and the text
// on its line, without quotes, whatever step the reply answers.
TEST(HostReplies, TheHostsStatusIsReadFromAnyReply) {
    struct TRow {
        std::string Reply;
        std::optional<THostStatus> Status;
    } rows[] = {
        {"\x1c" "ANS=INI\rSTATUS=1;\"Tray L424775600 not found\"\r\x1e" "CRC=1\r\x1d",
         THostStatus{1, "Tray L424775600 not found"}},
        {"\x1c" "ANS=DEF\nSTATUS = 0\nDEF=x\n\x1e\x1d", THostStatus{0, ""}},
        {"STATUS=3 Job locked  \r\n", THostStatus{3, "Job locked"}},
        {"STATUS=2;\r\nJOB=\"7\"\r", THostStatus{2, ""}},  // the next line is not its text
        {"STATUS=12\x1e", THostStatus{12, ""}},
        {"STATUS=x\rSTATUS=5;\"late\"\r", THostStatus{5, "late"}},  // the first readable one
        {"STATUS=\r", std::nullopt},
        {"STATUS=1234567890123\r", std::nullopt},  // no status has so many digits
        {"ANS=INI\r", std::nullopt},
        {"", std::nullopt},
    };
    for (const TRow& row : rows) {
        const std::optional<THostStatus> status = HostStatusOf(row.Reply);
        ASSERT_EQ(status.has_value(), row.Status.has_value()) << row.Reply;
        if (!status) continue;
        EXPECT_EQ(status->Code, row.Status->Code) << row.Reply;
        EXPECT_EQ(status->Text, row.Status->Text) << row.Reply;
    }
}
