// Job files keep what the program does not change: every sample saved with
// new box values matches its expected file (tests/data/jobfiles, written by
// the script beside them), and each way a file used to lose data has its case.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "oma/JobFile.h"
#include "oma/OmaTrace.h"
#include "tests/files/FileTestData.h"

namespace fs = std::filesystem;

namespace {

// The lines of Text, whatever their line ends.
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

long CountLines(const std::string& text, const std::string& line) {
    const std::vector<std::string> lines = LinesOf(text);
    return std::count(lines.begin(), lines.end(), line);
}

// Saves text as the window does after an edit that leaves the outline as it
// was: the first trace as read, in format 1 at its own count, with the given
// box values and the file's DBL.
std::string SaveWithBoxes(const std::string& text, double hbox = 12.34, double vbox = 23.45,
                          double circ = 145.67) {
    const TJobFileData data = ParseJobFile(text);
    return RewriteJobFile(data.File, TJobFileShape{data.Radii, hbox, vbox, circ, data.DBL}, 1);
}

class TSavedSampleTest : public ::testing::TestWithParam<const char*> {};

TEST_P(TSavedSampleTest, HoldsEveryLineOfTheSampleExceptTheShownEyesBoxes) {
    const std::string name = GetParam();
    const std::string saved = SaveWithBoxes(ReadJobFileBytes(SamplePath(name.c_str())));
    const fs::path expected =
        fs::path(TREVALON_JOBFILES_DIR) / (name.substr(0, name.find('.')) + ".saved.oma");
    ASSERT_TRUE(fs::exists(expected)) << expected;
    const std::vector<std::string> want = LinesOf(ReadWholeFile(expected));
    const std::vector<std::string> got = LinesOf(saved);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i + 1;
    EXPECT_EQ(saved, ReadWholeFile(expected));
}

TEST_P(TSavedSampleTest, SavingTwiceGivesTheSameFileAndShape) {
    const std::string text = ReadJobFileBytes(SamplePath(GetParam()));
    const std::string once = SaveWithBoxes(text);
    const std::string twice = SaveWithBoxes(once);
    EXPECT_EQ(twice, once);
    const TJobFileData first = ParseJobFile(text);
    const TJobFileData again = ParseJobFile(once);
    EXPECT_EQ(again.Radii, first.Radii);
    // The record list holds the same records, but for the shape's box values.
    for (const std::string& record : first.Records) {
        const std::string label = record.substr(0, record.find('='));
        if (label == "HBOX" || label == "VBOX" || label == "CIRC") continue;
        EXPECT_NE(std::find(again.Records.begin(), again.Records.end(), record), again.Records.end())
            << record;
    }
    EXPECT_EQ(again.File.TraceCount(), first.File.TraceCount());
    EXPECT_EQ(again.Eye, first.Eye);
    EXPECT_EQ(again.Type, first.Type);
}

INSTANTIATE_TEST_SUITE_P(Samples, TSavedSampleTest,
                         ::testing::Values("R360_1.oma", "R360_2.oma", "R360_3.oma",
                                           "R1000_1.oma", "R1000_2.oma", "R1000_3.oma",
                                           "STHKFMT.oma"),
                         [](const auto& row) {
                             const std::string name = row.param;
                             return name.substr(0, name.find('.'));
                         });

// ---- What was lost before ---------------------------------------------------

const std::string LeftPattern =
    "JOB=77\n"
    "HBOX=40.00;41.00\n"
    "TRCFMT=1;10;E;L;P\n"
    "R=2500;2510;2520;2530;2540;2550;2560;2570;2580;2590\n";

TEST(TJobFileKeepTest, TheOtherEyesTraceIsWrittenBack) {
    const std::string text = ReadJobFileBytes(SamplePath("R360_1.oma"));
    const std::string saved = SaveWithBoxes(text);
    const std::size_t left = saved.find("TRCFMT=1;360;E;L;F\n");
    ASSERT_NE(left, std::string::npos);
    const std::size_t leftInSample = text.find("TRCFMT=1;360;E;L;F\n");
    // The left trace's 36 R records follow, as in the sample.
    std::string sampleBlock = text.substr(leftInSample, text.find("UNI=", leftInSample) - leftInSample);
    std::string savedBlock = saved.substr(left, saved.find("UNI=", left) - left);
    std::erase(savedBlock, '\r');
    EXPECT_EQ(savedBlock, sampleBlock);
    EXPECT_EQ(ParseJobFile(saved).File.TraceCount(), 2);
}

TEST(TJobFileKeepTest, ALeftEyePatternKeepsItsEyeAndType) {
    const TJobFileData data = ParseJobFile(LeftPattern);
    EXPECT_EQ(data.Eye, "L");
    EXPECT_EQ(data.Type, "P");
    // An edit: the shape grows by 1 mm everywhere.
    std::string radii;
    for (int i = 0; i < 10; ++i) radii += FormatGroup(2600 + 10 * i);
    const std::string saved = RewriteJobFile(data.File, TJobFileShape{radii, 52.5, 30, 160, 0}, 1);
    // In the file's own line ends; no box the job did not state is added.
    EXPECT_EQ(saved,
              "JOB=77\n"
              "HBOX=40.00;52.50\n"
              "TRCFMT=1;10;E;L;P\n"
              "R=2600;2610;2620;2630;2640;2650;2660;2670;2680;2690\n");
    // In format 4 too.
    const TJobFileData again =
        ParseJobFile(RewriteJobFile(data.File, TJobFileShape{radii, 52.5, 30, 160, 0}, 4));
    EXPECT_EQ(again.Eye, "L");
    EXPECT_EQ(again.Type, "P");
    EXPECT_EQ(again.Format, 4);
    EXPECT_EQ(again.Radii, radii);
}

TEST(TJobFileKeepTest, BoxValuesArePairsOfTheirEyes) {
    // The right eye's edit keeps the left eye's stated value.
    const std::string saved = SaveWithBoxes(ReadJobFileBytes(SamplePath("R360_3.oma")), 50, 40, 140);
    EXPECT_EQ(CountLines(saved, "HBOX=50.00;51.00"), 1);
    EXPECT_EQ(CountLines(saved, "VBOX=40.00;44.01"), 1);
    EXPECT_EQ(CountLines(saved, "CIRC=140.00;150.759"), 1);
    // A record of one value keeps it for the other eye; a missing one stays missing.
    const std::string r1000 = SaveWithBoxes(ReadJobFileBytes(SamplePath("R1000_1.oma")), 50, 40, 140);
    EXPECT_EQ(CountLines(r1000, "CIRC=140.00;150.85"), 1);
    for (const std::string& line : LinesOf(r1000)) EXPECT_NE(line.rfind("HBOX=", 0), 0u) << line;
}

TEST(TJobFileKeepTest, RepeatedRecordsAreAllKeptInOrder) {
    const std::string text = ReadJobFileBytes(SamplePath("R1000_3.oma"));
    const std::vector<std::string> saved = LinesOf(SaveWithBoxes(text));
    std::vector<std::string> drills;
    for (const std::string& line : saved)
        if (line.rfind("DRILLE=", 0) == 0) drills.push_back(line);
    const std::vector<std::string> expected = {
        "DRILLE=B;C;-22.00;3.25;1.40;-22.00;3.25;0;1;F",
        "DRILLE=B;C;-19.00;3.40;1.40;-19.00;3.40;0;1;F",
        "DRILLE=B;C;19.00;4.35;1.40;19.00;4.35;0;1;F",
        "DRILLE=B;C;22.00;4.35;1.40;22.00;4.35;0;1;F"};
    EXPECT_EQ(drills, expected);
    const std::string r360 = SaveWithBoxes(ReadJobFileBytes(SamplePath("R360_3.oma")));
    EXPECT_EQ(CountLines(r360, "XSTATUS=R;1110;External module returns warning;W"), 1);
    EXPECT_EQ(CountLines(r360, "XSTATUS=L;1110;External module returns warning;W"), 1);
    EXPECT_EQ(CountLines(r360, "_ENGPNT=R;-21.68,-5.99,3.23;12.32,-5.99,1.33"), 1);
    EXPECT_EQ(CountLines(r360, "_ENGPNT=L;-12.29,-5.97,1.21;21.71,-5.97,2.62"), 1);
}

TEST(TJobFileKeepTest, AThicknessBlockSurvivesWhole) {
    const std::string text = ReadJobFileBytes(SamplePath("STHKFMT.oma"));
    const std::string saved = SaveWithBoxes(text);
    for (const char* head : {"STHKFMT=1;72;E;R\n", "STHKFMT=1;72;E;L\n"}) {
        const std::size_t at = text.find(head);
        ASSERT_NE(at, std::string::npos);
        // The block: its head, 8 R and 8 T records.
        std::size_t end = at;
        for (int line = 0; line < 17; ++line) end = text.find('\n', end) + 1;
        EXPECT_NE(saved.find(text.substr(at, end - at)), std::string::npos) << head;
    }
    EXPECT_EQ(CountLines(saved, "T=0163;0163"), 1);
    EXPECT_EQ(CountLines(saved, "T=0359;0354"), 1);
    // A Z block is written back too.
    const std::string withZ = LeftPattern + "ZFMT=1;2;E;L\nZ=0010;0020\n";
    EXPECT_NE(SaveWithBoxes(withZ).find("ZFMT=1;2;E;L\nZ=0010;0020\n"), std::string::npos);
}

TEST(TJobFileKeepTest, BlanksInValuesAreKeptByteForByte) {
    const std::string saved = SaveWithBoxes(ReadJobFileBytes(SamplePath("R360_3.oma")));
    EXPECT_EQ(CountLines(saved, "TEXT_11= ;"), 1);
    EXPECT_EQ(CountLines(saved, "_OCONTROLS=  1      1                    ;  1      1"), 1);
}

TEST(TJobFileKeepTest, UnpaddedFormatOneValuesReadAsTheirValues) {
    const TJobFileData data = ParseJobFile("TRCFMT=1;5;E;R;F\nR=802;798;794\nR= 7 ;1000;\n");
    EXPECT_EQ(data.Radii, "08020798079400071000");
    // 400 values below 10 mm, as other tools write them.
    std::string text = "TRCFMT=1;400;E;R;F\n";
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        text += "R=";
        for (int j = 0; j < 10; ++j) {
            const int value = 700 + (i * 10 + j) % 250;
            text += (j ? ";" : "") + std::to_string(value);
            expected += FormatGroup(value);
        }
        text += "\n";
    }
    EXPECT_EQ(ParseJobFile(text).Radii, expected);
    // The same trace stays as written; a changed one is written with four digits a value.
    EXPECT_NE(SaveWithBoxes(text).find("R=700;701;702"), std::string::npos);
    const TJobFileData read = ParseJobFile(text);
    const std::string turned = read.Radii.substr(4) + read.Radii.substr(0, 4);
    const std::string saved = RewriteJobFile(read.File, TJobFileShape{turned, 1, 2, 3, 0}, 1);
    EXPECT_NE(saved.find("R=0701;0702;0703"), std::string::npos);
}

