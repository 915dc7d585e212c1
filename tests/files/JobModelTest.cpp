// The job model: what a saved job file keeps byte for byte, what an edit
// changes in it, the DBL it never invents, the point counts it refuses, and
// how far a saved trace may measure from what its file states.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "job/Job.h"
#include "oma/JobFile.h"
#include "oma/OmaTrace.h"
#include "tests/files/FileTestData.h"

namespace {

const std::vector<const char*> JobSamples = {"R360_1.oma",  "R360_2.oma",  "R360_3.oma",
                                             "R1000_1.oma", "R1000_2.oma", "R1000_3.oma",
                                             "STHKFMT.oma"};

// Text with every LF (the samples' line end) made End.
std::string WithEnds(const std::string& text, const std::string& end) {
    std::string out;
    for (char c : text) out += c == '\n' ? end : std::string(1, c);
    return out;
}

// Text whose line ends take turns: CR LF, LF, CR.
std::string MixedEnds(const std::string& text) {
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::string out;
    int line = 0;
    for (char c : text) out += c == '\n' ? std::string(ends[line++ % 3]) : std::string(1, c);
    return out;
}

// Saving a job as it was opened: its own format, its own count, its DBL.
std::string SavedUnchanged(const std::string& text) {
    TJob job;
    const TJobFileData file = job.Open(text);
    return job.FileText(file.Format, RadiusCount(job.Received.Radii), "", job.Working.DBL);
}

// The lines of Text with their ends, as they stand.
std::vector<std::string> JobLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        end += text.compare(end, 2, "\r\n") == 0 ? 2 : (end < text.size() ? 1 : 0);
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

class TUnchangedSaveTest : public ::testing::TestWithParam<const char*> {};

TEST_P(TUnchangedSaveTest, GivesBackTheFileByteForByteWhateverItsLineEnds) {
    const std::string sample = ReadJobFileBytes(SamplePath(GetParam()));
    for (const std::string& text : {sample, WithEnds(sample, "\r\n"), WithEnds(sample, "\r"),
                                    MixedEnds(sample), sample.substr(0, sample.size() - 1)}) {
        EXPECT_EQ(SavedUnchanged(text), text);
    }
    // The DBL edit's number as the window shows it, and Reset after an edit, change nothing either.
    TJob job;
    job.Open(sample);
    job.Change(scNone, true, {}, ShownValue(job.Working.DBL));
    job.Rotate(3);
    job.Reset();
    EXPECT_EQ(job.FileText(1, RadiusCount(job.Received.Radii), "", ShownValue(job.Working.DBL)),
              sample);
}

TEST_P(TUnchangedSaveTest, AnEditChangesOnlyTheTraceBlockAndTheEyesBoxesInTheirOwnLineEnds) {
    const std::string text = MixedEnds(ReadJobFileBytes(SamplePath(GetParam())));
    TJob job;
    const TJobFileData file = job.Open(text);
    job.Change(
        scBox, true, [](TShapeValue) { return 30.0; }, job.Working.DBL);
    const std::string saved = job.FileText(1, RadiusCount(job.Received.Radii), "", job.Working.DBL);
    // Every line but the first trace block's, in order.
    const auto outsideTrace = [](const std::vector<std::string>& lines) {
        std::vector<std::string> kept;
        bool inTrace = false, traceSeen = false;
        for (const std::string& line : lines) {
            const std::string label = line.substr(0, line.find('='));
            if (label == "TRCFMT" && !traceSeen) {
                inTrace = traceSeen = true;
                continue;
            }
            if (inTrace && (label == "R" || label == "A")) continue;
            inTrace = false;
            kept.push_back(line);
        }
        return kept;
    };
    const std::vector<std::string> before = outsideTrace(JobLines(text));
    const std::vector<std::string> after = outsideTrace(JobLines(saved));
    ASSERT_EQ(after.size(), before.size());
    // The other eye's field of a box record: after the ";", or the one value.
    const auto otherEye = [&](const std::string& line) {
        std::string value = line.substr(line.find('=') + 1);
        value = value.substr(0, value.find_first_of("\r\n"));
        const std::size_t semicolon = value.find(';');
        if (semicolon == std::string::npos) return value;
        return file.Eye == "L" ? value.substr(0, semicolon) : value.substr(semicolon + 1);
    };
    for (std::size_t i = 0; i < before.size(); ++i) {
        const std::string label = before[i].substr(0, before[i].find('='));
        if (label == "HBOX" || label == "VBOX" || label == "CIRC") {
            // The shown eye's field at most, in the line's own line end.
            EXPECT_EQ(otherEye(after[i]), otherEye(before[i])) << after[i];
            EXPECT_EQ(after[i].back(), before[i].back());
        } else {
            EXPECT_EQ(after[i], before[i]) << "line " << i + 1 << " outside the trace";
        }
    }
    EXPECT_EQ(ParseJobFile(saved).Eye, file.Eye);
}

INSTANTIATE_TEST_SUITE_P(Samples, TUnchangedSaveTest, ::testing::ValuesIn(JobSamples),
                         [](const auto& row) {
                             const std::string name = row.param;
                             return name.substr(0, name.find('.'));
                         });

TEST(TJobDBL, AJobWithoutADBLIsSavedWithoutOneUntilTheOperatorGivesOne) {
    // A host's job in format 4 without a DBL record: the window shows -99.90.
    TJobData host;
    host.Records = {"JOB=\"3601\"", "HBOX=50.00", "TRCFMT=4;400;E;R;F"};
    host.Radii = TestRadii(400);
    host.DBL = -99.9;
    TJob job;
    job.TakeHostJob(host);
    const std::string saved = job.FileText(1, 400, "3601", job.Working.DBL);
    for (const std::string& line : JobLines(saved)) EXPECT_NE(line.rfind("DBL=", 0), 0u) << line;
    EXPECT_EQ(ParseJobFile(saved).DBL, 0);
    // A DBL the operator typed is written.
    job.Change(scNone, true, {}, 18.0);
    EXPECT_NE(job.FileText(1, 400, "3601", 18.0).find("DBL=18.00\r\n"), std::string::npos);
}

TEST(TJobPoints, CountsATraceCannotBeCutWithAreRefused) {
    TJob job;
    job.Open(ReadJobFileBytes(SamplePath("R360_3.oma")));
    for (const int count : {0, 1, 2, 99, 4097}) {
        try {
            job.FileText(1, count, "", 20);
            ADD_FAILURE() << count << " points were written";
        } catch (const EOmaJobFile& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot write a trace of " + std::to_string(count) + " points (100 to 4096)");
        }
    }
    for (const int count : {100, 4096})
        EXPECT_EQ(RadiusCount(ParseJobFile(job.FileText(4, count, "", 20)).Radii), count);
    EXPECT_EQ(PointCountFault(100, "store"), "");
    EXPECT_EQ(PointCountFault(64, "store"), "Cannot store a trace of 64 points (100 to 4096)");
}

TEST(TJobFileRecords, TwoTracesListedKeepTheShownEyeForTheShape) {
    // The record list of a two-eye file names the left trace last; the shape is the right one.
    const TJobFileData file = ParseJobFile(ReadJobFileBytes(SamplePath("R360_1.oma")));
    ASSERT_EQ(file.Eye, "R");
    const TJobFileData written = ParseJobFile(
        BuildJobFile(file.Records, TJobFileShape{file.Radii, 1, 2, 3, file.DBL}, 1, file.Eye));
    EXPECT_EQ(written.Eye, "R");
    EXPECT_EQ(written.Radii, file.Radii);
}

// The rule the README states: after an edit a file states the working
// shape's values; its trace, written at the file's count, measures within
// MaxStatedBoxError and MaxStatedCircError of them.
TEST(TStatedValues, ASavedEditMeasuresItsStatedValuesWithinTheRule) {
    struct TEdit {
        TShapeChange Change;
        bool LockB;
        double A, B, Circ;
    };
    const TEdit edits[] = {{scBox, true, 0, 46, 0},   {scBox, false, 53, 46, 0},
                           {scBox, false, 40, 30, 0}, {scCirc, true, 0, 0, 140},
                           {scCirc, true, 0, 0, 170}, {scNone, true, 0, 0, 0}};
    for (const char* sample : JobSamples) {
        for (const TEdit& edit : edits) {
            SCOPED_TRACE(std::string(sample) + " change " + std::to_string(edit.Change));
            TJob job;
            job.Open(ReadJobFileBytes(SamplePath(sample)));
            job.Change(
                edit.Change, edit.LockB,
                [&](TShapeValue which) {
                    return which == svBoxA ? edit.A : which == svBoxB ? edit.B : edit.Circ;
                },
                job.Working.DBL);
            const int count = RadiusCount(job.Received.Radii);
            TJob reopened;
            reopened.Open(job.FileText(1, count, "", job.Working.DBL));
            const TTraceInfo& stated = job.Working;
            const TTraceInfo& measured = reopened.Received;
            EXPECT_LE(std::fabs(measured.HBox - stated.HBox), MaxStatedBoxError);
            EXPECT_LE(std::fabs(measured.VBox - stated.VBox), MaxStatedBoxError);
            EXPECT_LE(std::fabs(measured.Circ - stated.Circ), MaxStatedCircError);
        }
    }
}

}  // namespace
