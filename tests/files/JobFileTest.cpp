// Job files without a window: the sample files, writing and reading back,
// malformed files, and the safe replacement of a file on disk.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "oma/JobFile.h"
#include "oma/OmaTrace.h"
#include "shape/TrceCalc.h"
#include "tests/files/FileTestData.h"

namespace fs = std::filesystem;

namespace {

struct TSample {
    const char* File;
    int Points;
    double HBox;  // as the file states it; < 0: not stated
    double VBox;
    double Circ;
    double CircTolerance;
    double DBL;
    const char* Tray;
};

// The stated values of tests/data/oma-samples/README.md, and the DBL and JOB
// records as the files hold them.
const TSample Samples[] = {
    {"R360_3.oma", 360, 51.00, 44.01, 150.759, 0.005, 20.00, "L424775600"},
    {"STHKFMT.oma", 360, 54.96, 39.01, 151.761, 0.005, 19.00, "L438942100"},
    {"R1000_1.oma", 1000, -1, -1, 150.85, 0.1, 15.00, ""},
    {"R360_1.oma", 360, -1, -1, -1, 0, 0.0, "L419413101"},
};

void PrintTo(const TSample& sample, std::ostream* out) {
    *out << sample.File;
}

class TSampleFileTest : public ::testing::TestWithParam<TSample> {};

TEST_P(TSampleFileTest, OpensWithItsStatedMeasurements) {
    const TSample& sample = GetParam();
    const TJobFileData data = ParseJobFile(ReadJobFileBytes(SamplePath(sample.File)));
    EXPECT_EQ(data.Format, 1);
    ASSERT_EQ(RadiusCount(data.Radii), sample.Points);
    TTraceInfo trace{data.Radii};
    MeasureTrace(trace);
    if (sample.HBox > 0) {
        EXPECT_NEAR(trace.HBox, sample.HBox, 0.005);
    }
    if (sample.VBox > 0) {
        EXPECT_NEAR(trace.VBox, sample.VBox, 0.005);
    }
    if (sample.Circ > 0) {
        EXPECT_NEAR(trace.Circ, sample.Circ, sample.CircTolerance);
    }
    EXPECT_DOUBLE_EQ(data.DBL, sample.DBL);
    EXPECT_EQ(data.Tray, sample.Tray);
    for (const std::string& record : data.Records) {
        EXPECT_NE(record.rfind("R=", 0), 0u) << "trace data is no record";
        EXPECT_NE(record.find('='), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, TSampleFileTest, ::testing::ValuesIn(Samples),
                         [](const auto& row) {
                             std::string name = row.param.File;
                             return name.substr(0, name.find('.'));
                         });

TEST(TJobFileSampleTest, TheFirstTraceIsTheRightEyeNotTheThicknessOrTheLeftEye) {
    // STHKFMT.oma holds 72-point thickness R records before its traces; the
    // first trace's first record begins 2660;2689;...
    const TJobFileData data = ParseJobFile(ReadJobFileBytes(SamplePath("STHKFMT.oma")));
    const std::string text = ReadJobFileBytes(SamplePath("STHKFMT.oma"));
    const std::size_t first = text.find("TRCFMT=1;360;E;R;F\n");
    ASSERT_NE(first, std::string::npos);
    const std::size_t record = text.find("R=", first);
    std::string expected = text.substr(record + 2, text.find('\n', record) - record - 2);
    std::erase(expected, ';');
    EXPECT_EQ(data.Radii.substr(0, expected.size()), expected);
    // Records are the file's labels once each, without R records.
    EXPECT_EQ(std::count(data.Records.begin(), data.Records.end(), "TRCFMT=1;360;E;L;F"), 1);
}

TEST(TJobFileSampleTest, AnUnsupportedFormatIsNamed) {
    try {
        ParseJobFile(ReadJobFileBytes(SamplePath("TRCFMT6.oma")));
        FAIL() << "format 6 was read";
    } catch (const EOmaJobFile& e) {
        EXPECT_STREQ(e.what(), "Trace type 6 is unsupported");
    }
}

// ---- Writing --------------------------------------------------------------

TEST(TJobFileWriteTest, RecordsKeepTheirOrderWithTheShapesValuesAndTheTraceLast) {
    const std::vector<std::string> records = {
        "ANS=INITREQ",   "STATUS=0",   "JOB=\"4711\"", "FTYP=1", "HBOX=10.00;10.00",
        "TRCFMT=4;512;E;R;F", "DBL=17.00", "ZFMT=1;1;E", "CRC=1234", "ETYP=2", "VEN=LAB"};
    const TJobFileShape shape{std::string(16 * 4, '0').replace(0, 4, "2500"), 52.3, 40.004,
                              150.125, 18};
    const std::string text = BuildJobFile(records, shape, 1);
    // HBOX, VBOX and CIRC are "R;L" pairs: the trace's eye (R) takes the shape's
    // values, the left eye keeps its own.
    const std::string expected =
        "JOB=\"4711\"\r\n"
        "FTYP=1\r\n"
        "HBOX=52.30;10.00\r\n"
        "DBL=18.00\r\n"
        "ETYP=2\r\n"
        "VEN=LAB\r\n"
        "VBOX=40.00;\r\n"
        "CIRC=150.12;\r\n"
        "TRCFMT=1;16;E;R;F\r\n"
        "R=2500;0000;0000;0000;0000;0000;0000;0000;0000;0000\r\n"
        "R=0000;0000;0000;0000;0000;0000\r\n";
    EXPECT_EQ(text, expected);
}

TEST(TJobFileWriteTest, OnlyFormatsOneToFourAndAShapeAreWritten) {
    const TJobFileShape shape{TestRadii(8), 1, 1, 1, 1};
    EXPECT_THROW(BuildJobFile({}, shape, 5), EOmaJobFile);
    EXPECT_THROW(BuildJobFile({}, shape, 0), EOmaJobFile);
    EXPECT_THROW(BuildJobFile({}, TJobFileShape{}, 1), EOmaJobFile);
}

struct TRoundTrip {
    int Format;
    int Points;
};

void PrintTo(const TRoundTrip& row, std::ostream* out) {
    *out << "format " << row.Format << ", " << row.Points << " points";
}

class TJobFileRoundTripTest : public ::testing::TestWithParam<TRoundTrip> {};

TEST_P(TJobFileRoundTripTest, ReadsBackTheSameRadiiRecordsAndDBL) {
    const auto [format, points] = GetParam();
    const std::string radii = TestRadii(points);
    const std::vector<std::string> records = {"JOB=\"T-17\"", "FTYP=1", "DBL=16.50;16.50"};
    const TJobFileShape shape{radii, 48.12, 36.5, 140.25, 18.25};
    const TJobFileData data = ParseJobFile(BuildJobFile(records, shape, format));
    EXPECT_EQ(data.Radii, radii);
    EXPECT_EQ(data.Format, format);
    EXPECT_DOUBLE_EQ(data.DBL, 18.25);
    EXPECT_EQ(data.Tray, "T-17");
    const std::vector<std::string> expected = {"JOB=\"T-17\"",       "FTYP=1",
                                               "DBL=18.25",          "HBOX=48.12;",
                                               "VBOX=36.50;",        "CIRC=140.25;",
                                               "TRCFMT=" + std::to_string(format) + ";" +
                                                   std::to_string(points) + ";E;R;F"};
    EXPECT_EQ(data.Records, expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, TJobFileRoundTripTest,
                         ::testing::Values(TRoundTrip{1, 360}, TRoundTrip{1, 1024},
                                           TRoundTrip{2, 400}, TRoundTrip{3, 500},
                                           TRoundTrip{4, 512}, TRoundTrip{4, 1024},
                                           TRoundTrip{4, 4096}, TRoundTrip{1, 7}),
                         [](const auto& row) {
                             return "Format" + std::to_string(row.param.Format) + "Points" +
                                    std::to_string(row.param.Points);
                         });

TEST(TJobFileRoundTripTest, BinaryPayloadsWithEveryEscapedByteSurvive) {
    // Radii whose format 2 bytes hit the escaped control codes and 0x00.
    std::string radii;
    for (int v : {6, 10, 13, 17, 19, 21, 26, 27, 28, 29, 30, 0, 256, 2566, 3341, 7453, 9999})
        radii += FormatGroup(v);
    for (int format = 2; format <= 4; ++format) {
        const TJobFileData data =
            ParseJobFile(BuildJobFile({}, TJobFileShape{radii, 1, 1, 1, 1}, format));
        EXPECT_EQ(data.Radii, radii) << "format " << format;
    }
}

// ---- Malformed files ------------------------------------------------------

struct TMalformed {
    const char* Name;
    std::string Text;
    const char* Message;  // what() begins with this
};

std::vector<TMalformed> MalformedFiles() {
    const std::string r360 = Fmt1Records(TestRadii(360));
    return {
        {"Empty", "", "Cannot find trace data"},
        {"RecordsOnly", "JOB=1\r\nDBL=17\r\n", "Cannot find trace data"},
        {"NoFormat", "JOB=1\r\n" + r360, "Cannot find the trace format (no TRCFMT record)"},
        {"FormatSix", "TRCFMT=6;360;E;R;F\r\n" + r360, "Trace type 6 is unsupported"},
        {"FormatLetters", "TRCFMT=ab;360\r\n" + r360, "Trace type ab is unsupported"},
        {"NoTraceAfterFormat", "R=2500\r\nTRCFMT=1;360;E;R;F\r\nDBL=1\r\n",
         "Cannot find trace data"},
        {"TooFewPoints", "TRCFMT=1;361;E;R;F\r\n" + r360,
         "Trace contains 360 points, but number of points is 361"},
        {"NotANumber", "TRCFMT=1;3;E;R;F\r\nR=2500;25a0;2500\r\n",
         "Trace data holds \"25a0\", which is not a number"},
        {"FiveDigitValue", "TRCFMT=1;2;E;R;F\r\nR=2500;25000\r\n",
         "Invalid trace data: point 2 has the value 25000"},
        {"NegativeFormatOneValue", "TRCFMT=1;2;E;R;F\r\nR=2500;-12\r\n",
         "Invalid trace data: point 2 has the value -12"},
        {"MorePointsThanStated", "TRCFMT=1;2;E;R;F\r\nR=2500;2500;2500\r\n",
         "Trace contains 3 points, but number of points is 2"},
        {"ZeroPoints", "TRCFMT=1;0;E;R;F\r\nR=2500\r\n", "Cannot read a trace of 0 points"},
        {"NoCount", "TRCFMT=1\r\nR=2500\r\n", "Cannot read a trace of 0 points"},
        {"TooManyPoints", "TRCFMT=4;5000;E;R;F\r\nR=\x09\xC4\r\n",
         "Cannot read a trace of 5000 points"},
        {"ValueAbove9999", "TRCFMT=2;2;E;R;F\r\nR=\xC4\x09\x10\x27\r\n",
         "Invalid trace data: point 2 has the value 10000"},
        {"NegativeValue", std::string("TRCFMT=3;2;E;R;F\r\nR=\x05\x00\xF0\r\n", 25),
         "Invalid trace data: point 2 has the value -11"},
        {"ShortBinary", "TRCFMT=2;3;E;R;F\r\nR=\xC4\x09\xC4\x09\r\n",
         "Trace contains 2 points, but number of points is 3"},
    };
}

void PrintTo(const TMalformed& file, std::ostream* out) {
    *out << file.Name;
}

class TMalformedFileTest : public ::testing::TestWithParam<TMalformed> {};

TEST_P(TMalformedFileTest, IsRefusedWithItsMessage) {
    const TMalformed& file = GetParam();
    try {
        ParseJobFile(file.Text);
        FAIL() << "read without complaint";
    } catch (const EOmaFormat& e) {
        EXPECT_EQ(std::string(e.what()).rfind(file.Message, 0), 0u) << e.what();
    } catch (const EOmaJobFile& e) {
        EXPECT_EQ(std::string(e.what()).rfind(file.Message, 0), 0u) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TMalformedFileTest, ::testing::ValuesIn(MalformedFiles()),
                         [](const auto& row) { return std::string(row.param.Name); });

// Every prefix of a good file either reads the whole trace or is refused
// with one of the documented exceptions.
TEST(TMalformedFileTest, EveryPrefixAndBitFlipOfAFormatFourFileIsHandled) {
    const std::string radii = TestRadii(64);
    const std::string text = BuildJobFile({"JOB=\"9\""}, TJobFileShape{radii, 1, 1, 1, 1}, 4);
    for (std::size_t n = 0; n <= text.size(); ++n) {
        try {
            const TJobFileData data = ParseJobFile(text.substr(0, n));
            EXPECT_EQ(RadiusCount(data.Radii), 64) << "prefix " << n;
        } catch (const EOmaJobFile&) {
        } catch (const EOmaFormat&) {
        }
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string flipped = text;
            flipped[i] = static_cast<char>(flipped[i] ^ (1 << bit));
            try {
                const TJobFileData data = ParseJobFile(flipped);
                EXPECT_FALSE(data.Radii.empty());
                EXPECT_EQ(data.Radii.size() % 4, 0u);
                EXPECT_EQ(data.Radii.find_first_not_of("0123456789"), std::string::npos);
            } catch (const EOmaJobFile&) {
            } catch (const EOmaFormat&) {
            }
        }
    }
}

TEST(TMalformedFileTest, BinaryJunkIsRefused) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 50; ++round) {
        std::string junk(static_cast<std::size_t>(random() % 20000), '\0');
        for (char& c : junk) c = static_cast<char>(random());
        EXPECT_ANY_THROW(ParseJobFile(junk)) << "round " << round;
    }
}

// ---- Files on disk --------------------------------------------------------

class TJobFileDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = fs::temp_directory_path() /
               ("trevalon-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(FDir);
        fs::create_directories(FDir);
    }
    void TearDown() override { fs::remove_all(FDir); }

    fs::path FDir;
};

TEST_F(TJobFileDiskTest, ANewFileIsWrittenWithoutLeftovers) {
    const fs::path target = FDir / "job.oma";
    WriteJobFileBytes(target, "JOB=1\r\n");
    EXPECT_EQ(ReadWholeFile(target), "JOB=1\r\n");
    EXPECT_FALSE(fs::exists(FDir / "job.oma.bak"));
    EXPECT_FALSE(fs::exists(FDir / "job.oma.tmp"));
}

TEST_F(TJobFileDiskTest, ThePreviousFileIsKeptAsBak) {
    const fs::path target = FDir / "job.oma";
    WriteJobFileBytes(target, "first");
    WriteJobFileBytes(target, "second");
    WriteJobFileBytes(target, "third");
    EXPECT_EQ(ReadWholeFile(target), "third");
    EXPECT_EQ(ReadWholeFile(FDir / "job.oma.bak"), "second");
    EXPECT_FALSE(fs::exists(FDir / "job.oma.tmp"));
}

TEST_F(TJobFileDiskTest, AFailedWriteLosesNothing) {
    const fs::path target = FDir / "job.oma";
    WriteJobFileBytes(target, "kept");
    // The temporary file cannot be created: a folder holds its name.
    fs::create_directory(FDir / "job.oma.tmp");
    EXPECT_THROW(WriteJobFileBytes(target, "lost"), EOmaJobFile);
    EXPECT_EQ(ReadWholeFile(target), "kept");
    fs::remove(FDir / "job.oma.tmp");
    // The backup cannot be made: a folder holds its name.
    fs::create_directory(FDir / "job.oma.bak");
    try {
        WriteJobFileBytes(target, "lost");
        FAIL() << "written without its backup";
    } catch (const EOmaJobFile& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot write the job file: ", 0), 0u) << e.what();
    }
    EXPECT_EQ(ReadWholeFile(target), "kept");
    EXPECT_FALSE(fs::exists(FDir / "job.oma.tmp"));
    // No such folder.
    EXPECT_THROW(WriteJobFileBytes(FDir / "missing" / "job.oma", "x"), EOmaJobFile);
}

TEST_F(TJobFileDiskTest, LargeFilesAreRefusedBeforeReading) {
    const fs::path big = FDir / "big.oma";
    std::ofstream(big).put('x');
    fs::resize_file(big, 64 * MaxJobFileSize);  // sparse: nothing is written
    try {
        ReadJobFileBytes(big);
        FAIL() << "read a file of " << fs::file_size(big) << " bytes";
    } catch (const EOmaJobFile& e) {
        EXPECT_EQ(std::string(e.what()).rfind("The file is too large for a job file", 0), 0u);
    }
    fs::resize_file(big, MaxJobFileSize);
    EXPECT_EQ(ReadJobFileBytes(big).size(), MaxJobFileSize);
}

TEST_F(TJobFileDiskTest, MissingFilesAndFoldersAreNotRead) {
    EXPECT_THROW(ReadJobFileBytes(FDir / "none.oma"), EOmaJobFile);
    try {
        ReadJobFileBytes(FDir);
        FAIL();
    } catch (const EOmaJobFile& e) {
        EXPECT_STREQ(e.what(), "Cannot read the job file: it is not a file");
    }
}

}  // namespace
