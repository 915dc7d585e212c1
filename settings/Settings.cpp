#include "settings/Settings.h"

#include <algorithm>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "link/Link.h"
#include "link/LinkName.h"
#include "serial/Comms.h"
#include "settings/Languages.h"

namespace {

constexpr int FirstComNumber = 1;
constexpr int LastComNumber = 99;

std::string Bytes(const QString& text) {
    return text.toLatin1().toStdString();
}

bool CanOpen(TComPort& port, const std::string& name) {
    port.SetPort(name);
    try {
        port.SetActive(true);
    } catch (const std::exception&) {
        return false;
    }
    port.SetActive(false);
    return true;
}

// Selects the item whose value (its item data) equals Value without regard
// to case; no selection when none does.
void SelectItem(QComboBox* box, const std::string& value) {
    box->setCurrentIndex(value.empty() ? -1
                                       : box->findData(Latin1Text(value), Qt::UserRole,
                                                       Qt::MatchFixedString));
}

// The value of a list's chosen item as the settings file writes it.
std::string ItemValue(const QComboBox* box) {
    return box->currentData().toString().toLatin1().toStdString();
}

// The language box's item for the settings' Language value (codes in any
// case), -1 for a value it does not offer.
int LanguageIndex(const QComboBox* box, const TNameValueList& settings) {
    return box->findData(Latin1Text(settings.Value("Language")).trimmed().toLower());
}

QComboBox* ComboBox(QWidget* parent, QRect geometry, bool editable, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setEditable(editable);
    for (const QString& item : items) box->addItem(item, item);
    box->setGeometry(geometry);
    return box;
}

}  // namespace

std::vector<std::string> ListUsablePorts(TComPort& port, const THooks& hooks) {
    std::vector<std::string> names;
    for (int n = FirstComNumber; n <= LastComNumber; ++n) {
        std::string name = "COM" + std::to_string(n);
        if (CanOpen(port, name)) names.push_back(std::move(name));
    }
    for (std::string& name : hooks.ListUsbSerialDevices())
        if (CanOpen(port, name)) names.push_back(std::move(name));
    return names;
}

TSettingsForm::TSettingsForm(TNameValueList& settings, THooks hooks, QWidget* parent)
    : QDialog(parent), FSettings(settings), FHooks(std::move(hooks)) {
    ComPort1 = std::make_unique<TComPort>(FHooks.ComPortHooks());
    ComPort1->OnRxChar = [this](TComPort*, std::int32_t inQue) { ComPort1RxChar(inQue); };
    CreateControls();
    FormCreate();
}

TSettingsForm::~TSettingsForm() {
    EndSearch();
    // The members go after this body: no delivery may reach them while the port closes.
    ComPort1->OnRxChar = nullptr;
    CloseSearchPort();
    FSearchLink.reset();
}

