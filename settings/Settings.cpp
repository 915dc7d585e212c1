#include "settings/Settings.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "serial/Comms.h"

namespace {

constexpr int FirstComNumber = 1;
constexpr int LastComNumber = 99;

QString Latin1(const std::string& Text) {
    return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

std::string Bytes(const QString& Text) {
    return Text.toLatin1().toStdString();
}

bool CanOpen(TComPort& Port, const std::string& Name) {
    Port.SetPort(Name);
    try {
        Port.SetActive(true);
    } catch (const std::exception&) {
        return false;
    }
    Port.SetActive(false);
    return true;
}

// Selects the item whose text equals Value without regard to case; no
// selection when none does.
void SelectItem(QComboBox* Box, const std::string& Value) {
    Box->setCurrentIndex(Value.empty() ? -1 : Box->findText(Latin1(Value), Qt::MatchFixedString));
}

QComboBox* ComboBox(QWidget* Parent, QRect Geometry, bool Editable, const QStringList& Items) {
    auto* Box = new QComboBox(Parent);
    Box->setEditable(Editable);
    Box->addItems(Items);
    Box->setGeometry(Geometry);
    return Box;
}

}  // namespace

std::vector<std::string> ListUsablePorts(TComPort& Port) {
    std::vector<std::string> Names;
    for (int n = FirstComNumber; n <= LastComNumber; ++n) {
        std::string Name = "COM" + std::to_string(n);
        if (CanOpen(Port, Name)) Names.push_back(std::move(Name));
    }
    for (std::string& Name : EnumerateUsbSerialDevices())
        if (CanOpen(Port, Name)) Names.push_back(std::move(Name));
    return Names;
}

TSettingsForm::TSettingsForm(TNameValueList& Settings, QWidget* Parent)
    : QDialog(Parent), FSettings(Settings) {
    ComPort1 = std::make_unique<TComPort>();
    ComPort1->OnRxChar = [this](TComPort*, std::int32_t InQue) { ComPort1RxChar(InQue); };
    CreateControls();
    FormCreate();
}

TSettingsForm::~TSettingsForm() {
    EndSearch();
    // The members go after this body: no delivery may reach them while the port closes.
    ComPort1->OnRxChar = nullptr;
    CloseSearchPort();
}

void TSettingsForm::CreateControls() {
    setObjectName(QStringLiteral("SettingsForm"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont Font(QStringLiteral("Arial"));
    Font.setPixelSize(13);
    setFont(Font);
    setFixedSize(260, 325);

    auto Label = [this](const char* Caption, QRect Geometry) {
        auto* L = new QLabel(QString::fromLatin1(Caption), this);
        L->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        L->setGeometry(Geometry);
        return L;
    };
    Label1 = Label("COM Port", {16, 23, 73, 18});
    Label2 = Label("Baud Rate", {16, 52, 73, 18});
    Label3 = Label("Parity", {16, 79, 73, 18});
    Label4 = Label("Data Bits", {16, 106, 73, 18});
    Label5 = Label("Stop Bits", {16, 133, 73, 18});
    Label6 = Label("Tracer Mode", {8, 173, 81, 18});

    COMPortComboBox = ComboBox(this, {96, 20, 97, 24}, true, {});
    BaudRateComboBox = ComboBox(this, {96, 47, 97, 24}, true, {"9600", "38400", "57600"});
    ParityComboBox = ComboBox(this, {96, 74, 97, 24}, false, {"None", "Even", "Odd"});
    DatabitsComboBox = ComboBox(this, {96, 101, 97, 24}, false, {"7", "8"});
    StopBitsComboBox = ComboBox(this, {96, 128, 97, 24}, false, {"1", "1.5", "2"});
    TracerModeComboBox = ComboBox(this, {96, 168, 145, 24}, false, {"Preset Init", "No Init"});
    PauseCheckbox = new QCheckBox(QStringLiteral("Pause After Init"), this);
    PauseCheckbox->setGeometry(96, 200, 145, 17);

    BitBtn1 = new QPushButton(QStringLiteral("&OK"), this);
    BitBtn1->setGeometry(49, 248, 75, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("&Cancel"), this);
    BitBtn2->setGeometry(137, 248, 75, 25);
    BitBtn3 = new QPushButton(QStringLiteral("Discover &Host"), this);
    BitBtn3->setGeometry(48, 280, 161, 33);

    TimeoutTimer = new QTimer(this);
    TimeoutTimer->setInterval(3000);
    // A coarse timer may fire up to 5 % early: a host gets its full 3000 ms.
    TimeoutTimer->setTimerType(Qt::PreciseTimer);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(TimeoutTimer, &QTimer::timeout, this, [this] { TimeoutTimerTimer(); });
}

void TSettingsForm::FormCreate() {
    COMPortComboBox->clear();
    for (const std::string& Name : ListUsablePorts(*ComPort1))
        COMPortComboBox->addItem(Latin1(Name));

    COMPortComboBox->setEditText(Latin1(FSettings.Value("Port")));
    BaudRateComboBox->setEditText(Latin1(FSettings.Value("BaudRate")));
    SelectItem(ParityComboBox, FSettings.Value("Parity"));
    SelectItem(DatabitsComboBox, FSettings.Value("DataBits"));
    SelectItem(StopBitsComboBox, FSettings.Value("StopBits"));
    SelectItem(TracerModeComboBox, FSettings.Value("TracerMode"));
    PauseCheckbox->setChecked(FSettings.Value("PauseMode") == "Y");
}

void TSettingsForm::BitBtn1Click() {
    FSettings.SetValue("Port", Bytes(COMPortComboBox->currentText()));
    FSettings.SetValue("BaudRate", Bytes(BaudRateComboBox->currentText()));
    FSettings.SetValue("Parity", Bytes(ParityComboBox->currentText()));
    FSettings.SetValue("DataBits", Bytes(DatabitsComboBox->currentText()));
    FSettings.SetValue("StopBits", Bytes(StopBitsComboBox->currentText()));
    FSettings.SetValue("TracerMode", Bytes(TracerModeComboBox->currentText()));
    FSettings.SetValue("PauseMode", PauseCheckbox->isChecked() ? "Y" : "N");
    accept();
}

void TSettingsForm::BitBtn2Click() {
    reject();
}

// --- Host search ------------------------------------------------------------

void TSettingsForm::BitBtn3Click() {
    if (FFindState != fsIdle) return;
    const TMessageBoxInfo Confirm{
        "This will attempt to find the host\ron all available serial ports at all\r"
        "available baud rates.\r\rContinue?",
        "Confirm...", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No};
    if (ShowMessageBox(this, Confirm) != QMessageBox::Yes) return;

    // One search at a time: the button stays off until this one ends.
    BitBtn3->setEnabled(false);
    FCandidates = BuildCandidates(*ComPort1);
    ComPort1->SetDataBits(8);
    ComPort1->Parity().SetBits(prNone);
    ComPort1->SetStopBits(sbOneStopBit);

    ++FSearch;
    FindPortForm = new TFindPortForm(this, FSearch);
    FindPortForm->ProgressBar1->setRange(0, static_cast<int>(FCandidates.size()));
    FindPortForm->ProgressBar1->setValue(0);
    FindPortForm->show();
    FFindState = fsStarting;
    PostFindMessage(WM_FINDNEXT);
}

void TSettingsForm::PostFindMessage(QEvent::Type Message, int WParam) {
    QCoreApplication::postEvent(this, new TFindMessage(Message, WParam, FSearch));
}

bool TSettingsForm::event(QEvent* Event) {
    const QEvent::Type Type = Event->type();
    const bool Find = Type == WM_FINDNEXT || Type == WM_FINDDONE || Type == WM_HOSTFOUND;
    const auto* Message = Find ? dynamic_cast<const TFindMessage*>(Event) : nullptr;
    if (Message == nullptr) return QDialog::event(Event);
    // A message of an earlier search, or one that arrives after its search
    // ended, finds nothing to act on: the progress window is gone.
    if (Message->Search() != FSearch || FFindState == fsIdle || !FindPortForm) return true;
    if (Type == WM_FINDNEXT)
        WMFindNext();
    else if (Type == WM_FINDDONE)
        WMFindDone(Message->WParam());
    else
        WMHostFound();
    return true;
}

void TSettingsForm::WMFindNext() {
    // Only the message that follows the start or a timeout starts an attempt;
    // once an answer was recognised, a timeout's late message is dropped.
    if (FFindState != fsStarting && FFindState != fsTimedOut) return;
    if (FCandidates.empty()) {
        PostFindMessage(WM_FINDDONE, foNotFound);
        return;
    }
    FFindState = fsOpening;
    FindPortForm->ProgressBar1->setValue(FindPortForm->ProgressBar1->value() + 1);
    FReplyBuffer.clear();
    CloseSearchPort();

    const TCandidate Candidate = SplitCandidate(FCandidates.front());
    ComPort1->SetPort(Candidate.Port);
    ComPort1->SetBaudRate(Candidate.BaudRate);
    try {
        ComPort1->SetActive(true);
    } catch (const std::exception&) {
        FFailedPort = Candidate.Port;
        PostFindMessage(WM_FINDDONE, foNoAccess);
        return;
    }
    FindPortForm->Label1->setText(Latin1("Trying " + Candidate.Port + " at " +
                                         std::to_string(Candidate.BaudRate) + " baud..."));
    FCandidates.erase(FCandidates.begin());

    try {
        ComPort1->Write(FindHostRequest(), false);
    } catch (const std::exception& E) {
        // Without a request there is nothing to wait for: the search waits
        // for the operator's Cancel.
        FFindState = fsStalled;
        ReportComError(E.what());
        return;
    }
    FFindState = fsWaiting;
    TimeoutTimer->start();
}

void TSettingsForm::ComPort1RxChar(std::int32_t InQue) {
    if (FFindState != fsWaiting && FFindState != fsTimedOut) return;
    // The whole buffer is searched each time, so an answer split over several
    // deliveries is found when its last part arrives.
    FReplyBuffer += ReadWaiting(InQue);
    if (!IsHostAnswer(FReplyBuffer)) return;
    TimeoutTimer->stop();
    FFindState = fsFound;
    PostFindMessage(WM_HOSTFOUND);
}

// Reads the Count bytes the receive event reported; bytes that arrive
// meanwhile are announced by the port's next event.
std::string TSettingsForm::ReadWaiting(std::int32_t Count) {
    std::string Data;
    if (Count <= 0) return Data;
    std::int32_t Got = ComPort1->Read(Data, Count, false);
    if (Got == -1) Got = ComPort1->WaitForLastOperation();
    Data.resize(static_cast<std::size_t>(std::max(Got, 0)));
    return Data;
}

void TSettingsForm::TimeoutTimerTimer() {
    TimeoutTimer->stop();
    if (FFindState != fsWaiting) return;
    FFindState = fsTimedOut;
    PostFindMessage(WM_FINDNEXT);
}

void TSettingsForm::WMHostFound() {
    if (FFindState != fsFound) return;
    CloseSearchPort();
    const std::string Port = ComPort1->Port();
    COMPortComboBox->setEditText(Latin1(Port));
    BaudRateComboBox->setEditText(QString::number(ComPort1->BaudRate()));
    SelectItem(ParityComboBox, "None");
    SelectItem(DatabitsComboBox, "8");
    SelectItem(StopBitsComboBox, "1");
    // The untried candidates stay until the next search clears them.
    EndSearch();
    ShowMessageBox(this, {"Found host on " + Port, "Success!", QMessageBox::Information,
                          QMessageBox::Ok, QMessageBox::Ok});
}

void TSettingsForm::WMFindDone(int Outcome) {
    CloseSearchPort();
    FCandidates.clear();
    EndSearch();
    TMessageBoxInfo Box;
    switch (Outcome) {
        case foCancelled:
            Box = {"Cancelled finding the host", "Cancelled", QMessageBox::Information};
            break;
        case foNotFound:
            Box = {"Did not find host", "Host Not Found", QMessageBox::Critical};
            break;
        default:
            Box = {"Unable to access " + FFailedPort, "Problem...", QMessageBox::Critical};
            break;
    }
    ShowMessageBox(this, Box);
}

// Back to idle: no timer, no progress window, the button usable again. The
// caller closes the port first where the order matters to it.
void TSettingsForm::EndSearch() {
    if (FFindState == fsIdle) return;
    FFindState = fsIdle;
    TimeoutTimer->stop();
    CloseSearchPort();
    delete FindPortForm.data();
    BitBtn3->setEnabled(true);
}

void TSettingsForm::CloseSearchPort() {
    try {
        ComPort1->SetActive(false);
    } catch (const std::exception& E) {
        ReportComError(E.what());
    }
}

void TSettingsForm::setVisible(bool Visible) {
    // A window moved before it is shown keeps its place: Qt would otherwise
    // centre a dialog over its owner.
    if (Visible && !isVisible() && !testAttribute(Qt::WA_Moved)) {
        create();  // the platform window knows the frame the window will get
        if (const QScreen* Screen = screen()) {
            const QRect Area = Screen->availableGeometry();
            const QSize Outer = frameGeometry().size();
            move(Area.x() + (Area.width() - Outer.width()) / 2,
                 Area.y() + (Area.height() - Outer.height()) / 2);
        }
    }
    QDialog::setVisible(Visible);
}

void TSettingsForm::done(int Result) {
    // Silently: the operator closed the dialog, not the search.
    FCandidates.clear();
    EndSearch();
    QDialog::done(Result);
}
