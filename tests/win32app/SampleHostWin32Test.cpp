// The first start's sample host on Windows: trevalon-host.exe beside the
// program serves the samples on a loopback TCP port, the settings name it
// as socket://127.0.0.1:PORT, a job is fetched over it, and the simulator
// ends with the window; another port chosen in Settings ends it too.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "settings/Settings.h"
#include "tests/win32app/WindowFixture.h"

namespace {

QByteArray ReadAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class TSampleHostWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        QStandardPaths::setTestModeEnabled(true);
        FFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                  QStringLiteral("/sample-host");
        QDir(FFolder).removeRecursively();
        // A portable copy: the program, trevalon-host.exe and samples\ side by side.
        ASSERT_TRUE(FProgramDir.isValid());
        const QDir dir(FProgramDir.path());
        ASSERT_TRUE(QFile::copy(QStringLiteral("Z:" TREVALON_HOST_WIN_EXE),
                                dir.filePath(QStringLiteral("trevalon-host.exe"))));
        ASSERT_TRUE(dir.mkpath(QStringLiteral("samples")));
        ASSERT_TRUE(QFile::copy(QStringLiteral("Z:" TREVALON_SAMPLES_DIR "/R360_3.oma"),
                                dir.filePath(QStringLiteral("samples/1234.oma"))));
    }
    void TearDown() override {
        FForm.reset();
        QDir(FFolder).removeRecursively();
    }

    void Create() {
        THooks hooks;
        hooks.ProgramFile = FProgramDir.filePath(QStringLiteral("trevalon.exe")).toStdString();
        hooks.TempPath = FProgramDir.path();
        hooks.TranscriptPath = FProgramDir.filePath(QStringLiteral("transcripts"));
        hooks.OpenViewer = [](const QString&) { return true; };
        hooks.ReportError = [](const QString& m) { ADD_FAILURE() << m.toStdString(); };
        hooks.MessageBox = [](QWidget*, const TMessageBoxInfo& box) {
            ADD_FAILURE() << "message box: " << box.Text;
            return QMessageBox::No;
        };
        hooks.ShowSettingsModal = [this](TSettingsForm& dialog) {
            return FRunDialog ? FRunDialog(dialog) : QDialog::Rejected;
        };
        FForm = std::make_unique<TForm1>(hooks);
        FForm->show();
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    QString Panel(int n) const { return FForm->StatusBar1->PanelText(n); }
    bool Offered() const {
        return FForm->TrySampleHost1 != nullptr &&
               FForm->TrayNoPopupMenu->actions().contains(FForm->TrySampleHost1);
    }
    // The port the settings name, when it is the sample host's loopback port.
    quint16 SamplePort() const {
        const QByteArray settings = ReadAll(FProgramDir.filePath(QStringLiteral("trevalon.dat")));
        const QByteArray mark = "Port=socket://127.0.0.1:";
        const qsizetype at = settings.indexOf(mark);
        if (at < 0) return 0;
        const qsizetype end = settings.indexOf('\r', at);
        return static_cast<quint16>(settings.mid(at + mark.size(), end - at - mark.size()).toUInt());
    }
    // Whether something accepts connections on 127.0.0.1:Port.
    static bool Listening(quint16 port) {
        WSADATA data{};
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
        const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        const bool connected =
            ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        closesocket(probe);
        WSACleanup();
        return connected;
    }
    QTemporaryDir FProgramDir;
    QString FFolder;
    std::unique_ptr<TForm1> FForm;
    std::function<int(TSettingsForm&)> FRunDialog;
};

TEST_F(TSampleHostWin32, TheOfferServesTheSamplesOnALoopbackPortUntilTheWindowCloses) {
    Create();
    ASSERT_TRUE(Offered()) << "no offer: is trevalon-host.exe beside the program?";
    FForm->TrySampleHost1->trigger();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Panel(0) == QStringLiteral("Ready"); }, 20s))
        << Panel(0).toStdString();
    EXPECT_FALSE(Offered());
    const quint16 port = SamplePort();
    ASSERT_NE(port, 0) << ReadAll(FProgramDir.filePath(QStringLiteral("trevalon.dat"))).toStdString();

    FForm->TrayEdit->setText(QStringLiteral("1234"));
    FForm->ReqButton->click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !FForm->Talking(); }, 20s))
        << Panel(0).toStdString();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    EXPECT_NEAR(FForm->ReceivedShape().HBox, 51.00, 0.05) << Panel(0).toStdString();

    FForm->close();
    FForm.reset();
    EXPECT_FALSE(Listening(port)) << "the sample host still serves after the window closed";

    // The next start brings it back on the same port; another port chosen
    // in Settings ends it.
    Create();
    EXPECT_FALSE(Offered());
    EXPECT_EQ(Panel(0).toStdString(), "Ready");
    EXPECT_TRUE(Listening(port));
    FRunDialog = [](TSettingsForm& dialog) {
        dialog.COMPortComboBox->setCurrentText(QStringLiteral("COM9"));
        dialog.BitBtn1->click();
        return dialog.result();
    };
    FForm->SettingsButton->click();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    EXPECT_FALSE(Listening(port)) << "the sample host runs on after another port was chosen";
}

}  // namespace
