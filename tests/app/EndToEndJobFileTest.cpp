// A shape opened from a job file and stored with Save Shape goes to the host
// under the file's job number, or under the one typed instead.
#include "EndToEndHost.h"

namespace {

using TJobFileStoreTest = THostFixture;

TEST_F(TJobFileStoreTest, AnOpenedFileIsStoredUnderItsJobNumberOrTheTypedOne) {
    AddJob("L424775600", SampleText("R360_1.oma"));
    AddJob("999", SampleText("R360_2.oma"));
    Start({"--format", "4", "--points", "512"});

    for (const char* typed : {"", "999"}) {
        SCOPED_TRACE(typed);
        const QString sample = QString::fromStdString(
            (std::filesystem::path(TREVALON_SAMPLES_DIR) / "R360_3.oma").string());
        ASSERT_TRUE(FForm->OpenJobFile(sample)) << Panel(0).toStdString();
        EXPECT_EQ(FForm->TrayEdit->text(), QStringLiteral("L424775600"));
        ASSERT_TRUE(FForm->SaveButton->isEnabled());
        if (*typed != '\0') FForm->TrayEdit->setText(QString::fromLatin1(typed));
        const std::string tray = *typed != '\0' ? typed : "L424775600";

        Run(FForm->SaveButton);
        ASSERT_EQ(Panel(0), "Job stored");
        const TOmaJobFile job = TOmaJobFile::Parse(JobText(tray));
        EXPECT_EQ(job.FirstTrace().Radii, Golden("r360_3-512"));
        EXPECT_EQ(JobValue(job, "HBOX"), "51.00;51.00");  // as the file states it
        EXPECT_EQ(JobValue(job, "DBL"), "20.00");
        EXPECT_EQ(JobValue(job, "LMATID"), "101;101");  // the file's own records come along
    }
}

}  // namespace
