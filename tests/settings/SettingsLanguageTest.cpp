// The settings dialog's language choice: "System" and the shipped languages
// by their own names, read from and written to the Language key.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "settings/Settings.h"
#include "tests/settings/SettingsFixture.h"

namespace {

class TSettingsLanguageTest : public ::testing::Test, protected TPortWorld {
protected:
    // The Language value after the dialog opened on Settings and OK was
    // pressed with Choice (an item's text) chosen, or with nothing changed.
    std::string AfterOk(const std::string& settings, const QString& choice = {}) {
        FSettings.SetText(settings);
        TSettingsForm dialog(FSettings, Hooks());
        if (!choice.isEmpty()) {
            const int at = dialog.LanguageComboBox->findText(choice);
            EXPECT_GE(at, 0) << choice.toStdString();
            dialog.LanguageComboBox->setCurrentIndex(at);
        }
        dialog.BitBtn1->click();
        return FSettings.Value("Language");
    }

    TNameValueList FSettings;
};

TEST_F(TSettingsLanguageTest, OffersSystemAndEachLanguageInItsOwnNameWithANote) {
    TSettingsForm dialog(FSettings, Hooks());
    QStringList items;
    for (int i = 0; i < dialog.LanguageComboBox->count(); ++i)
        items << dialog.LanguageComboBox->itemText(i);
    EXPECT_EQ(items, QStringList({"System", "English", "Deutsch", QString::fromUtf8("Français"),
                                  QString::fromUtf8("Español"), "Italiano",
                                  QString::fromUtf8("Português")}));
    EXPECT_EQ(dialog.LanguageLabel->text(), "&Language");
    EXPECT_EQ(dialog.LanguageLabel->buddy(), dialog.LanguageComboBox);
    EXPECT_EQ(dialog.LanguageNote->text(), "Takes effect at the next start.");
    // Below everything that was there, inside the dialog.
    EXPECT_GT(dialog.LanguageComboBox->geometry().top(), dialog.BitBtn3->geometry().bottom());
    EXPECT_LE(dialog.LanguageNote->geometry().bottom(), dialog.height());
    EXPECT_EQ(dialog.LanguageComboBox->currentText(), "System");
}

TEST_F(TSettingsLanguageTest, ShowsTheKeysLanguageWhateverItsCase) {
    for (const auto& [Value, Shown] : {std::pair<std::string, QString>{"de", "Deutsch"},
                                       {"PT", QString::fromUtf8("Português")},
                                       {"en", "English"},
                                       {"System", "System"},
                                       {"", "System"},
                                       {"klingon", "System"}}) {
        FSettings.SetText(Value.empty() ? "Port=COM1\r\n" : "Language=" + Value + "\r\n");
        TSettingsForm dialog(FSettings, Hooks());
        EXPECT_EQ(dialog.LanguageComboBox->currentText(), Shown) << Value;
    }
}

TEST_F(TSettingsLanguageTest, WritesAChosenLanguageAndLeavesTheKeyOutForSystem) {
    EXPECT_EQ(AfterOk("Port=COM1\r\n", QString::fromUtf8("Français")), "fr");
    EXPECT_EQ(AfterOk("Language=fr\r\n", "English"), "en");
    EXPECT_EQ(AfterOk("Language=fr\r\n", "System"), "");
    EXPECT_EQ(AfterOk("Language=it\r\n"), "it");
    // Nothing chosen: the key stays as it was, also a value a newer program wrote.
    EXPECT_EQ(AfterOk("Port=COM1\r\n"), "");
    EXPECT_EQ(AfterOk("Language=System\r\n"), "System");
    EXPECT_EQ(AfterOk("Language=nl\r\n"), "nl");
}

}  // namespace
