#include "app/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <chrono>

#include "app/ErrorReport.h"
#include "app/Glyphs.h"
#include "app/StatusBar.h"
#include "app/ValueEdit.h"
#include "serial/Comms.h"

namespace {

constexpr int ClientWidth = 462;
constexpr int ClientHeight = 586;
constexpr int Panel1Height = 161;
constexpr int StatusBarHeight = 19;

QFont PixelFont(const char* Family, int Pixels) {
    QFont Font{QString::fromLatin1(Family)};
    Font.setPixelSize(Pixels);
    return Font;
}

QPushButton* GlyphButton(QWidget* Parent, const char* Caption, TGlyph Glyph, QRect Geometry) {
    auto* Button = new QPushButton(GlyphIcon(Glyph), QString::fromLatin1(Caption), Parent);
    Button->setGeometry(Geometry);
    Button->setAutoDefault(false);
    return Button;
}

QToolButton* SmallGlyphButton(QWidget* Parent, TGlyph Glyph, const char* Hint, QRect Geometry) {
    auto* Button = new QToolButton(Parent);
    Button->setIcon(GlyphIcon(Glyph));
    Button->setToolTip(QString::fromLatin1(Hint));
    Button->setFocusPolicy(Qt::NoFocus);
    Button->setAutoRaise(true);
    Button->setGeometry(Geometry);
    return Button;
}

QLabel* RightLabel(QWidget* Parent, const char* Caption, QRect Geometry) {
    auto* Label = new QLabel(QString::fromLatin1(Caption), Parent);
    Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label->setGeometry(Geometry);
    return Label;
}

}  // namespace

TForm1::TForm1(TFormHooks Hooks, QWidget* Parent) : QWidget(Parent), FHooks(std::move(Hooks)) {
    FProgramFile = FHooks.ProgramFile.empty()
                       ? QCoreApplication::applicationFilePath().toStdString()
                       : FHooks.ProgramFile;
    for (int State = 0; State < ConversationStateCount; ++State)
        if (FSteps[State] != nullptr) FStepTable[State] = FSteps[State];
    COMPort = std::make_unique<TComPort>();
    COMPort->OnRxChar = [this](TComPort*, std::int32_t InQue) { COMPortRxChar(InQue); };
    CreateControls();
    ConnectControls();
    qApp->installEventFilter(this);
    FormCreate();
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    FormClose();
    // The port's event thread hands its events to this window: stop it first.
    COMPort.reset();
}

