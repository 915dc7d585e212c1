// The first start's sample host: the offer in the tray field's menu, the lab
// host simulator started with the samples in the user's data folder, the
// settings naming its line, a job fetched from it, and the simulator's end
// with the window; later starts bring it back while the settings name it.
// Also the commands the picture's menu and the help file offer.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QMenu>
#include <QRegularExpression>
#include <QStandardPaths>
#include <filesystem>

#include "FormFixture.h"
#include "EndToEndHost.h"
#include "settings/Settings.h"

namespace {

using namespace std::chrono_literals;

class TSampleHostTest : public TFormFixture {
protected:
    void SetUp() override {
        TFormFixture::SetUp();
        // An installed program: bin/trevalon, bin/trevalon-host and
        // share/trevalon/samples, with the user's data folder of its own.
        const QDir root(FDir.path());
        ASSERT_TRUE(root.mkpath(QStringLiteral("bin")));
        ASSERT_TRUE(root.mkpath(QStringLiteral("share/trevalon/samples")));
        ASSERT_TRUE(root.mkpath(QStringLiteral("data")));
        FProgramDir = root.filePath(QStringLiteral("bin"));
        ASSERT_TRUE(QFile::link(QStringLiteral(TREVALON_HOST_EXE),
                                root.filePath(QStringLiteral("bin/trevalon-host"))));
        ASSERT_TRUE(WriteFileBytes(root.filePath(QStringLiteral("share/trevalon/samples/1234.oma")),
                                   SampleText("R360_3.oma")));
        FHadData = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        FPreviousData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toLocal8Bit());
        FFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                  QStringLiteral("/sample-host");
        ASSERT_TRUE(FFolder.startsWith(root.filePath(QStringLiteral("data"))))
            << FFolder.toStdString();
        FLinkPath = (FFolder + QStringLiteral("/trevalon-host.port")).toStdString();
        FNames.Add(FLinkPath, FLinkPath);
    }

    void TearDown() override {
        TFormFixture::TearDown();
        if (FHadData)
            qputenv("XDG_DATA_HOME", FPreviousData);
        else
            qunsetenv("XDG_DATA_HOME");
    }

    bool Offered() const {
        return FForm->TrySampleHost1 != nullptr &&
               FForm->TrayNoPopupMenu->actions().contains(FForm->TrySampleHost1);
    }
    bool LinkExists() const { return std::filesystem::exists(FLinkPath); }

    // Closes the window as the operator does; the simulator must end with it
    // and take its line along.
    void CloseWindow() {
        FForm->close();
        EXPECT_FALSE(LinkExists()) << "the sample host still serves after the window closed";
    }

    QString FFolder;
    std::string FLinkPath;
    bool FHadData = false;
    QByteArray FPreviousData;
};

TEST_F(TSampleHostTest, FirstStartOffersItAndTakingItFetchesAJob) {
    Create();
    ASSERT_TRUE(Offered());
    EXPECT_EQ(FForm->TrySampleHost1->text(), QStringLiteral("Try with the sample host"));
    EXPECT_EQ(Panel(0), QString()) << "the first start's status stays empty";

    FForm->TrySampleHost1->trigger();
    Settle();
    EXPECT_FALSE(Offered()) << "a taken offer stays in the menu";
    EXPECT_TRUE(LinkExists());
    EXPECT_EQ(Panel(0), QStringLiteral("Ready"));
    const std::string settings = ReadFileBytes(SettingsFile());
    EXPECT_NE(settings.find("\r\nPort=" + FLinkPath + "\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("BaudRate=9600\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("PauseMode=N\r\n"), std::string::npos) << settings;
    EXPECT_EQ(ReadFileBytes(FFolder + QStringLiteral("/jobs/1234.oma")), SampleText("R360_3.oma"));

    FForm->TrayEdit->setText(QStringLiteral("1234"));
    FForm->ReqButton->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !FForm->Talking(); }, 10s))
        << Panel(0).toStdString();
    Settle();
    EXPECT_NEAR(Received().HBox, 51.00, 0.05) << Panel(0).toStdString();  // R360_3's stated box A
    CloseWindow();
}

