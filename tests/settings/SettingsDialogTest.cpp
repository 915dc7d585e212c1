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

class SettingsDialogTest : public ::testing::Test, protected TPortWorld {
protected:
    TNameValueList Settings;
};

QStringList Items(QComboBox* Box) {
    QStringList Result;
    for (int i = 0; i < Box->count(); ++i) Result << Box->itemText(i);
    return Result;
}

TEST_F(SettingsDialogTest, ControlsAndCaptions) {
    TSettingsForm Dialog(Settings);
    EXPECT_EQ(Dialog.windowTitle(), "Settings");
    EXPECT_EQ(Dialog.width(), 260);
    EXPECT_EQ(Dialog.objectName(), "SettingsForm");
    const std::pair<QLabel*, QString> Labels[] = {
        {Dialog.Label1, "COM Port"},  {Dialog.Label2, "Baud Rate"}, {Dialog.Label3, "Parity"},
        {Dialog.Label4, "Data Bits"}, {Dialog.Label5, "Stop Bits"}, {Dialog.Label6, "Tracer Mode"}};
    for (const auto& [Label, Caption] : Labels) EXPECT_EQ(Label->text(), Caption);
    EXPECT_EQ(Dialog.COMPortComboBox->geometry(), QRect(96, 20, 97, 24));
    EXPECT_EQ(Dialog.TracerModeComboBox->geometry(), QRect(96, 168, 145, 24));
    EXPECT_EQ(Dialog.BitBtn3->geometry(), QRect(48, 280, 161, 33));
    EXPECT_TRUE(Dialog.COMPortComboBox->isEditable());
    EXPECT_TRUE(Dialog.BaudRateComboBox->isEditable());
    EXPECT_FALSE(Dialog.ParityComboBox->isEditable());
    EXPECT_EQ(Items(Dialog.BaudRateComboBox), QStringList({"9600", "38400", "57600"}));
    EXPECT_EQ(Items(Dialog.ParityComboBox), QStringList({"None", "Even", "Odd"}));
    EXPECT_EQ(Items(Dialog.DatabitsComboBox), QStringList({"7", "8"}));
    EXPECT_EQ(Items(Dialog.StopBitsComboBox), QStringList({"1", "1.5", "2"}));
    EXPECT_EQ(Items(Dialog.TracerModeComboBox), QStringList({"Preset Init", "No Init"}));
    EXPECT_EQ(Dialog.PauseCheckbox->text(), "Pause After Init");
    EXPECT_EQ(Dialog.BitBtn1->text(), "&OK");
    EXPECT_EQ(Dialog.BitBtn2->text(), "&Cancel");
    EXPECT_EQ(Dialog.BitBtn3->text(), "Discover &Host");
    EXPECT_EQ(Dialog.TimeoutTimer->interval(), 3000);
    EXPECT_FALSE(Dialog.TimeoutTimer->isActive());
}

TEST_F(SettingsDialogTest, OpensCentredOnTheScreenNotOverItsOwner) {
    QWidget Owner;
    Owner.setGeometry(10, 10, 120, 90);
    Owner.show();
    TSettingsForm Dialog(Settings, &Owner);
    Dialog.show();
    const QRect Screen = Dialog.screen()->availableGeometry();
    EXPECT_LE((Dialog.frameGeometry().center() - Screen.center()).manhattanLength(), 1);
}

TEST_F(SettingsDialogTest, ShowsTheDefaultsOfAFirstStart) {
    SetDefaultSettings(Settings);
    TSettingsForm Dialog(Settings);
    EXPECT_EQ(Dialog.COMPortComboBox->currentText(), "");
    EXPECT_EQ(Dialog.BaudRateComboBox->currentText(), "9600");
    EXPECT_EQ(Dialog.ParityComboBox->currentText(), "None");
    EXPECT_EQ(Dialog.DatabitsComboBox->currentText(), "8");
    EXPECT_EQ(Dialog.StopBitsComboBox->currentText(), "1");
    EXPECT_EQ(Dialog.TracerModeComboBox->currentIndex(), -1);
    EXPECT_FALSE(Dialog.PauseCheckbox->isChecked());
}

TEST_F(SettingsDialogTest, SelectsWithoutCaseAndShowsFreeText) {
    Settings.SetText(
        "port=COM12\r\nBaudRate=115200\r\nParity=even\r\nDataBits=9\r\nStopBits=1.5\r\n"
        "TracerMode=no init\r\nPauseMode=y\r\n");
    TSettingsForm Dialog(Settings);
    EXPECT_EQ(Dialog.COMPortComboBox->currentText(), "COM12");
    EXPECT_EQ(Dialog.BaudRateComboBox->currentText(), "115200");
    EXPECT_EQ(Dialog.ParityComboBox->currentText(), "Even");
    EXPECT_EQ(Dialog.DatabitsComboBox->currentIndex(), -1);
    EXPECT_EQ(Dialog.StopBitsComboBox->currentText(), "1.5");
    EXPECT_EQ(Dialog.TracerModeComboBox->currentText(), "No Init");
    EXPECT_FALSE(Dialog.PauseCheckbox->isChecked());  // only "Y" exactly
}

TEST_F(SettingsDialogTest, OkWritesTheShownValuesAndRemovesEmptyOnes) {
    Settings.SetText("Points=512\r\nPort=COM1\r\nTracerMode=Fast\r\nDataBits=9\r\n");
    TSettingsForm Dialog(Settings);
    Dialog.COMPortComboBox->setEditText("COM12");
    Dialog.PauseCheckbox->setChecked(true);
    Dialog.BitBtn1->click();
    EXPECT_EQ(Dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Settings.Text(), "Points=512\r\nPort=COM12\r\nPauseMode=Y\r\n");
}

TEST_F(SettingsDialogTest, CancelLeavesTheListAlone) {
    Settings.SetText("Port=COM1\r\nBaudRate=9600\r\n");
    TSettingsForm Dialog(Settings);
    Dialog.COMPortComboBox->setEditText("COM12");
    Dialog.ParityComboBox->setCurrentIndex(2);
    Dialog.BitBtn2->click();
    EXPECT_EQ(Dialog.result(), QDialog::Rejected);
    EXPECT_EQ(Settings.Text(), "Port=COM1\r\nBaudRate=9600\r\n");
}

TEST_F(SettingsDialogTest, PortListHoldsWhatCanBeOpenedNowInOrder) {
    TPtyHost Com3, Com7, Com9, Usb;
    Names.Add("COM3", Com3.SlavePath());
    Names.Add("COM7", Com7.SlavePath());
    Names.Add("COM9", Com9.SlavePath());
    Names.Add("ttyUSB0", Usb.SlavePath());
    Names.Add("ttyACM1", "/nonexistent/acm");
    const TUsbSerialDevices Devices({"ttyUSB0", "ttyACM1"});
    TComPort Holder;  // another program's hold on COM7
    Holder.SetPort("COM7");
    Holder.SetActive(true);

    TSettingsForm Dialog(Settings);
    EXPECT_EQ(Items(Dialog.COMPortComboBox), QStringList({"COM3", "COM9", "ttyUSB0"}));
    EXPECT_FALSE(Dialog.ComPort1->Active());

    Holder.SetActive(false);
    TComPort Probe;
    EXPECT_EQ(ListUsablePorts(Probe),
              (std::vector<std::string>{"COM3", "COM7", "COM9", "ttyUSB0"}));
}

}  // namespace
