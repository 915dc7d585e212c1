// Host faults staged by trevalon-host: each conversation ends with its
// message, and nothing the operator holds is lost.
#include "EndToEndHost.h"

namespace {

class THostFaults : public THostFixture {
protected:
    void SetUp() override {
        THostFixture::SetUp();
        AddJob("1234", SampleText("R360_3.oma"));
        FOriginal = JobText("1234");
    }

    // A received and edited shape, ready to be stored.
    void RequestAndEdit() {
        Request("1234");
        ASSERT_EQ(Panel(0), "");
        EditShape(18.0);
        ASSERT_TRUE(FForm->SaveButton->isEnabled());
        FEdited = Working();
    }

    // After a failed store: the working shape (resampled at most) and Save Shape remain,
    // and the job is as it was.
    void ExpectNothingLost(bool jobUntouched = true) {
        EXPECT_FALSE(Working().Radii.empty());
        EXPECT_EQ(Working().HBox, FEdited.HBox);
        EXPECT_EQ(Working().DBL, FEdited.DBL);
        EXPECT_FALSE(Received().Radii.empty());
        EXPECT_TRUE(FForm->SaveButton->isEnabled());
        EXPECT_EQ(FForm->TrayEdit->text(), "1234");
        if (jobUntouched) {
            EXPECT_EQ(JobText("1234"), FOriginal);
            EXPECT_FALSE(HasBackup("1234"));
        }
    }

    std::string FOriginal;
    TTraceInfo FEdited;
};

TEST_F(THostFaults, UnknownTrayEndsQuietlyWithTheHostsText) {
    Start({});
    Request("9999");
    EXPECT_EQ(Panel(0), "Tray 9999 not found");
    EXPECT_TRUE(FViewed.empty());
    EXPECT_FALSE(FForm->SaveButton->isEnabled());
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
}

TEST_F(THostFaults, StatusWithATextForTheJob) {
    Start({"--status", "job:2:Locked by edger 3"});
    Request("1234");
    EXPECT_EQ(Panel(0), "Locked by edger 3");
    EXPECT_TRUE(FViewed.empty());
}

TEST_F(THostFaults, SilentHostTimesOut) {
    Start({"--silent", "job"});
    FForm->TrayEdit->setText("1234");
    RunIntoTimeout(FForm->ReqButton, "Requesting job 1234", "(kept silent)");
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    EXPECT_EQ(FViewed.size(), 1u);
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
}

TEST_F(THostFaults, ReplyWithoutItsGSIsNeverTakenAndTimesOut) {
    Start({"--drop-gs", "job"});
    FForm->TrayEdit->setText("1234");
    RunIntoTimeout(FForm->ReqButton, "Requesting job 1234", "DBL=20.00");
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    EXPECT_TRUE(Received().Radii.empty());
    // The job data was never taken as a reply, but support sees how far it
    // got: once, under the entry of a reply that never ended, right before
    // the timeout's end line.
    const std::vector<std::string> log = ShownLog();
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& line) {
                                return line.find("DBL=20.00") != std::string::npos;
                            }),
              1);
    const auto header = std::find_if(log.begin(), log.end(), [](const std::string& line) {
        return line.ends_with(" ------------ Data From Host (incomplete reply) ---------");
    });
    ASSERT_NE(header, log.end());
    const auto data = std::find_if(header, log.end(), [](const std::string& line) {
        return line.find("DBL=20.00") != std::string::npos;
    });
    const auto end = std::find_if(header, log.end(), [](const std::string& line) {
        return line.ends_with(" ------------ Timeout waiting for host ---------");
    });
    EXPECT_LT(data, end);
    EXPECT_NE(end, log.end());
}

TEST_F(THostFaults, NoiseBeforeEveryPacketIsDropped) {
    Start({"--noise", "all"});
    RequestAndEdit();
    EXPECT_EQ(RadiusCount(Received().Radii), 512);
    Run(FForm->SaveButton);
    EXPECT_EQ(Panel(0), "Job stored");
    EXPECT_TRUE(FViewed.empty());
    // Every noise byte was logged on its own before the packets.
    int naks = 0;
    for (const std::string& line : ShownLog())
        if (line.find("<nak>") != std::string::npos) ++naks;
    EXPECT_GE(naks, 6);
}

TEST_F(THostFaults, SplitPacketsAreJoined) {
    Start({"--split", "all", "--pieces", "4", "--gap", "15", "--format", "4", "--points", "400"});
    RequestAndEdit();
    EXPECT_EQ(RadiusCount(Received().Radii), 400);
    Run(FForm->SaveButton);
    EXPECT_EQ(Panel(0), "Job stored");
    EXPECT_EQ(TOmaJobFile::Parse(JobText("1234")).FirstTrace().Radii, Golden("r360_3-400-stored"));
}

TEST_F(THostFaults, RefusedStoreShowsTheHostsTextAndKeepsTheShape) {
    Start({"--refuse-store"});
    RequestAndEdit();
    Run(FForm->SaveButton);
    EXPECT_EQ(Panel(0), "Job locked");
    EXPECT_EQ(FViewed.size(), 1u);
    ExpectNothingLost();
    EXPECT_EQ(RadiusCount(Working().Radii), 512);  // resampled to the grant; can be saved again
}

TEST_F(THostFaults, RefusedGrantKeepsTheShape) {
    Start({"--status", "grant:3:Job busy"});
    RequestAndEdit();
    Run(FForm->SaveButton);
    EXPECT_EQ(Panel(0), "Did not get positive response from host");
    ExpectNothingLost();
    EXPECT_EQ(Working().Radii, FEdited.Radii);
}

TEST_F(THostFaults, HangUpDuringTheJobDataTimesOut) {
    Start({"--hang-up", "job"});
    FForm->TrayEdit->setText("1234");
    RunIntoTimeout(FForm->ReqButton, "Requesting job 1234", " -- hung up\n");
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_TRUE(FForm->ReqButton->isEnabled());
}

TEST_F(THostFaults, HangUpDuringTheVerdictKeepsTheShape) {
    Start({"--hang-up", "verdict"});
    RequestAndEdit();
    RunIntoTimeout(FForm->SaveButton, "Storing the shape to job 1234", " -- hung up\n");
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    ExpectNothingLost(false);  // the host had stored the job before it hung up
}

}  // namespace
