// The whole window under Wine against the lab host simulator: the window
// opens a Windows COM port that leads to the pseudo-terminal trevalon-host
// (a Linux program, started through Wine) serves, fetches a job, changes it
// and stores it back. scripts/test-windows.sh provides, in the environment:
//   TREVALON_HOST_UNIX   the simulator's Linux path
//   TREVALON_HOST_LINK   the Linux path the port's device name leads to
//   TREVALON_HOST_PORT   the port name that reaches it ("COM28")
//   TREVALON_UNIX_WORK   a Linux folder for the jobs, seen from Wine as Z:
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUuid>
#include <cmath>
#include <memory>
#include <sstream>

#include "app/StatusBar.h"
#include "app/Unit1.h"
#include "app/ValueEdit.h"
#include "tests/win32app/WindowFixture.h"

namespace {

std::string Environment(const char* name) {
    const QByteArray value = qgetenv(name);
    return value.toStdString();
}

// A Linux path as the Windows side reaches it.
QString FromWine(const std::string& unixPath) {
    return QStringLiteral("Z:") + QString::fromStdString(unixPath);
}

QByteArray ReadAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value of a job file's first record named Label.
std::string JobValue(const std::string& job, const std::string& label) {
    std::istringstream lines(job);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(label + "=", 0) == 0) return line.substr(label.size() + 1);
    }
    return {};
}

// Radii in the job's first trace: the R records after the first TRCFMT.
int FirstTraceRadii(const std::string& job) {
    std::istringstream lines(job);
    int count = 0;
    bool inTrace = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("TRCFMT=", 0) == 0) {
            if (inTrace) break;
            inTrace = true;
        } else if (inTrace && line.rfind("R=", 0) == 0) {
            count += 1 + static_cast<int>(std::count(line.begin(), line.end(), ';'));
        } else if (inTrace) {
            break;
        }
    }
    return count;
}

double Number(const QString& text) { return QLocale::c().toDouble(text); }

