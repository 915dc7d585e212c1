// Request, edit and store against trevalon-host in every trace format and
// point count the program offers, and the real sample files as served jobs.
#include "e2e_Host.h"

namespace {

class RoundTrip : public HostFixture, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(RoundTrip, RequestEditAndStoreKeepTheEditedShapeAndValues) {
    const auto [Format, Count] = GetParam();
    AddJob("1234", SampleText("R360_3.oma"));
    Start({"--format", std::to_string(Format), "--points", std::to_string(Count)});

    Request("1234");
    ASSERT_EQ(Panel(0), "") << Panel(0).toStdString();
    ASSERT_EQ(RadiusCount(Received().Radii), Count);
    EXPECT_EQ(Received().DBL, 20.0);
    EXPECT_NEAR(Received().HBox, 51.0, 0.1);
    EXPECT_TRUE(Form->SaveButton->isEnabled());
    EXPECT_TRUE(Viewed.empty());

    EditShape(53.5, 19.25);
    ASSERT_EQ(RadiusCount(Working().Radii), 1024);
    ASSERT_NEAR(Working().HBox, 53.5, 0.02);
    const TTraceInfo Edited = Working();

    Run(Form->SaveButton);
    ASSERT_EQ(Panel(0), "Job stored");
    EXPECT_EQ(Form->TrayEdit->text(), "");
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_FALSE(Form->SaveButton->isEnabled());
    EXPECT_TRUE(HasBackup("1234"));

    const TJobFile Job = TJobFile::Parse(JobText("1234"));
    EXPECT_EQ(Job.FirstTrace().Radii, Resampled(Edited.Radii, Count));
    EXPECT_EQ(JobValue(Job, "HBOX"), FormatBoxValue(Edited.HBox));
    EXPECT_EQ(JobValue(Job, "VBOX"), FormatBoxValue(Edited.VBox));
    EXPECT_EQ(JobValue(Job, "CIRC"), FormatBoxValue(Edited.Circ));
    EXPECT_EQ(JobValue(Job, "DBL"), "19.25");
    EXPECT_EQ(JobValue(Job, "FTYP"), "2");  // the job's other records come back unchanged
    EXPECT_EQ(JobValue(Job, "JOB"), "L424775600");
    EXPECT_TRUE(Viewed.empty());
}

INSTANTIATE_TEST_SUITE_P(FormatsAndCounts, RoundTrip,
                         ::testing::Combine(::testing::Values(1, 2, 3, 4),
                                            ::testing::Values(400, 500, 512)),
                         [](const auto& Info) {
                             return "Format" + std::to_string(std::get<0>(Info.param)) + "_" +
                                    std::to_string(std::get<1>(Info.param)) + "Points";
                         });

using HostTest = HostFixture;

TEST_F(HostTest, BothTracerModesStoreTheShape) {
    for (const char* Mode : {"No Init", "Preset Init"}) {
        SCOPED_TRACE(Mode);
        StopHost();
        Form.reset();
        std::filesystem::remove_all(Link);
        AddJob("77", SampleText("STHKFMT.oma"));
        Start({"--format", "3", "--points", "500"}, "TracerMode=" + std::string(Mode) + "\r\n");
        Request("77");
        ASSERT_EQ(RadiusCount(Received().Radii), 500);
        Form->RotRightButton->click();
        Settle();
        const TTraceInfo Rotated = Working();
        Run(Form->SaveButton);
        ASSERT_EQ(Panel(0), "Job stored");
        EXPECT_EQ(TJobFile::Parse(JobText("77")).FirstTrace().Radii, Rotated.Radii);
        const std::string Log = FileText(HostLog());
        if (std::string(Mode) == "No Init")
            EXPECT_NE(Log.find("ANS=TRC"), std::string::npos);
        else
            EXPECT_NE(Log.find("DEV=TRC"), std::string::npos);
    }
}

// The sample files' first traces, served as they are, measure as their README states.
TEST_F(HostTest, SampleFilesArriveWithTheirStatedMeasurements) {
    const struct {
        const char* File;
        int Points;
        double HBox, VBox, Circ, CircTolerance, DBL;
    } Rows[] = {
        {"R360_3.oma", 360, 51.00, 44.01, 150.759, 0.0005, 20.0},
        {"STHKFMT.oma", 360, 54.96, 39.01, 151.761, 0.0005, 19.0},
        // Its CIRC was rounded by the writer, about 0.05 mm off the chord sum.
        {"R1000_1.oma", 1000, 51.0, -1, 150.85, 0.06, -1},
    };
    for (const auto& Row : Rows)
        AddJob(std::string(Row.File).substr(0, std::string(Row.File).find('.')),
               SampleText(Row.File));
    for (const char* Format : {"1", "4"}) {
        for (const auto& Row : Rows) {
            SCOPED_TRACE(std::string(Row.File) + " format " + Format);
            StopHost();
            Form.reset();
            std::filesystem::remove_all(Link);
            Start({"--format", Format, "--points", std::to_string(Row.Points), "--insist"});
            Request(std::string(Row.File).substr(0, std::string(Row.File).find('.')).c_str());
            ASSERT_EQ(Panel(0), "");
            EXPECT_EQ(RadiusCount(Received().Radii), Row.Points);
            EXPECT_NEAR(Received().HBox, Row.HBox, 0.005);
            if (Row.VBox > 0) {
                EXPECT_NEAR(Received().VBox, Row.VBox, 0.005);
            }
            EXPECT_NEAR(Received().Circ, Row.Circ, Row.CircTolerance);
            if (Row.DBL > 0) {
                EXPECT_EQ(Received().DBL, Row.DBL);
            }
        }
    }
}

}  // namespace
