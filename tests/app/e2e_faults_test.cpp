// Host faults staged by trevalon-host: each conversation ends with its
// message, and nothing the operator holds is lost.
#include "e2e_Host.h"

namespace {

class HostFaults : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        AddJob("1234", SampleText("R360_3.oma"));
        Original = JobText("1234");
    }

    // A received and edited shape, ready to be stored.
    void RequestAndEdit() {
        Request("1234");
        ASSERT_EQ(Panel(0), "");
        EditShape(52.5, 18.0);
        ASSERT_TRUE(Form->SaveButton->isEnabled());
        Edited = Working();
    }

    // After a failed store: the working shape (resampled at most) and Save Shape remain,
    // and the job is as it was.
    void ExpectNothingLost(bool JobUntouched = true) {
        EXPECT_FALSE(Working().Radii.empty());
        EXPECT_EQ(Working().HBox, Edited.HBox);
        EXPECT_EQ(Working().DBL, Edited.DBL);
        EXPECT_FALSE(Received().Radii.empty());
        EXPECT_TRUE(Form->SaveButton->isEnabled());
        EXPECT_EQ(Form->TrayEdit->text(), "1234");
        if (JobUntouched) {
            EXPECT_EQ(JobText("1234"), Original);
            EXPECT_FALSE(HasBackup("1234"));
        }
    }

    std::string Original;
    TTraceInfo Edited;
};

TEST_F(HostFaults, UnknownTrayEndsQuietlyWithTheHostsText) {
    Start({});
    Request("9999");
    EXPECT_EQ(Panel(0), "Tray 9999 not found");
    EXPECT_TRUE(Viewed.empty());
    EXPECT_FALSE(Form->SaveButton->isEnabled());
    EXPECT_TRUE(Form->ReqButton->isEnabled());
}

TEST_F(HostFaults, StatusWithATextForTheJob) {
    Start({"--status", "job:2:Locked by edger 3"});
    Request("1234");
    EXPECT_EQ(Panel(0), "Locked by edger 3");
    EXPECT_TRUE(Viewed.empty());
}

TEST_F(HostFaults, SilentHostTimesOut) {
    Start({"--silent", "job"});
    Form->TrayEdit->setText("1234");
    RunIntoTimeout(Form->ReqButton, cvAwaitJob);
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    EXPECT_EQ(Viewed.size(), 1u);
    EXPECT_TRUE(Form->ReqButton->isEnabled());
}

TEST_F(HostFaults, ReplyWithoutItsGSIsNeverTakenAndTimesOut) {
    Start({"--drop-gs", "job"});
    Form->TrayEdit->setText("1234");
    RunIntoTimeout(Form->ReqButton, cvAwaitJob,
                   [&] { return TForm1Probe::RxBuffer(*Form).find("CRC=") != std::string::npos; });
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_TRUE(TForm1Probe::RxBuffer(*Form).empty() ||
                TForm1Probe::RxBuffer(*Form).find(GS) == std::string::npos);
}

TEST_F(HostFaults, NoiseBeforeEveryPacketIsDropped) {
    Start({"--noise", "all"});
    RequestAndEdit();
    EXPECT_EQ(RadiusCount(Received().Radii), 512);
    Run(Form->SaveButton);
    EXPECT_EQ(Panel(0), "Job stored");
    EXPECT_TRUE(Viewed.empty());
    // Every noise byte was logged on its own before the packets.
    int Naks = 0;
    for (const std::string& Line : TForm1Probe::Log(*Form).Lines())
        if (Line.find("<nak>") != std::string::npos) ++Naks;
    EXPECT_GE(Naks, 6);
}

TEST_F(HostFaults, SplitPacketsAreJoined) {
    Start({"--split", "all", "--pieces", "4", "--gap", "15", "--format", "4", "--points", "400"});
    RequestAndEdit();
    EXPECT_EQ(RadiusCount(Received().Radii), 400);
    Run(Form->SaveButton);
    EXPECT_EQ(Panel(0), "Job stored");
    EXPECT_EQ(TJobFile::Parse(JobText("1234")).FirstTrace().Radii, Resampled(Edited.Radii, 400));
}

TEST_F(HostFaults, RefusedStoreShowsTheHostsTextAndKeepsTheShape) {
    Start({"--refuse-store"});
    RequestAndEdit();
    Run(Form->SaveButton);
    EXPECT_EQ(Panel(0), "Job locked");
    EXPECT_EQ(Viewed.size(), 1u);
    ExpectNothingLost();
    EXPECT_EQ(RadiusCount(Working().Radii), 512);  // resampled to the grant; can be saved again
}

TEST_F(HostFaults, RefusedGrantKeepsTheShape) {
    Start({"--status", "grant:3:Job busy"});
    RequestAndEdit();
    Run(Form->SaveButton);
    EXPECT_EQ(Panel(0), "Did not get positive response from host");
    ExpectNothingLost();
    EXPECT_EQ(Working().Radii, Edited.Radii);
}

TEST_F(HostFaults, HangUpDuringTheJobDataTimesOut) {
    Start({"--hang-up", "job"});
    Form->TrayEdit->setText("1234");
    RunIntoTimeout(Form->ReqButton, cvAwaitJob,
                   [&] { return !TForm1Probe::RxBuffer(*Form).empty(); });
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_TRUE(Form->ReqButton->isEnabled());
}

TEST_F(HostFaults, HangUpDuringTheVerdictKeepsTheShape) {
    Start({"--hang-up", "verdict"});
    RequestAndEdit();
    RunIntoTimeout(Form->SaveButton, cvAwaitStoreResult,
                   [&] { return !TForm1Probe::RxBuffer(*Form).empty(); });
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    ExpectNothingLost(false);  // the host had stored the job before it hung up
}

}  // namespace
