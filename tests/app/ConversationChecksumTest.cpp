// The window under a line that damages the host's job reply: asked for
// again, and a reply that never comes whole is neither drawn nor offered for
// saving.
#include "ConversationFixture.h"
#include "conversation/Conversation.h"

namespace {

class TChecksumWindowTest : public TConversationFixture {
protected:
    // The golden format 1 job of 400 points with one trace digit damaged.
    static std::string DamagedJob() {
        std::string job = ReplyFile("job-ellipse-fmt1-400");
        job[job.find("\rR=") + 6] ^= 0x02;
        return job;
    }

    // The host sends Bytes; true once the program answered with NAK alone.
    bool AnsweredWithNak(const std::string& bytes) {
        FHost.Write(bytes);
        std::string sent;
        return ProcessEventsUntil([&] {
            sent += FHost.ReadAvailable();
            return sent == std::string(1, NAK);
        });
    }
};

TEST_F(TChecksumWindowTest, AResentJobIsDrawnAsIfNothingHappened) {
    ASSERT_FALSE(RequestUpToJob("1234", "1", "400").empty());
    ASSERT_TRUE(AnsweredWithNak(Ack + DamagedJob()));
    EXPECT_TRUE(FForm->Talking());
    AnswerLast(ReplyFile("job-ellipse-fmt1-400"));
    EXPECT_EQ(FTaken, Ack);
    EXPECT_EQ(Panel(0), "");
    EXPECT_EQ(Received().Radii, EllipseRadii(400));
    EXPECT_TRUE(FForm->SaveButton->isEnabled());
}

TEST_F(TChecksumWindowTest, AJobDamagedOnEveryResendIsNeitherDrawnNorOffered) {
    ASSERT_FALSE(RequestUpToJob("1234", "1", "400").empty());
    ASSERT_TRUE(AnsweredWithNak(Ack + DamagedJob()));
    ASSERT_TRUE(AnsweredWithNak(DamagedJob()));
    AnswerLast(DamagedJob());
    EXPECT_EQ(FTaken, "");
    EXPECT_EQ(Panel(0).toStdString(), ChecksumMessage);
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_TRUE(Working().Radii.empty());
    EXPECT_EQ(Records().Count(), 0u);
    EXPECT_FALSE(FForm->SaveButton->isEnabled());
    EXPECT_FALSE(FViewed.empty()) << "the log was not shown";
}

TEST_F(TChecksumWindowTest, VerifyChecksumsNDrawsTheDamagedShapeAsItCame) {
    Restart("VerifyChecksums=N\r\n");
    ASSERT_FALSE(RequestUpToJob("1234", "1", "400").empty());
    AnswerLast(Ack + DamagedJob());
    EXPECT_EQ(FTaken, Ack);
    ASSERT_EQ(Received().Radii.size(), EllipseRadii(400).size());
    EXPECT_NE(Received().Radii, EllipseRadii(400));
    EXPECT_TRUE(FForm->SaveButton->isEnabled());
}

}  // namespace