TEST(TJobFileKeepTest, ARecordListKeepsTheEyeOfItsTraceRecord) {
    const std::vector<std::string> records = {"JOB=\"5\"", "TRCFMT=1;360;E;L;P", "HBOX=1.00;2.00"};
    const std::string text = BuildJobFile(records, TJobFileShape{TestRadii(10), 3, 4, 5, 0}, 1);
    EXPECT_EQ(CountLines(text, "TRCFMT=1;10;E;L;P"), 1);
    EXPECT_EQ(CountLines(text, "HBOX=1.00;3.00"), 1);
}

// ---- One reader for the window, the command line and the simulator ---------
// Where the two former readers differed, these cases hold the rule kept.

TEST(TJobFileRulesTest, ABlockIsItsFormatRecordAndTheDataLinesRightAfterIt) {
    // A record between R lines ends the trace: the R line after it is not trace data.
    try {
        ParseJobFile("TRCFMT=1;3;E;R;F\nR=2500;2500\nDBL=17\nR=2500\n");
        FAIL() << "read a trace across a record";
    } catch (const EOmaJobFile& e) {
        EXPECT_STREQ(e.what(), "Trace contains 2 points, but number of points is 3");
    }
    // Angle lines belong to the trace; they are not records, and a new trace drops them.
    const TJobFileData data = ParseJobFile("JOB=1\nTRCFMT=1;2;E;R;F\nA=0;18000\nR=2500;2400\n");
    EXPECT_EQ(data.Radii, "25002400");
    for (const TJobRecord& record : data.File.Records()) EXPECT_NE(record.Label, "A");
    const std::string kept = RewriteJobFile(data.File, TJobFileShape{"25002400", 1, 2, 3, 0}, 1);
    EXPECT_NE(kept.find("A=0;18000"), std::string::npos) << kept;
    const std::string saved = RewriteJobFile(data.File, TJobFileShape{"24002500", 1, 2, 3, 0}, 1);
    EXPECT_EQ(saved.find("A="), std::string::npos) << saved;
}

