// `trevalon FILE`: the job file named on the command line opens at start.
#include <QDir>

#include "FormFixture.h"
#include "app/StartFile.h"

namespace {

TEST(TStartFileArgumentTest, TheFirstArgumentThatIsNotAnOptionNamesTheFile) {
    struct TRow {
        QStringList Arguments;
        QString File;
    };
    const TRow rows[] = {
        {{"trevalon"}, {}},
        {{}, {}},
        {{"trevalon", "1234.oma"}, "1234.oma"},
        {{"trevalon", "/jobs/a b.oma", "second.oma"}, "/jobs/a b.oma"},
        {{"trevalon", "--unknown", "-x", "job.oma"}, "job.oma"},
        {{"trevalon", "--", "-odd name.oma"}, "-odd name.oma"},
        {{"trevalon", "-"}, {}},
        {{"trevalon", ""}, {}},
        {{"trevalon", "", "job.oma"}, "job.oma"},
    };
    for (const TRow& row : rows)
        EXPECT_EQ(StartFileArgument(row.Arguments), row.File)
            << row.Arguments.join('|').toStdString();
}

class TStartFileTest : public TFormFixture {
protected:
    static QString Sample(const char* name) {
        return QStringLiteral(TREVALON_SAMPLES_DIR "/") + QLatin1String(name);
    }
    // Creates the window as the program entry does, started with Arguments.
    void Start(const QStringList& arguments) {
        FForm = std::make_unique<TForm1>(Hooks());
        OpenStartFile(*FForm, arguments);
        Settle();
    }
};

TEST_F(TStartFileTest, AFileNamedAtStartOpensAfterThePortIsConfigured) {
    // The port opens from the settings first, which empties the received
    // shape: the file must still be there after it.
    WriteSettings(PortSettings);
    Start({"trevalon", Sample("R360_3.oma")});
    EXPECT_TRUE(FForm->COMPort->Active());
    EXPECT_TRUE(Panel(0).startsWith(QStringLiteral("Opened job file R360_3.oma"))) << Panel(0).toStdString();
    EXPECT_EQ(FForm->TrayEdit->text(), QStringLiteral("L424775600"));
    EXPECT_EQ(RadiusCount(Received().Radii), 360);
    EXPECT_EQ(Working().Radii, Received().Radii);
    EXPECT_NEAR(Working().HBox, 51.00, 0.005);
    EXPECT_NEAR(Working().VBox, 44.01, 0.005);
    EXPECT_TRUE(FForm->SaveButton->isEnabled());
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(TStartFileTest, AFileThatCannotBeUsedGivesTheOpenJobFileMessage) {
    const QString files[] = {FDir.filePath("missing.oma"), Sample("TRCFMT6.oma")};
    for (const QString& file : files) {
        Start({"trevalon", file});
        const QString atStart = Panel(0);
        EXPECT_TRUE(Received().Radii.empty()) << file.toStdString();
        EXPECT_FALSE(FForm->SaveButton->isEnabled());
        EXPECT_FALSE(atStart.isEmpty());
        // The same file chosen in the running window says the same.
        FForm->StatusBar1->SetPanelText(0, QString());
        EXPECT_FALSE(FForm->OpenJobFile(file));
        EXPECT_EQ(Panel(0), atStart) << file.toStdString();
        EXPECT_TRUE(FErrors.empty());
        FForm.reset();
    }
}

TEST_F(TStartFileTest, WithoutAFileTheWindowStartsEmpty) {
    Start({"trevalon", "--"});
    EXPECT_TRUE(Received().Radii.empty());
    EXPECT_EQ(Panel(0), QString());
    EXPECT_EQ(FForm->TrayEdit->text(), QString());
}

}  // namespace