class TWindowHost : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        QLocale::setDefault(QLocale::c());
        FHostExe = Environment("TREVALON_HOST_UNIX");
        FLink = Environment("TREVALON_HOST_LINK");
        FPort = Environment("TREVALON_HOST_PORT");
        const std::string work = Environment("TREVALON_UNIX_WORK");
        ASSERT_FALSE(FHostExe.empty() || FLink.empty() || FPort.empty() || work.empty())
            << "run through scripts/test-windows.sh, which starts the COM port's far end";
        FWork = work + "/" + QUuid::createUuid().toString(QUuid::Id128).toStdString();
        ASSERT_TRUE(QDir().mkpath(FromWine(FWork + "/jobs")));
        ASSERT_TRUE(FProgramDir.isValid());
    }

    void TearDown() override {
        FForm.reset();
        if (!FHostStarted) return;
        // The simulator leaves after a quiet while; its exit status must be 0.
        const QString status = FromWine(FWork + "/host.status");
        const bool ended = ProcessEventsUntil([&] { return QFileInfo(status).size() > 0; }, 20s);
        EXPECT_TRUE(ended) << "trevalon-host did not end";
        EXPECT_EQ(ReadAll(status).trimmed().toStdString(), "0")
            << ReadAll(FromWine(FWork + "/host.log")).toStdString();
    }

    void AddJob(const std::string& tray, const char* sample) {
        const QByteArray text =
            ReadAll(FromWine(std::string(TREVALON_SAMPLES_DIR) + "/" + sample));
        ASSERT_FALSE(text.isEmpty()) << sample;
        QFile job(FromWine(FWork + "/jobs/" + tray + ".oma"));
        ASSERT_TRUE(job.open(QIODevice::WriteOnly));
        ASSERT_EQ(job.write(text), text.size());
    }

    std::string JobText(const std::string& tray) {
        return ReadAll(FromWine(FWork + "/jobs/" + tray + ".oma")).toStdString();
    }

    // Starts the simulator through Wine, waits for its line, then the window.
    void Start(const QStringList& options = {}) {
        QStringList arguments = {
            QStringLiteral("-c"),
            QStringLiteral("\"$0\" \"$@\"; echo $? > ") + QString::fromStdString(FWork) +
                QStringLiteral("/host.status"),
            QString::fromStdString(FHostExe),
            QStringLiteral("--jobs"), QString::fromStdString(FWork + "/jobs"),
            QStringLiteral("--link"), QString::fromStdString(FLink),
            QStringLiteral("--log"), QString::fromStdString(FWork + "/host.log"),
            QStringLiteral("--idle-exit"), QStringLiteral("6000")};
        arguments.append(options);
        ASSERT_TRUE(QProcess::startDetached(QStringLiteral("Z:\\bin\\sh"), arguments));
        FHostStarted = true;
        // Wine does not see through the link to the terminal; the log says when it is there.
        const QString log = FromWine(FWork + "/host.log");
        ASSERT_TRUE(ProcessEventsUntil([&] { return ReadAll(log).contains("-- serving "); }, 10s))
            << "trevalon-host made no line";

        QFile settings(FProgramDir.filePath(QStringLiteral("trevalon.dat")));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(QByteArray::fromStdString("Port=" + FPort +
                                                 "\r\nBaudRate=9600\r\nParity=None\r\n"
                                                 "DataBits=8\r\nStopBits=1\r\n"));
        settings.close();

        THooks hooks;
        hooks.ProgramFile = FProgramDir.filePath(QStringLiteral("trevalon.exe")).toStdString();
        hooks.TempPath = FProgramDir.path();
        hooks.TranscriptPath = FProgramDir.filePath(QStringLiteral("transcripts"));
        hooks.OpenViewer = [this](const QString& name) {
            FViewed.push_back(name);
            return true;
        };
        hooks.ReportError = [this](const QString& m) { FErrors.push_back(m.toStdString()); };
        hooks.MessageBox = [](QWidget*, const TMessageBoxInfo& box) {
            ADD_FAILURE() << "message box: " << box.Text;
            return QMessageBox::No;
        };
        FForm = std::make_unique<TForm1>(hooks);
        FForm->show();
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        ASSERT_EQ(Panel(0), "Ready");
    }

    QString Panel(int n) const { return FForm->StatusBar1->PanelText(n); }

    // One conversation from its button to its end: the buttons are disabled
    // while the window talks to the host.
    void Run(QPushButton* button) {
        ASSERT_TRUE(button->isEnabled());
        button->click();
        ASSERT_FALSE(FForm->SettingsButton->isEnabled()) << Panel(0).toStdString();
        ASSERT_TRUE(ProcessEventsUntil([&] { return FForm->SettingsButton->isEnabled(); }, 20s))
            << Panel(0).toStdString();
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    std::string FHostExe, FLink, FPort, FWork;
    std::vector<QString> FViewed;      // files the window opened in a viewer
    std::vector<std::string> FErrors;  // failures shown by the application's error report
    bool FHostStarted = false;
    QTemporaryDir FProgramDir;
    std::unique_ptr<TForm1> FForm;
};