void TForm1::CreateControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Trevalon"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ClientWidth, ClientHeight);
    setFont(PixelFont("Arial", 13));

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(0, 0, ClientWidth, Panel1Height);

    Label1 = new QLabel(QStringLiteral("&Tray/Job Number"), Panel1);
    Label1->setGeometry(15, 4, 129, 16);
    TrayEdit = new QLineEdit(Panel1);
    TrayEdit->setGeometry(15, 20, 129, 32);
    TrayEdit->setFont(PixelFont("MS Sans Serif", 19));
    TrayEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    Label1->setBuddy(TrayEdit);

    TrayNoPopupMenu = new QMenu(this);
    Circle1 = TrayNoPopupMenu->addAction(QStringLiteral("Circle"));
    Square1 = TrayNoPopupMenu->addAction(QStringLiteral("Square"));
    Diamond1 = TrayNoPopupMenu->addAction(QStringLiteral("Diamond"));
    FlowerPot1 = TrayNoPopupMenu->addAction(QStringLiteral("Flower Pot"));

    ReqButton = GlyphButton(Panel1, "&Request Shape", glRequest, {15, 57, 129, 30});
    SaveButton = GlyphButton(Panel1, "&Save Shape", glSave, {15, 89, 129, 30});
    ShowOrigCheckbox = new QCheckBox(QStringLiteral("Show Orig Shape"), Panel1);
    ShowOrigCheckbox->setGeometry(16, 122, 130, 16);
    DetailedGridCheckBox = new QCheckBox(QStringLiteral("Detailed Grid"), Panel1);
    DetailedGridCheckBox->setGeometry(16, 138, 130, 16);
    RotLeftButton = SmallGlyphButton(Panel1, glRotateLeft,
                                     "Rotate Shape One Data Point to the Left", {152, 128, 23, 22});
    RotRightButton = SmallGlyphButton(
        Panel1, glRotateRight, "Rotate Shape One Data Point to the Right", {176, 128, 23, 22});
    ResetButton = GlyphButton(Panel1, "Reset", glReset, {208, 17, 82, 30});
    HelpButton = GlyphButton(Panel1, "Help", glHelp, {208, 89, 82, 30});
    SettingsButton = GlyphButton(Panel1, "Settings", glSettings, {208, 121, 82, 30});

    // Aligned to the right of Panel1, inside its one-pixel bevel.
    Panel2 = new QFrame(Panel1);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2->setGeometry(ClientWidth - 1 - 165, 1, 165, Panel1Height - 2);

    struct TEditRow {
        TValueEdit** Edit;
        QLabel** Label;
        QLabel** Change;
        const char* Caption;
        int Top;
        int ChangeLeft;
    };
    const TEditRow Rows[] = {
        {&BoxAEdit, &BoxALabel, &ChgALabel, "&A", 14, 111},
        {&BoxBEdit, &BoxBLabel, &ChgBLabel, "&B", 38, 111},
        {&CircEdit, &CircLabel, &ChgCLabel, "&Circ", 62, 111},
        {&DBLEdit, &DBLLabel, &DBLChgLabel, "&DBL", 102, 112},
    };
    for (const TEditRow& Row : Rows) {
        *Row.Edit = new TValueEdit(Panel2);
        (*Row.Edit)->setGeometry(42, Row.Top, 67, 24);
        *Row.Label = RightLabel(Panel2, Row.Caption, {8, Row.Top, 32, 24});
        (*Row.Label)->setBuddy(*Row.Edit);
        *Row.Change = RightLabel(Panel2, "---", {Row.ChangeLeft, Row.Top, 46, 24});
    }
    BoxAEdit->setObjectName(QStringLiteral("BoxAEdit"));
    BoxBEdit->setObjectName(QStringLiteral("BoxBEdit"));
    CircEdit->setObjectName(QStringLiteral("CircEdit"));
    DBLEdit->setObjectName(QStringLiteral("DBLEdit"));
    LockBCheckbox = new QCheckBox(QStringLiteral("Lock B at Datum"), Panel2);
    LockBCheckbox->setGeometry(16, 129, 140, 17);
    LockBCheckbox->setChecked(true);

    Image1 = new QLabel(this);
    Image1->setGeometry(0, Panel1Height, ClientWidth,
                        ClientHeight - Panel1Height - StatusBarHeight);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setContextMenuPolicy(Qt::CustomContextMenu);
    ImagePopupMenu = new QMenu(this);
    DisplayCommunicationLog1 =
        ImagePopupMenu->addAction(QStringLiteral("Display Communication Log"));

    StatusBar1 = new TStatusBar(this);
    StatusBar1->setGeometry(0, ClientHeight - StatusBarHeight, ClientWidth, StatusBarHeight);

    TimeoutTimer = new QTimer(this);
    TimeoutTimer->setInterval(1000);

    // Centred on the screen.
    if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
        const QRect Area = Screen->availableGeometry();
        move(Area.center() - QPoint(ClientWidth / 2, ClientHeight / 2));
    }
}