TEST(TJobFileRulesTest, LabelsAreReadWithoutRegardToLetterCase) {
    const TJobFileData data = ParseJobFile("trcfmt=1;2;e;l;p\nr=2500;2400\n");
    EXPECT_EQ(data.Radii, "25002400");
    EXPECT_EQ(data.Eye, "l");
    TOmaJobFile file = TOmaJobFile::Parse("hbox=1;2\n");
    file.SetRecord("HBOX", "3;4");
    EXPECT_EQ(file.Text(), "hbox=3;4\n");
}

TEST(TJobFileRulesTest, EmptyLinesStayAndNewRecordsGoBeforeTheFirstBlock) {
    TOmaJobFile file = TOmaJobFile::Parse("JOB=1\n\nSTHKFMT=1;1;E;R\nR=2000\nT=0100\n"
                                          "TRCFMT=1;1;E;R;F\nR=2500\n");
    file.SetRecord("FTYP", "1");
    EXPECT_EQ(file.Text(), "JOB=1\n\nFTYP=1\nSTHKFMT=1;1;E;R\nR=2000\nT=0100\n"
                           "TRCFMT=1;1;E;R;F\nR=2500\n");
    EXPECT_EQ(file.FirstTrace().Radii, "2500");
}

TEST(TJobFileRulesTest, TheRecordListKeepsOneLinePerLabelAndTheFileKeepsThemAll) {
    const TJobFileData data =
        ParseJobFile("X=1\nDRILLE=a\nDRILLE=b\nY= 2 \nX=\nTRCFMT=1;1;E;R;F\nR=2500\n");
    const std::vector<std::string> list = {"DRILLE=b", "Y=2", "TRCFMT=1;1;E;R;F"};
    EXPECT_EQ(data.Records, list);
    std::vector<std::string> labels;
    for (const TJobRecord& record : data.File.Records()) labels.push_back(record.Label + "=" + record.Value);
    const std::vector<std::string> all = {"X=1", "DRILLE=a", "DRILLE=b", "Y= 2 ", "X="};
    EXPECT_EQ(labels, all);
}

TEST(TJobFileRulesTest, ThePreviousFileIsACopyNotASecondName) {
    const fs::path folder = fs::temp_directory_path() /
                            ("trevalon-bak-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(folder);
    const fs::path target = folder / "job.oma";
    WriteJobFileBytes(target, "A=1\n");
    WriteJobFileBytes(target, "A=2\n");
    EXPECT_EQ(fs::hard_link_count(target), 1u);
    EXPECT_EQ(fs::hard_link_count(folder / "job.oma.bak"), 1u);
    EXPECT_EQ(ReadWholeFile(folder / "job.oma.bak"), "A=1\n");
    fs::remove_all(folder);
}

}  // namespace
