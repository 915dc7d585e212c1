// The host search with a network port in the port field: only that address
// is tried, at each of the four speeds through a device server speaking COM
// port control, once for a raw TCP host. The servers are played in-process on
// loopback; the test fires the 3000 ms timeout itself.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "settings/FindPort.h"
#include "settings/Settings.h"
#include "tests/support/LoopbackServer.h"
#include "tests/settings/SettingsFixture.h"

namespace {

using namespace std::chrono_literals;

const std::string Answer =
    "\x06\x1c"
    "ANS=INI\r\x1e"
    "CRC=4711\r\x1d";

// The speed a COM port control client asked for (SET-BAUDRATE), 0 when none.
std::uint32_t AskedBaud(const std::string& bytes) {
    const std::string set = "\xff\xfa\x2c\x01";
    const std::size_t at = bytes.find(set);
    if (at == std::string::npos || at + set.size() + 4 > bytes.size()) return 0;
    std::uint32_t baud = 0;
    for (std::size_t i = 0; i < 4; ++i)
        baud = baud << 8 | static_cast<std::uint8_t>(bytes[at + set.size() + i]);
    return baud;
}

// Plays a host behind Server on its own thread, one connection per attempt:
// with Telnet it takes COM port control and notes the speed asked for; it
// answers the search's request when that speed is in Rates (any for raw TCP).
class TNetHostPlayer {
public:
    TNetHostPlayer(bool telnet, std::vector<std::uint32_t> rates)
        : FTelnet(telnet), FRates(std::move(rates)) {
        FThread = std::thread([this] { Run(); });
    }
    ~TNetHostPlayer() {
        FStop = true;
        FThread.join();
    }
    TNetHostPlayer(const TNetHostPlayer&) = delete;
    TNetHostPlayer& operator=(const TNetHostPlayer&) = delete;

    std::uint16_t Port() const { return FServer.Port(); }
    // Speeds of the attempts so far (0 for raw TCP), and whether each was answered.
    std::vector<std::pair<std::uint32_t, bool>> Attempts() {
        std::lock_guard lock(FMutex);
        return FAttempts;
    }

private:
    void Run() {
        while (!FStop) {
            if (!FServer.Accept(std::chrono::milliseconds(100))) continue;
            std::string got;
            if (FTelnet) {
                got = FServer.ReadBytes(15);  // the client's five option offers
                FServer.WriteBytes("\xff\xfd\x2c");  // DO COM-PORT-OPTION
            }
            const std::string& request = FindHostRequest();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (got.find(request) == std::string::npos &&
                   std::chrono::steady_clock::now() < deadline && !FStop)
                got += FServer.ReadBytes(1, std::chrono::milliseconds(50));
            if (got.find(request) == std::string::npos) continue;
            const std::uint32_t baud = FTelnet ? AskedBaud(got) : 0;
            const bool answer =
                !FTelnet || std::find(FRates.begin(), FRates.end(), baud) != FRates.end();
            if (answer) FServer.WriteBytes(Answer);
            std::lock_guard lock(FMutex);
            FAttempts.emplace_back(baud, answer);
        }
    }

    TLoopbackServer FServer;
    bool FTelnet;
    std::vector<std::uint32_t> FRates;
    std::atomic<bool> FStop{false};
    std::mutex FMutex;
    std::vector<std::pair<std::uint32_t, bool>> FAttempts;
    std::thread FThread;
};

class TFindNetworkHostTest : public ::testing::Test, protected TPortWorld {
protected:
    TFindNetworkHostTest() {
        FSettings.SetText("Port=COM9\r\nBaudRate=115200\r\nParity=Even\r\nDataBits=7\r\n"
                          "StopBits=2\r\n");
        FAnswer = [this](QWidget*, const TMessageBoxInfo& box) {
            FBoxes.push_back(box);
            return box.Icon == QMessageBox::Question ? QMessageBox::Yes : QMessageBox::Ok;
        };
    }
    ~TFindNetworkHostTest() override {
        FDialog.reset();
        EXPECT_TRUE(FErrors.empty()) << FErrors.front();
    }

    TSettingsForm& OpenDialog(const std::string& port) {
        FDialog = std::make_unique<TSettingsForm>(FSettings, Hooks());
        FDialog->TimeoutTimer->setInterval(3600 * 1000);  // the test fires it
        FDialog->COMPortComboBox->setEditText(QString::fromStdString(port));
        return *FDialog;
    }
    bool Searching() const { return !FDialog->FindPortForm.isNull(); }
    bool AttemptWaits() const { return FDialog->TimeoutTimer->isActive(); }

