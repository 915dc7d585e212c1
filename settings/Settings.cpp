#include "settings/Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
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

TSettingsForm::~TSettingsForm() = default;

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

// The host search arrives with its own window; until then the button does nothing.
void TSettingsForm::BitBtn3Click() {}

void TSettingsForm::ComPort1RxChar(std::int32_t) {}

void TSettingsForm::TimeoutTimerTimer() {}
