// The window in German against trevalon-host: its captions and the status
// texts come out translated, while the job it fetches and stores is the same
// as in English (host texts, packets and files never change).
#include <QComboBox>
#include <QLabel>
#include <QMenu>

#include "EndToEndHost.h"
#include "app/Language.h"
#include "settings/Settings.h"

namespace {

class TGermanWindowTest : public THostFixture {
protected:
    void SetUp() override {
        THostFixture::SetUp();
        FGerman = std::make_unique<TTranslation>(QStringLiteral("de"),
                                                 QStringLiteral(TREVALON_PROGRAM_DIR));
        ASSERT_TRUE(FGerman->Loaded())
            << "no trevalon_de.qm in " TREVALON_PROGRAM_DIR "/translations";
        FReadyText = QStringLiteral("Bereit");
    }

    void TearDown() override {
        THostFixture::TearDown();
        FGerman.reset();  // the other tests run in English
    }

    std::unique_ptr<TTranslation> FGerman;
};

TEST_F(TGermanWindowTest, CaptionsAndStatusTextsAreGermanAndTheJobIsUnchanged) {
    AddJob("1234", SampleText("R360_3.oma"));
    Start({"--format", "1", "--points", "400"});  // panel 0 reads "Bereit"

    // Expected captions as the German translation file has them.
    EXPECT_EQ(FForm->Label1->text(), QStringLiteral("&Tray-/Auftragsnummer"));
    EXPECT_EQ(FForm->ReqButton->text(), QStringLiteral("Form an&fordern"));
    EXPECT_EQ(FForm->SaveButton->text(), QStringLiteral("Form &speichern"));
    EXPECT_EQ(FForm->SettingsButton->text(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(FForm->HelpButton->text(), QStringLiteral("Hilfe"));
    EXPECT_EQ(FForm->CircLabel->text(), QStringLiteral("&Umf."));
    EXPECT_EQ(FForm->LockBCheckbox->text(), QStringLiteral("B an Bezugslinie halten"));
    EXPECT_EQ(FForm->OpenFile1->text(), QString::fromUtf8("Auftragsdatei öffnen..."));
    EXPECT_EQ(FForm->OpenFile1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(FForm->windowTitle(), QStringLiteral("Trevalon"));

    Request("1234");
    ASSERT_EQ(Panel(0), "") << Panel(0).toStdString();
    ASSERT_EQ(Received().Radii, Golden("r360_3-400"));
    EXPECT_EQ(Received().DBL, 20.0);

    EditShape(19.25);
    Run(FForm->SaveButton);
    EXPECT_EQ(Panel(0), QStringLiteral("Auftrag gespeichert"));
    const TOmaJobFile job = TOmaJobFile::Parse(JobText("1234"));
    EXPECT_EQ(job.FirstTrace().Radii, Golden("r360_3-400-stored"));
    EXPECT_EQ(JobValue(job, "DBL"), "19.25");  // "." on the wire, whatever the language
    EXPECT_EQ(JobValue(job, "JOB"), "L424775600");
}

// The settings dialog shows its choices in German and writes the file's own
// English values; the language chosen is written as its code.
TEST_F(TGermanWindowTest, SettingsShowGermanChoicesAndWriteTheFilesOwnValues) {
    Start({"--format", "1", "--points", "400"}, "TracerMode=No Init\r\n");
    QStringList parities;
    FRunDialog = [&](TSettingsForm& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Einstellungen"));
        EXPECT_EQ(dialog.Label3->text(), QString::fromUtf8("Parität"));
        for (int i = 0; i < dialog.ParityComboBox->count(); ++i)
            parities << dialog.ParityComboBox->itemText(i);
        EXPECT_EQ(dialog.TracerModeComboBox->currentText(), QStringLiteral("Ohne Init"));
        EXPECT_EQ(dialog.LanguageComboBox->currentText(), QStringLiteral("System"));
        dialog.ParityComboBox->setCurrentIndex(dialog.ParityComboBox->findText("Gerade"));
        dialog.LanguageComboBox->setCurrentIndex(dialog.LanguageComboBox->findText("Deutsch"));
        dialog.BitBtn1->click();
        return dialog.result();
    };
    FForm->SettingsButton->click();
    Settle();
    EXPECT_EQ(parities, QStringList({"Keine", "Gerade", "Ungerade"}));
    const std::string written = ReadFileBytes(SettingsFile());
    EXPECT_NE(written.find("\r\nParity=Even\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("\r\nTracerMode=No Init\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("\r\nLanguage=de\r\n"), std::string::npos) << written;
}

// The host's STATUS text is its own: shown as it came, in any language.
TEST_F(TGermanWindowTest, TheHostsOwnWordsStayAsTheHostSentThem) {
    Start({"--format", "1", "--points", "400"});
    Request("9999");
    EXPECT_EQ(Panel(0), "Tray 9999 not found");
}

}  // namespace