TEST_F(TSampleHostTest, LaterStartsBringItBackUntilAnotherPortIsChosen) {
    Create();
    ASSERT_TRUE(Offered());
    FForm->TrySampleHost1->trigger();
    Settle();
    CloseWindow();
    FForm.reset();

    // A stored job stays: the samples never overwrite the jobs folder.
    ASSERT_TRUE(WriteFileBytes(FFolder + QStringLiteral("/jobs/1234.oma"), "JOB=kept\r\n"));
    Create();
    EXPECT_FALSE(Offered()) << "offered although settings exist";
    EXPECT_TRUE(LinkExists()) << "the settings name the sample host, but it did not start";
    EXPECT_EQ(Panel(0), QStringLiteral("Ready"));
    EXPECT_EQ(ReadFileBytes(FFolder + QStringLiteral("/jobs/1234.oma")), "JOB=kept\r\n");

    // Another port chosen in Settings ends the sample host.
    FRunDialog = [](TSettingsForm& dialog) {
        dialog.COMPortComboBox->setCurrentText(QStringLiteral("COM5"));
        dialog.BitBtn1->click();
        return dialog.result();
    };
    FForm->SettingsButton->click();
    Settle();
    EXPECT_FALSE(LinkExists()) << "the sample host runs on after another port was chosen";
    CloseWindow();
    FForm.reset();

    Create();
    EXPECT_FALSE(Offered());
    EXPECT_FALSE(LinkExists());
}

TEST_F(TSampleHostTest, SettingsChosenInTheDialogEndTheOffer) {
    Create();
    ASSERT_TRUE(Offered());
    FRunDialog = [](TSettingsForm& dialog) {
        dialog.BitBtn1->click();
        return dialog.result();
    };
    FForm->SettingsButton->click();
    Settle();
    EXPECT_FALSE(Offered());
    EXPECT_FALSE(LinkExists());
}

// Without the simulator beside it (a portable copy, say) nothing is offered.
TEST_F(TSampleHostTest, NoSimulatorNoOffer) {
    ASSERT_TRUE(QFile::remove(FProgramDir + QStringLiteral("/trevalon-host")));
    Create();
    EXPECT_FALSE(Offered());
}

// The file commands are on the picture's menu too, with About; the help file
// names every command of the menus and the buttons, and every shortcut.
TEST_F(TFormFixture, PictureMenuAndHelpListEveryCommand) {
    Create();
    const QList<QAction*> picture = FForm->ImagePopupMenu->actions();
    for (QAction* action : {FForm->DisplayCommunicationLog1, FForm->OpenFile1, FForm->SaveFile1,
                            FForm->Print1, FForm->SavePdf1, FForm->About1})
        EXPECT_TRUE(picture.contains(action)) << action->text().toStdString();
    EXPECT_TRUE(FForm->HelpButton->actions().contains(FForm->About1));

    QFile helpFile(QStringLiteral(TREVALON_TEST_DATA_DIR "/../../app/help/trevalon.html"));
    ASSERT_TRUE(helpFile.open(QIODevice::ReadOnly));
    const QString help = QString::fromUtf8(helpFile.readAll());
    QList<QAction*> commands = FForm->TrayNoPopupMenu->actions() + picture;
    for (QAction* action : commands) {
        if (action->isSeparator()) continue;
        const QString caption = action->text().remove(QStringLiteral("...")).remove(u'&');
        EXPECT_TRUE(help.contains(caption)) << "help lacks " << caption.toStdString();
        const QString keys = action->shortcut().toString(QKeySequence::PortableText);
        if (keys.isEmpty()) continue;
        QString shown;
        for (const QString& key : keys.split(u'+'))
            shown += (shown.isEmpty() ? QString() : QStringLiteral("+")) +
                     QStringLiteral("<kbd>%1</kbd>").arg(key);
        const QRegularExpression row(QStringLiteral("<td>") +
                                     QRegularExpression::escape(caption) +
                                     QStringLiteral("</td>.*") + QRegularExpression::escape(shown));
        EXPECT_TRUE(help.contains(row))
            << "help lacks " << caption.toStdString() << " with " << shown.toStdString();
    }
    for (QPushButton* button : {FForm->ReqButton, FForm->SaveButton, FForm->ResetButton,
                                FForm->HelpButton, FForm->SettingsButton})
        EXPECT_TRUE(help.contains(button->text().remove(u'&'))) << button->text().toStdString();
}

}  // namespace
