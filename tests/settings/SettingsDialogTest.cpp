// The settings dialog: what it shows, what OK and Cancel do, and its port list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <memory>

#include "serial/Comms.h"
#include "settings/Settings.h"
#include "tests/settings/SettingsFixture.h"

namespace {

class TSettingsDialogTest : public ::testing::Test, protected TPortWorld {
protected:
    TNameValueList FSettings;
};

QStringList Items(QComboBox* box) {
    QStringList result;
    for (int i = 0; i < box->count(); ++i) result << box->itemText(i);
    return result;
}

TEST_F(TSettingsDialogTest, ControlsAndCaptions) {
    TSettingsForm dialog(FSettings, Hooks());
    EXPECT_EQ(dialog.windowTitle(), "Settings");
    EXPECT_EQ(dialog.width(), 260);
    EXPECT_EQ(dialog.objectName(), "SettingsForm");
    const std::pair<QLabel*, QString> labels[] = {
        {dialog.Label1, "COM Port"},  {dialog.Label2, "Baud Rate"}, {dialog.Label3, "Parity"},
        {dialog.Label4, "Data Bits"}, {dialog.Label5, "Stop Bits"}, {dialog.Label6, "Tracer Mode"}};
    for (const auto& [Label, Caption] : labels) EXPECT_EQ(Label->text(), Caption);
    EXPECT_EQ(dialog.COMPortComboBox->geometry(), QRect(96, 20, 97, 24));
    EXPECT_EQ(dialog.TracerModeComboBox->geometry(), QRect(96, 168, 145, 24));
    EXPECT_EQ(dialog.BitBtn3->geometry(), QRect(48, 280, 161, 33));
    EXPECT_TRUE(dialog.COMPortComboBox->isEditable());
    EXPECT_TRUE(dialog.BaudRateComboBox->isEditable());
    EXPECT_FALSE(dialog.ParityComboBox->isEditable());
    EXPECT_EQ(Items(dialog.BaudRateComboBox), QStringList({"9600", "38400", "57600"}));
    EXPECT_EQ(Items(dialog.ParityComboBox), QStringList({"None", "Even", "Odd"}));
    EXPECT_EQ(Items(dialog.DatabitsComboBox), QStringList({"7", "8"}));
    EXPECT_EQ(Items(dialog.StopBitsComboBox), QStringList({"1", "1.5", "2"}));
    EXPECT_EQ(Items(dialog.TracerModeComboBox), QStringList({"Preset Init", "No Init"}));
    EXPECT_EQ(dialog.PauseCheckbox->text(), "Pause After Init");
    EXPECT_EQ(dialog.BitBtn1->text(), "&OK");
    EXPECT_EQ(dialog.BitBtn2->text(), "&Cancel");
    EXPECT_EQ(dialog.BitBtn3->text(), "Discover &Host");
    EXPECT_EQ(dialog.TimeoutTimer->interval(), 3000);
    EXPECT_FALSE(dialog.TimeoutTimer->isActive());
}

TEST_F(TSettingsDialogTest, OpensCentredOnTheScreenNotOverItsOwner) {
    QWidget owner;
    owner.setGeometry(10, 10, 120, 90);
    owner.show();
    TSettingsForm dialog(FSettings, Hooks(), &owner);
    dialog.show();
    const QRect screen = dialog.screen()->availableGeometry();
    EXPECT_LE((dialog.frameGeometry().center() - screen.center()).manhattanLength(), 1);
}

TEST_F(TSettingsDialogTest, ShowsTheDefaultsOfAFirstStart) {
    SetDefaultSettings(FSettings);
    TSettingsForm dialog(FSettings, Hooks());
    EXPECT_EQ(dialog.COMPortComboBox->currentText(), "");
    EXPECT_EQ(dialog.BaudRateComboBox->currentText(), "9600");
    EXPECT_EQ(dialog.ParityComboBox->currentText(), "None");
    EXPECT_EQ(dialog.DatabitsComboBox->currentText(), "8");
    EXPECT_EQ(dialog.StopBitsComboBox->currentText(), "1");
    EXPECT_EQ(dialog.TracerModeComboBox->currentIndex(), -1);
    EXPECT_FALSE(dialog.PauseCheckbox->isChecked());
}

TEST_F(TSettingsDialogTest, SelectsWithoutCaseAndShowsFreeText) {
    FSettings.SetText(
        "port=COM12\r\nBaudRate=115200\r\nParity=even\r\nDataBits=9\r\nStopBits=1.5\r\n"
        "TracerMode=no init\r\nPauseMode=y\r\n");
    TSettingsForm dialog(FSettings, Hooks());
    EXPECT_EQ(dialog.COMPortComboBox->currentText(), "COM12");
    EXPECT_EQ(dialog.BaudRateComboBox->currentText(), "115200");
    EXPECT_EQ(dialog.ParityComboBox->currentText(), "Even");
    EXPECT_EQ(dialog.DatabitsComboBox->currentIndex(), -1);
    EXPECT_EQ(dialog.StopBitsComboBox->currentText(), "1.5");
    EXPECT_EQ(dialog.TracerModeComboBox->currentText(), "No Init");
    EXPECT_FALSE(dialog.PauseCheckbox->isChecked());  // only "Y" exactly
}

TEST_F(TSettingsDialogTest, OkWritesTheShownValuesAndRemovesEmptyOnes) {
    FSettings.SetText("Points=512\r\nPort=COM1\r\nTracerMode=Fast\r\nDataBits=9\r\n");
    TSettingsForm dialog(FSettings, Hooks());
    dialog.COMPortComboBox->setEditText("COM12");
    dialog.PauseCheckbox->setChecked(true);
    dialog.BitBtn1->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(FSettings.Text(), "Points=512\r\nPort=COM12\r\nPauseMode=Y\r\n");
}

TEST_F(TSettingsDialogTest, ChecksumVerificationIsOnUnlessTheSettingsTurnItOff) {
    TSettingsForm dialog(FSettings, Hooks());
    EXPECT_EQ(dialog.VerifyChecksumsCheckbox->text(), "Verify Checksums");
    // Beneath Pause After Init, clear of the buttons.
    EXPECT_EQ(dialog.VerifyChecksumsCheckbox->geometry(), QRect(96, 222, 145, 17));
    EXPECT_LT(dialog.VerifyChecksumsCheckbox->geometry().bottom(),
              dialog.BitBtn1->geometry().top());
    EXPECT_TRUE(dialog.VerifyChecksumsCheckbox->isChecked());

    FSettings.SetText("Port=COM1\r\nVerifyChecksums=N\r\n");
    TSettingsForm off(FSettings, Hooks());
    EXPECT_FALSE(off.VerifyChecksumsCheckbox->isChecked());
    off.VerifyChecksumsCheckbox->setChecked(true);
    off.BitBtn1->click();
    // Verifying is the default and is not written down.
    EXPECT_EQ(FSettings.Text(), "Port=COM1\r\nPauseMode=N\r\n");

    TSettingsForm on(FSettings, Hooks());
    EXPECT_TRUE(on.VerifyChecksumsCheckbox->isChecked());
    on.VerifyChecksumsCheckbox->setChecked(false);
    on.BitBtn1->click();
    EXPECT_EQ(FSettings.Text(), "Port=COM1\r\nPauseMode=N\r\nVerifyChecksums=N\r\n");
}

TEST_F(TSettingsDialogTest, NetworkPortsAreKeptAndRawTcpGreysTheLineSettings) {
    FSettings.SetText("Port=socket://[::1]:4001\r\nBaudRate=38400\r\nParity=Even\r\n");
    TSettingsForm dialog(FSettings, Hooks());
    EXPECT_EQ(dialog.COMPortComboBox->currentText(), "socket://[::1]:4001");
    QComboBox* const lineBoxes[] = {dialog.BaudRateComboBox, dialog.ParityComboBox,
                                    dialog.DatabitsComboBox, dialog.StopBitsComboBox};
    for (QComboBox* box : lineBoxes) {
        EXPECT_FALSE(box->isEnabled()) << box->objectName().toStdString();
        EXPECT_FALSE(box->toolTip().isEmpty());
    }
    // A device server with port control takes the line settings.
    dialog.COMPortComboBox->setEditText("rfc2217://lab-server:2001");
    for (QComboBox* box : lineBoxes) {
        EXPECT_TRUE(box->isEnabled());
        EXPECT_TRUE(box->toolTip().isEmpty());
    }
    dialog.COMPortComboBox->setEditText("SOCKET://10.1.2.3:23");
    EXPECT_FALSE(dialog.BaudRateComboBox->isEnabled());
    dialog.BitBtn1->click();
    // The URL is kept as typed, and the greyed settings keep their values.
    EXPECT_EQ(FSettings.Text(),
              "Port=SOCKET://10.1.2.3:23\r\nBaudRate=38400\r\nParity=Even\r\nPauseMode=N\r\n");
}

TEST_F(TSettingsDialogTest, CancelLeavesTheListAlone) {
    FSettings.SetText("Port=COM1\r\nBaudRate=9600\r\n");
    TSettingsForm dialog(FSettings, Hooks());
    dialog.COMPortComboBox->setEditText("COM12");
    dialog.ParityComboBox->setCurrentIndex(2);
    dialog.BitBtn2->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(FSettings.Text(), "Port=COM1\r\nBaudRate=9600\r\n");
}

TEST_F(TSettingsDialogTest, PortListHoldsWhatCanBeOpenedNowInOrder) {
    TPtyHost com3, com7, com9, usb;
    FNames.Add("COM3", com3.SlavePath());
    FNames.Add("COM7", com7.SlavePath());
    FNames.Add("COM9", com9.SlavePath());
    FNames.Add("ttyUSB0", usb.SlavePath());
    FNames.Add("ttyACM1", "/nonexistent/acm");
    FUsbDevices = {"ttyUSB0", "ttyACM1"};
    TComPort holder(WithQtOwner(FNames.PortHooks()));  // another program's hold on COM7
    holder.SetPort("COM7");
    holder.SetActive(true);

    TSettingsForm dialog(FSettings, Hooks());
    EXPECT_EQ(Items(dialog.COMPortComboBox), QStringList({"COM3", "COM9", "ttyUSB0"}));
    EXPECT_FALSE(dialog.ComPort1->Active());

    holder.SetActive(false);
    TComPort probe(WithQtOwner(FNames.PortHooks()));
    EXPECT_EQ(ListUsablePorts(probe, Hooks()),
              (std::vector<std::string>{"COM3", "COM7", "COM9", "ttyUSB0"}));
}

}  // namespace