void TForm1::ConnectControls() {
    auto On = [this](auto Member) {
        return [this, Member] { Guarded([&] { (this->*Member)(); }); };
    };
    connect(TrayEdit, &QLineEdit::textChanged, this, On(&TForm1::TrayEditChange));
    connect(TrayEdit, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& At) { TrayNoPopupMenu->popup(TrayEdit->mapToGlobal(At)); });
    connect(Circle1, &QAction::triggered, this, On(&TForm1::Circle1Click));
    connect(Square1, &QAction::triggered, this,
            [this] { Guarded([this] { Square1Click(Square1); }); });
    connect(Diamond1, &QAction::triggered, this,
            [this] { Guarded([this] { Square1Click(Diamond1); }); });
    connect(FlowerPot1, &QAction::triggered, this, On(&TForm1::FlowerPotClick));
    connect(ReqButton, &QPushButton::clicked, this, On(&TForm1::ReqButtonClick));
    connect(SaveButton, &QPushButton::clicked, this, On(&TForm1::SaveButtonClick));
    connect(ShowOrigCheckbox, &QCheckBox::clicked, this, On(&TForm1::ShowOrigCheckboxClick));
    connect(DetailedGridCheckBox, &QCheckBox::clicked, this,
            On(&TForm1::DetailedGridCheckBoxClick));
    connect(RotLeftButton, &QToolButton::clicked, this,
            [this] { Guarded([this] { RotRightButtonClick(RotLeftButton); }); });
    connect(RotRightButton, &QToolButton::clicked, this,
            [this] { Guarded([this] { RotRightButtonClick(RotRightButton); }); });
    connect(ResetButton, &QPushButton::clicked, this, On(&TForm1::ResetButtonClick));
    connect(HelpButton, &QPushButton::clicked, this, On(&TForm1::HelpButtonClick));
    connect(SettingsButton, &QPushButton::clicked, this, On(&TForm1::SettingsButtonClick));
    for (TValueEdit* Edit : {BoxAEdit, BoxBEdit, CircEdit, DBLEdit})
        connect(Edit, &TValueEdit::Changed, this,
                [this, Edit] { Guarded([this, Edit] { BoxValsEditChange(Edit); }); });
    connect(LockBCheckbox, &QCheckBox::clicked, this, On(&TForm1::LockBCheckboxClick));
    connect(Image1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& At) { ImagePopupMenu->popup(Image1->mapToGlobal(At)); });
    connect(DisplayCommunicationLog1, &QAction::triggered, this,
            On(&TForm1::DisplayCommunicationLog1Click));
    connect(TimeoutTimer, &QTimer::timeout, this, On(&TForm1::TimeoutTimerTimer));
}

void TForm1::SendMessage(QEvent::Type Message) {
    QEvent Event(Message);
    QCoreApplication::sendEvent(this, &Event);
}

void TForm1::PostMessage(QEvent::Type Message) {
    QCoreApplication::postEvent(this, new QEvent(Message));
}

bool TForm1::event(QEvent* Event) {
    switch (static_cast<int>(Event->type())) {
        case WM_APPLYSETTINGS:
            Guarded([this] { ConfigurePort(); });
            return true;
        case WM_ENDCONVERSATION:
            Guarded([this] { EndConversation(); });
            return true;
        case WM_REDRAWSHAPE:
            Guarded([this] { DrawShape(); });
            return true;
        case WM_HOSTREPLY:
            Guarded([this] { HostReply(); });
            return true;
        default:
            return QWidget::event(Event);
    }
}

// The window previews every key before the focused control sees it. Only the
// key's first receiver counts, so a key that travels up to parents is seen once.
bool TForm1::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() != QEvent::KeyPress || !Watched->isWidgetType())
        return QWidget::eventFilter(Watched, Event);
    auto* Widget = static_cast<QWidget*>(Watched);
    QWidget* Focus = QApplication::focusWidget();
    const bool FirstReceiver = Focus != nullptr ? Widget == Focus : Widget == this;
    if (!FirstReceiver || Widget->window() != this) return QWidget::eventFilter(Watched, Event);
    auto* Key = static_cast<QKeyEvent*>(Event);
    bool Consumed = false;
    Guarded([&] {
        Consumed = FormKeyDown(Key);
        if (!Consumed && Widget == TrayEdit) Consumed = TrayEditKeyPress(Key);
    });
    return Consumed;
}

void TForm1::closeEvent(QCloseEvent* Event) {
    Guarded([this] { FormClose(); });
    Event->accept();
}

std::uint32_t TForm1::TickCount() const {
    if (FHooks.TickCount) return FHooks.TickCount();
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

QTime TForm1::LocalTime() const {
    return FHooks.LocalTime ? FHooks.LocalTime() : QTime::currentTime();
}