// R360_3.oma states HBOX 51.00, VBOX 44.01, CIRC 150.759 and DBL 20.00.
TEST_F(TWindowHost, RequestChangeAndStoreAJobOverACOMPort) {
    AddJob("1234", "R360_3.oma");
    Start();

    FForm->TrayEdit->setText(QStringLiteral("1234"));
    Run(FForm->ReqButton);
    ASSERT_EQ(Panel(0), "") << Panel(0).toStdString();
    EXPECT_NEAR(Number(FForm->BoxAEdit->Text()), 51.00, 0.1);
    EXPECT_NEAR(Number(FForm->BoxBEdit->Text()), 44.01, 0.1);
    EXPECT_NEAR(Number(FForm->CircEdit->Text()), 150.76, 0.1);
    EXPECT_EQ(FForm->DBLEdit->Text(), "20.00");
    ASSERT_TRUE(FForm->SaveButton->isEnabled());

    FForm->LockBCheckbox->setChecked(false);
    FForm->DBLEdit->SetValue(19.25);
    FForm->BoxAEdit->SetValue(53.5);
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    EXPECT_NEAR(Number(FForm->BoxAEdit->Text()), 53.5, 0.02);

    Run(FForm->SaveButton);
    ASSERT_EQ(Panel(0), "Job stored");
    EXPECT_EQ(FForm->TrayEdit->text(), "");
    EXPECT_FALSE(FForm->SaveButton->isEnabled());

    const std::string job = JobText("1234");
    EXPECT_TRUE(QFileInfo::exists(FromWine(FWork + "/jobs/1234.oma.bak")));
    EXPECT_EQ(JobValue(job, "DBL"), "19.25");
    EXPECT_NEAR(std::stod(JobValue(job, "HBOX")), 53.5, 0.02);
    EXPECT_EQ(JobValue(job, "JOB"), "L424775600");  // the job's other records unchanged
    EXPECT_EQ(JobValue(job, "FTYP"), "2");
    const std::string trcfmt = JobValue(job, "TRCFMT");
    ASSERT_GE(std::count(trcfmt.begin(), trcfmt.end(), ';'), 1) << trcfmt;
    const int count = std::stoi(trcfmt.substr(trcfmt.find(';') + 1));
    EXPECT_GE(count, 100);
    EXPECT_EQ(FirstTraceRadii(job), count);
    EXPECT_TRUE(FViewed.empty());
    EXPECT_TRUE(FErrors.empty());
}

}  // namespace

namespace {

// The host's line goes dead in the middle of the job data, as a pulled
// adapter does: the window neither hangs nor spins, the reply timeout ends the
// conversation, and the next request on the dead line ends with a message.
TEST_F(TWindowHost, ALineThatGoesDeadMidReplyEndsTheConversation) {
    AddJob("1234", "R360_3.oma");
    Start({QStringLiteral("--hang-up"), QStringLiteral("job")});

    FForm->TrayEdit->setText(QStringLiteral("1234"));
    FForm->ReqButton->click();
    ASSERT_FALSE(FForm->SettingsButton->isEnabled());
    const QString status = FromWine(FWork + "/host.status");
    ASSERT_TRUE(ProcessEventsUntil([&] { return QFileInfo(status).size() > 0; }, 20s))
        << "the simulator did not hang up";
    // The events a dead line may still deliver are handled, then the reply
    // timeout fires as its timer would.
    ProcessEventsUntil([] { return false; }, 500ms);
    for (int round = 0; round < 20 && !FForm->SettingsButton->isEnabled(); ++round)
        FForm->TimeoutTimerTimer();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    ASSERT_TRUE(FForm->SettingsButton->isEnabled());
    EXPECT_EQ(Panel(0), "Timeout waiting for host");
    EXPECT_FALSE(FForm->SaveButton->isEnabled());
    EXPECT_EQ(FViewed.size(), 1u);  // a timeout shows the log
    EXPECT_TRUE(FErrors.empty());

    // Nobody at the other end any more: the request cannot be written, the
    // system's words say why, on the panel and in the error report.
    FForm->TrayEdit->setText(QStringLiteral("1234"));
    FForm->ReqButton->click();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    ASSERT_TRUE(FForm->SettingsButton->isEnabled());
    ASSERT_EQ(FErrors.size(), 1u);
    EXPECT_EQ(FErrors[0], Panel(0).toStdString());
    EXPECT_EQ(Panel(0).left(18), "Operation failed: ") << Panel(0).toStdString();
    EXPECT_FALSE(FForm->SaveButton->isEnabled());
}

}  // namespace