void TSettingsForm::CreateControls() {
    setObjectName(QStringLiteral("SettingsForm"));
    setWindowTitle(tr("Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    setFont(font);
    setFixedSize(260, 384);

    auto label = [this](const QString& caption, QRect geometry) {
        auto* l = new QLabel(caption, this);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setGeometry(geometry);
        return l;
    };
    Label1 = label(tr("COM Port"), {16, 23, 73, 18});
    Label2 = label(tr("Baud Rate"), {16, 52, 73, 18});
    Label3 = label(tr("Parity"), {16, 79, 73, 18});
    Label4 = label(tr("Data Bits"), {16, 106, 73, 18});
    Label5 = label(tr("Stop Bits"), {16, 133, 73, 18});
    Label6 = label(tr("Tracer Mode"), {8, 173, 81, 18});

    COMPortComboBox = ComboBox(this, {96, 20, 97, 24}, true, {});
    BaudRateComboBox = ComboBox(this, {96, 47, 97, 24}, true, {"9600", "38400", "57600"});
    // Parity and tracer mode show in the operator's language; the settings
    // file keeps their English names, the items' data.
    ParityComboBox = ComboBox(this, {96, 74, 97, 24}, false, {});
    for (const char* value : {QT_TR_NOOP("None"), QT_TR_NOOP("Even"), QT_TR_NOOP("Odd")})
        ParityComboBox->addItem(tr(value), QString::fromLatin1(value));
    DatabitsComboBox = ComboBox(this, {96, 101, 97, 24}, false, {"7", "8"});
    StopBitsComboBox = ComboBox(this, {96, 128, 97, 24}, false, {"1", "1.5", "2"});
    TracerModeComboBox = ComboBox(this, {96, 168, 145, 24}, false, {});
    for (const char* value : {QT_TR_NOOP("Preset Init"), QT_TR_NOOP("No Init")})
        TracerModeComboBox->addItem(tr(value), QString::fromLatin1(value));
    PauseCheckbox = new QCheckBox(tr("Pause After Init"), this);
    PauseCheckbox->setGeometry(96, 200, 145, 17);
    VerifyChecksumsCheckbox = new QCheckBox(tr("Verify Checksums"), this);
    VerifyChecksumsCheckbox->setGeometry(96, 222, 145, 17);
    VerifyChecksumsCheckbox->setToolTip(
        tr("Ask the host again for a reply damaged on the line. Turn off only for a "
           "host known to send wrong checksums."));

    BitBtn1 = new QPushButton(tr("&OK"), this);
    BitBtn1->setGeometry(49, 248, 75, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(tr("&Cancel"), this);
    BitBtn2->setGeometry(137, 248, 75, 25);
    BitBtn3 = new QPushButton(tr("Discover &Host"), this);
    BitBtn3->setGeometry(48, 280, 161, 33);

    LanguageLabel = label(tr("&Language"), {8, 327, 81, 18});
    LanguageComboBox = ComboBox(this, {96, 324, 145, 24}, false, {});
    LanguageComboBox->addItem(tr("System"), QString());
    for (const TLanguage& language : Languages)
        LanguageComboBox->addItem(QString::fromUtf16(language.Name),
                                  QString::fromLatin1(language.Code));
    LanguageLabel->setBuddy(LanguageComboBox);
    LanguageNote = new QLabel(tr("Takes effect at the next start."), this);
    LanguageNote->setGeometry(96, 350, 160, 28);
    LanguageNote->setWordWrap(true);
    LanguageNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    TimeoutTimer = new QTimer(this);
    TimeoutTimer->setInterval(3000);
    // A coarse timer may fire up to 5 % early: a host gets its full 3000 ms.
    TimeoutTimer->setTimerType(Qt::PreciseTimer);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(TimeoutTimer, &QTimer::timeout, this, [this] { TimeoutTimerTimer(); });
    // Raw TCP carries bytes only: the line settings are the device server's affair.
    connect(COMPortComboBox, &QComboBox::editTextChanged, this, [this](const QString& port) {
        const bool raw = ParseLinkName(Bytes(port)).Kind == lkSocket;
        const QString tip =
            raw ? tr("Not used for socket:// ports: set the line at the device server") : QString();
        for (QComboBox* box :
             {BaudRateComboBox, ParityComboBox, DatabitsComboBox, StopBitsComboBox}) {
            box->setEnabled(!raw);
            box->setToolTip(tip);
        }
    });
}

void TSettingsForm::FormCreate() {
    COMPortComboBox->clear();
    for (const std::string& name : ListUsablePorts(*ComPort1, FHooks))
        COMPortComboBox->addItem(Latin1Text(name));

    COMPortComboBox->setEditText(Latin1Text(FSettings.Value("Port")));
    BaudRateComboBox->setEditText(Latin1Text(FSettings.Value("BaudRate")));
    SelectItem(ParityComboBox, FSettings.Value("Parity"));
    SelectItem(DatabitsComboBox, FSettings.Value("DataBits"));
    SelectItem(StopBitsComboBox, FSettings.Value("StopBits"));
    SelectItem(TracerModeComboBox, FSettings.Value("TracerMode"));
    PauseCheckbox->setChecked(FSettings.Value("PauseMode") == "Y");
    VerifyChecksumsCheckbox->setChecked(FSettings.Value("VerifyChecksums") != "N");
    // "System", an unknown code or none: the system's language.
    LanguageComboBox->setCurrentIndex(std::max(LanguageIndex(LanguageComboBox, FSettings), 0));
}

void TSettingsForm::BitBtn1Click() {
    FSettings.SetValue("Port", Bytes(COMPortComboBox->currentText()));
    FSettings.SetValue("BaudRate", Bytes(BaudRateComboBox->currentText()));
    FSettings.SetValue("Parity", ItemValue(ParityComboBox));
    FSettings.SetValue("DataBits", ItemValue(DatabitsComboBox));
    FSettings.SetValue("StopBits", ItemValue(StopBitsComboBox));
    FSettings.SetValue("TracerMode", ItemValue(TracerModeComboBox));
    FSettings.SetValue("PauseMode", PauseCheckbox->isChecked() ? "Y" : "N");
    // Verifying is the default: only turning it off is written down.
    FSettings.SetValue("VerifyChecksums", VerifyChecksumsCheckbox->isChecked() ? "" : "N");
    // The system's language is the default: only a chosen one is written down,
    // and a value this program does not know is kept for a newer one.
    const QString language = LanguageComboBox->currentData().toString();
    if (!language.isEmpty() || LanguageIndex(LanguageComboBox, FSettings) > 0)
        FSettings.SetValue("Language", Bytes(language));
    accept();
}

void TSettingsForm::BitBtn2Click() {
    reject();
}

// --- Host search ------------------------------------------------------------

void TSettingsForm::BitBtn3Click() {
    if (FFindState != fsIdle) return;
    // A network port in the field is the one place to look: the serial ports
    // are not probed, and only a device server has baud rates to try.
    const std::string typed = Bytes(COMPortComboBox->currentText());
    const TLinkKind kind = ParseLinkName(typed).Kind;
    std::string question =
        "This will attempt to find the host\ron all available serial ports at all\r"
        "available baud rates.\r\rContinue?";
    if (kind == lkRfc2217)
        question = "This will attempt to find the host\ron " + typed +
                   " at all\ravailable baud rates.\r\rContinue?";
    else if (kind == lkSocket)
        question = "This will attempt to find the host\ron " + typed + ".\r\rContinue?";
    const TMessageBoxInfo confirm{question, "Confirm...", QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No};
    if (FHooks.ShowMessageBox(this, confirm) != QMessageBox::Yes) return;

    // One search at a time: the button stays off until this one ends.
    BitBtn3->setEnabled(false);
    FNetworkSearch = kind != lkSerial;
    FCandidates = FNetworkSearch ? NetworkCandidates(typed) : BuildCandidates(*ComPort1, FHooks);
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

void TSettingsForm::PostFindMessage(QEvent::Type message, int wParam) {
    QCoreApplication::postEvent(this, new TFindMessage(message, wParam, FSearch));
}

bool TSettingsForm::event(QEvent* event) {
    const QEvent::Type type = event->type();
    const bool find = type == WM_FINDNEXT || type == WM_FINDDONE || type == WM_HOSTFOUND;
    const auto* message = find ? dynamic_cast<const TFindMessage*>(event) : nullptr;
    if (message == nullptr) return QDialog::event(event);
    // A message of an earlier search, or one that arrives after its search
    // ended, finds nothing to act on: the progress window is gone.
    if (message->Search() != FSearch || FFindState == fsIdle || !FindPortForm) return true;
    if (type == WM_FINDNEXT)
        WMFindNext();
    else if (type == WM_FINDDONE)
        WMFindDone(message->WParam());
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

    const TCandidate candidate = SplitCandidate(FCandidates.front());
    FAttempt = candidate;
    if (FNetworkSearch) {
        if (!OpenNetworkAttempt(candidate)) return;
    } else {
        ComPort1->SetPort(candidate.Port);
        ComPort1->SetBaudRate(candidate.BaudRate);
        try {
            ComPort1->SetActive(true);
        } catch (const std::exception&) {
            FFailedPort = candidate.Port;
            PostFindMessage(WM_FINDDONE, foNoAccess);
            return;
        }
    }
    FindPortForm->Label1->setText(FHooks.ShownText(TryingText(candidate.Port, candidate.BaudRate)));
    FCandidates.erase(FCandidates.begin());

    try {
        if (FNetworkSearch)
            FSearchLink->Write(FindHostRequest());
        else
            ComPort1->Write(FindHostRequest(), false);
    } catch (const std::exception& e) {
        // Without a request there is nothing to wait for: the search waits
        // for the operator's Cancel.
        FFindState = fsStalled;
        FHooks.Report(std::string(e.what()));
        return;
    }
    FFindState = fsWaiting;
    TimeoutTimer->start();
}

// Connects the search's link to a network candidate (at its rate, for a
// device server); false, with the search ended, when it cannot.
bool TSettingsForm::OpenNetworkAttempt(const TCandidate& candidate) {
    if (!FSearchLink) {
        FSearchLink = NewNetLink(FHooks.ComPortHooks());
        FSearchLink->OnReceive = [this](std::int32_t count) {
            if (FFindState != fsWaiting && FFindState != fsTimedOut) return;
            SearchReceived(FSearchLink->Read(count));
        };
    }
    TLinkSettings line;
    line.Port = candidate.Port;
    line.BaudRate = candidate.BaudRate == 0 ? 9600 : candidate.BaudRate;
    try {
        FSearchLink->Open(line);
    } catch (const std::exception&) {
        FFailedPort = candidate.Port;
        PostFindMessage(WM_FINDDONE, foNoAccess);
        return false;
    }
    return true;
}

void TSettingsForm::ComPort1RxChar(std::int32_t inQue) {
    if (FFindState != fsWaiting && FFindState != fsTimedOut) return;
    SearchReceived(ReadWaiting(inQue));
}

void TSettingsForm::SearchReceived(const std::string& bytes) {
    // The whole buffer is searched each time, so an answer split over several
    // deliveries is found when its last part arrives.
    FReplyBuffer += bytes;
    if (!IsHostAnswer(FReplyBuffer)) return;
    TimeoutTimer->stop();
    FFindState = fsFound;
    PostFindMessage(WM_HOSTFOUND);
}

// Reads the Count bytes the receive event reported; bytes that arrive
// meanwhile are announced by the port's next event.
std::string TSettingsForm::ReadWaiting(std::int32_t count) {
    std::string bytes;
    if (count <= 0) return bytes;
    std::int32_t got = ComPort1->Read(bytes, count, false);
    if (got == -1) got = ComPort1->WaitForLastOperation();
    bytes.resize(static_cast<std::size_t>(std::max(got, 0)));
    return bytes;
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
    const std::string port = FNetworkSearch ? FAttempt.Port : ComPort1->Port();
    const std::int32_t rate = FNetworkSearch ? FAttempt.BaudRate : ComPort1->BaudRate();
    COMPortComboBox->setEditText(Latin1Text(port));
    // A socket:// host has no line speed of its own: the field keeps its text.
    if (rate != 0) BaudRateComboBox->setEditText(QString::number(rate));
    SelectItem(ParityComboBox, "None");
    SelectItem(DatabitsComboBox, "8");
    SelectItem(StopBitsComboBox, "1");
    // The untried candidates stay until the next search clears them.
    EndSearch();
    FHooks.ShowMessageBox(this, {"Found host on " + port, "Success!", QMessageBox::Information,
                          QMessageBox::Ok, QMessageBox::Ok});
}

void TSettingsForm::WMFindDone(int outcome) {
    CloseSearchPort();
    FCandidates.clear();
    EndSearch();
    TMessageBoxInfo box;
    switch (outcome) {
        case foCancelled:
            box = {"Cancelled finding the host", "Cancelled", QMessageBox::Information};
            break;
        case foNotFound:
            box = {"Did not find host", "Host Not Found", QMessageBox::Critical};
            break;
        default:
            box = {"Unable to access " + FFailedPort, "Problem...", QMessageBox::Critical};
            break;
    }
    FHooks.ShowMessageBox(this, box);
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
        if (FSearchLink) FSearchLink->Close();
    } catch (const std::exception& e) {
        FHooks.Report(std::string(e.what()));
    }
}

void TSettingsForm::setVisible(bool visible) {
    // A window moved before it is shown keeps its place: Qt would otherwise
    // centre a dialog over its owner.
    if (visible && !isVisible() && !testAttribute(Qt::WA_Moved)) {
        create();  // the platform window knows the frame the window will get
        if (const QScreen* shown = screen()) {
            const QRect area = shown->availableGeometry();
            const QSize outer = frameGeometry().size();
            move(area.x() + (area.width() - outer.width()) / 2,
                 area.y() + (area.height() - outer.height()) / 2);
        }
    }
    QDialog::setVisible(visible);
}

void TSettingsForm::done(int result) {
    // Silently: the operator closed the dialog, not the search.
    FCandidates.clear();
    EndSearch();
    QDialog::done(result);
}