    // Runs the search to its end against Player, firing the timeout of each
    // attempt the player left unanswered; returns the progress window's texts.
    std::vector<std::string> Play(TNetHostPlayer& player) {
        std::vector<std::string> labels;
        for (std::size_t attempt = 1; attempt <= 8; ++attempt) {
            if (!ProcessEventsUntil([&] { return AttemptWaits() || !Searching(); }, 10s)) {
                ADD_FAILURE() << "the search neither waits nor ends";
                break;
            }
            if (!Searching()) break;
            labels.push_back(FDialog->FindPortForm->Label1->text().toStdString());
            if (!ProcessEventsUntil([&] { return player.Attempts().size() >= attempt; }, 10s)) {
                ADD_FAILURE() << "the host saw no request in attempt " << attempt << " ("
                              << labels.back() << ")";
                break;
            }
            if (!player.Attempts().back().second) {
                FDialog->TimeoutTimerTimer();
            } else if (!ProcessEventsUntil([&] { return !Searching(); }, 10s)) {
                ADD_FAILURE() << "an answered attempt did not end the search: "
                              << FDialog->FReplyBuffer.size() << " bytes read";
                break;
            }
        }
        EXPECT_TRUE(ProcessEventsUntil([&] { return FBoxes.size() >= 2; }, 10s));
        return labels;
    }

    TNameValueList FSettings;
    std::vector<TMessageBoxInfo> FBoxes;
    std::unique_ptr<TSettingsForm> FDialog;
};

TEST_F(TFindNetworkHostTest, ADeviceServerIsTriedAtEachSpeedAndFoundAtTheOneItsHostHears) {
    TNetHostPlayer server(true, {38400});
    const std::string url = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
    TSettingsForm& d = OpenDialog(url);
    d.BitBtn3->click();
    ASSERT_FALSE(FBoxes.empty());
    EXPECT_EQ(FBoxes[0].Text,
              "This will attempt to find the host\ron " + url +
                  " at all\ravailable baud rates.\r\rContinue?");
    // Only the address in the field: no serial port is a candidate.
    EXPECT_EQ(d.FCandidates, (std::vector<std::string>{url + "|9600", url + "|19200",
                                                       url + "|38400", url + "|57600"}));
    const std::vector<std::string> labels = Play(server);
    EXPECT_EQ(labels, (std::vector<std::string>{"Trying " + url + " at 9600 baud...",
                                                "Trying " + url + " at 19200 baud...",
                                                "Trying " + url + " at 38400 baud..."}));
    const std::vector<std::pair<std::uint32_t, bool>> expected = {
        {9600, false}, {19200, false}, {38400, true}};
    EXPECT_EQ(server.Attempts(), expected);
    ASSERT_EQ(FBoxes.size(), 2u);
    EXPECT_EQ(FBoxes[1].Text, "Found host on " + url);
    EXPECT_EQ(d.COMPortComboBox->currentText().toStdString(), url);
    EXPECT_EQ(d.BaudRateComboBox->currentText(), "38400");
    EXPECT_EQ(d.ParityComboBox->currentText(), "None");
    EXPECT_TRUE(d.BitBtn3->isEnabled());
}

TEST_F(TFindNetworkHostTest, ARawTcpHostIsTriedOnceAndKeepsTheSpeedField) {
    TNetHostPlayer server(false, {});
    const std::string url = "socket://127.0.0.1:" + std::to_string(server.Port());
    TSettingsForm& d = OpenDialog(url);
    d.BitBtn3->click();
    ASSERT_FALSE(FBoxes.empty());
    EXPECT_EQ(FBoxes[0].Text, "This will attempt to find the host\ron " + url + ".\r\rContinue?");
    EXPECT_EQ(Play(server), std::vector<std::string>{"Trying " + url + "..."});
    ASSERT_EQ(FBoxes.size(), 2u);
    EXPECT_EQ(FBoxes[1].Text, "Found host on " + url);
    EXPECT_EQ(d.COMPortComboBox->currentText().toStdString(), url);
    EXPECT_EQ(d.BaudRateComboBox->currentText(), "115200");  // no line speed over raw TCP
}

TEST_F(TFindNetworkHostTest, ASilentHostIsNotFoundAndAnAbsentOneIsNotAccessible) {
    {
        TNetHostPlayer server(true, {});
        const std::string url = "rfc2217://127.0.0.1:" + std::to_string(server.Port());
        OpenDialog(url).BitBtn3->click();
        EXPECT_EQ(Play(server).size(), 4u);
        ASSERT_EQ(FBoxes.size(), 2u);
        EXPECT_EQ(FBoxes[1].Text, "Did not find host");
    }
    FBoxes.clear();
    std::uint16_t port = 0;
    {
        TLoopbackServer gone;  // free a moment ago: nobody listens now
        port = gone.Port();
    }
    const std::string url = "socket://127.0.0.1:" + std::to_string(port);
    TSettingsForm& d = OpenDialog(url);
    d.BitBtn3->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return FBoxes.size() >= 2; }, 10s));
    EXPECT_EQ(FBoxes[1].Text, "Unable to access " + url);
    EXPECT_EQ(FBoxes[1].Caption, "Problem...");
    EXPECT_FALSE(Searching());
    EXPECT_TRUE(d.BitBtn3->isEnabled());
}

}  // namespace
