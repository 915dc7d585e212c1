#include "app/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include "app/ErrorReport.h"
#include "app/Glyphs.h"
#include "app/ProgramInfo.h"
#include "app/SampleHost.h"
#include "app/ScreenTexts.h"
#include "app/StatusBar.h"
#include "app/ValueEdit.h"
#include "serial/Comms.h"

namespace {

constexpr int ClientWidth = 462;
constexpr int ClientHeight = 586;
constexpr int Panel1Height = 161;
constexpr int StatusBarHeight = 19;

QFont PixelFont(const char* family, int pixels) {
    QFont font{QString::fromLatin1(family)};
    font.setPixelSize(pixels);
    return font;
}

QPushButton* GlyphButton(QWidget* parent, const QString& caption, TGlyph glyph, QRect geometry) {
    auto* button = new QPushButton(GlyphIcon(glyph), caption, parent);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QToolButton* SmallGlyphButton(QWidget* parent, TGlyph glyph, const QString& hint, QRect geometry) {
    auto* button = new QToolButton(parent);
    button->setIcon(GlyphIcon(glyph));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    button->setGeometry(geometry);
    return button;
}

QLabel* RightLabel(QWidget* parent, const QString& caption, QRect geometry) {
    auto* label = new QLabel(caption, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(geometry);
    return label;
}

}  // namespace

TForm1::TForm1(THooks hooks, QWidget* parent) : QWidget(parent), FHooks(std::move(hooks)) {
    if (!FHooks.ScreenText) FHooks.ScreenText = ScreenText;
    FProgramFile = FHooks.ProgramFile.empty()
                       ? QCoreApplication::applicationFilePath().toStdString()
                       : FHooks.ProgramFile;
    COMPort = std::make_unique<TComPort>(FHooks.ComPortHooks());
    CreateSession();
    CreateControls();
    ConnectControls();
    qApp->installEventFilter(this);
    FormCreate();
    OfferSampleHost();
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    FormClose();
    // The port's event thread hands its events to this window: stop it first.
    FSession.reset();
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

    Label1 = new QLabel(tr("&Tray/Job Number"), Panel1);
    Label1->setGeometry(15, 4, 129, 16);
    TrayEdit = new QLineEdit(Panel1);
    TrayEdit->setGeometry(15, 20, 129, 32);
    TrayEdit->setFont(PixelFont("MS Sans Serif", 19));
    TrayEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    Label1->setBuddy(TrayEdit);

    TrayNoPopupMenu = new QMenu(this);
    Circle1 = TrayNoPopupMenu->addAction(tr("Circle"));
    Square1 = TrayNoPopupMenu->addAction(tr("Square"));
    Diamond1 = TrayNoPopupMenu->addAction(tr("Diamond"));
    FlowerPot1 = TrayNoPopupMenu->addAction(tr("Flower Pot"));
    TrayNoPopupMenu->addSeparator();
    // The file commands also belong to the window, so their keys work with the menu closed.
    const auto fileAction = [this](const QString& caption, const QKeySequence& keys) {
        QAction* action = TrayNoPopupMenu->addAction(caption);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        return action;
    };
    OpenFile1 = fileAction(tr("Open Job File..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    SaveFile1 = fileAction(tr("Save Job File..."), QKeySequence(Qt::CTRL | Qt::Key_S));
    Print1 = fileAction(tr("Print Shape..."), QKeySequence(Qt::CTRL | Qt::Key_P));
    SavePdf1 = fileAction(tr("Save as PDF..."), QKeySequence());
    setAcceptDrops(true);

    ReqButton = GlyphButton(Panel1, tr("&Request Shape"), glRequest, {15, 57, 129, 30});
    SaveButton = GlyphButton(Panel1, tr("&Save Shape"), glSave, {15, 89, 129, 30});
    ShowOrigCheckbox = new QCheckBox(tr("Show Orig Shape"), Panel1);
    ShowOrigCheckbox->setGeometry(16, 122, 130, 16);
    DetailedGridCheckBox = new QCheckBox(tr("Detailed Grid"), Panel1);
    DetailedGridCheckBox->setGeometry(16, 138, 130, 16);
    RotLeftButton = SmallGlyphButton(
        Panel1, glRotateLeft, tr("Rotate Shape One Data Point to the Left"), {152, 128, 23, 22});
    RotRightButton = SmallGlyphButton(
        Panel1, glRotateRight, tr("Rotate Shape One Data Point to the Right"), {176, 128, 23, 22});
    ResetButton = GlyphButton(Panel1, tr("Reset"), glReset, {208, 17, 82, 30});
    HelpButton = GlyphButton(Panel1, tr("Help"), glHelp, {208, 89, 82, 30});
    SettingsButton = GlyphButton(Panel1, tr("Settings"), glSettings, {208, 121, 82, 30});

    // Aligned to the right of Panel1, inside its one-pixel bevel.
    Panel2 = new QFrame(Panel1);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2->setGeometry(ClientWidth - 1 - 165, 1, 165, Panel1Height - 2);

    struct TEditRow {
        TValueEdit** Edit;
        QLabel** Label;
        QLabel** Change;
        QString Caption;
        int Top;
        int ChangeLeft;
    };
    const TEditRow rows[] = {
        {&BoxAEdit, &BoxALabel, &ChgALabel, tr("&A"), 14, 111},
        {&BoxBEdit, &BoxBLabel, &ChgBLabel, tr("&B"), 38, 111},
        {&CircEdit, &CircLabel, &ChgCLabel, tr("&Circ"), 62, 111},
        {&DBLEdit, &DBLLabel, &DBLChgLabel, tr("&DBL"), 102, 112},
    };
    for (const TEditRow& row : rows) {
        *row.Edit = new TValueEdit(Panel2);
        (*row.Edit)->setGeometry(42, row.Top, 67, 24);
        *row.Label = RightLabel(Panel2, row.Caption, {8, row.Top, 32, 24});
        (*row.Label)->setBuddy(*row.Edit);
        *row.Change = RightLabel(Panel2, QStringLiteral("---"), {row.ChangeLeft, row.Top, 46, 24});
    }
    BoxAEdit->setObjectName(QStringLiteral("BoxAEdit"));
    BoxBEdit->setObjectName(QStringLiteral("BoxBEdit"));
    CircEdit->setObjectName(QStringLiteral("CircEdit"));
    DBLEdit->setObjectName(QStringLiteral("DBLEdit"));
    LockBCheckbox = new QCheckBox(tr("Lock B at Datum"), Panel2);
    LockBCheckbox->setGeometry(16, 129, 140, 17);
    LockBCheckbox->setChecked(true);

    Image1 = new QLabel(this);
    Image1->setGeometry(0, Panel1Height, ClientWidth,
                        ClientHeight - Panel1Height - StatusBarHeight);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setContextMenuPolicy(Qt::CustomContextMenu);
    ImagePopupMenu = new QMenu(this);
    DisplayCommunicationLog1 = ImagePopupMenu->addAction(tr("Display Communication Log"));
    SaveTranscript1 = ImagePopupMenu->addAction(tr("Save Session Transcript..."));
    // The file commands again where an operator looks for them, and About,
    // which the Help button's own menu (right-click) offers too.
    ImagePopupMenu->addSeparator();
    ImagePopupMenu->addActions({OpenFile1, SaveFile1, Print1, SavePdf1});
    ImagePopupMenu->addSeparator();
    About1 = ImagePopupMenu->addAction(tr("About Trevalon..."));
    HelpButton->setContextMenuPolicy(Qt::ActionsContextMenu);
    HelpButton->addAction(About1);

    StatusBar1 = new TStatusBar(this);
    StatusBar1->setGeometry(0, ClientHeight - StatusBarHeight, ClientWidth, StatusBarHeight);

    TimeoutTimer = new QTimer(this);
    TimeoutTimer->setInterval(1000);

    // Centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(ClientWidth / 2, ClientHeight / 2));
    }
}

void TForm1::ConnectControls() {
    auto on = [this](auto member) {
        return [this, member] { Guarded(FHooks, [&] { (this->*member)(); }); };
    };
    connect(TrayEdit, &QLineEdit::textChanged, this, on(&TForm1::TrayEditChange));
    connect(TrayEdit, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { TrayNoPopupMenu->popup(TrayEdit->mapToGlobal(at)); });
    connect(Circle1, &QAction::triggered, this, on(&TForm1::Circle1Click));
    connect(Square1, &QAction::triggered, this,
            [this] { Guarded(FHooks, [this] { Square1Click(Square1); }); });
    connect(Diamond1, &QAction::triggered, this,
            [this] { Guarded(FHooks, [this] { Square1Click(Diamond1); }); });
    connect(FlowerPot1, &QAction::triggered, this, on(&TForm1::FlowerPotClick));
    connect(OpenFile1, &QAction::triggered, this, on(&TForm1::OpenFile1Click));
    connect(SaveFile1, &QAction::triggered, this, on(&TForm1::SaveFile1Click));
    connect(Print1, &QAction::triggered, this, on(&TForm1::Print1Click));
    connect(SavePdf1, &QAction::triggered, this, on(&TForm1::SavePdf1Click));
    connect(ReqButton, &QPushButton::clicked, this, on(&TForm1::ReqButtonClick));
    connect(SaveButton, &QPushButton::clicked, this, on(&TForm1::SaveButtonClick));
    connect(ShowOrigCheckbox, &QCheckBox::clicked, this, on(&TForm1::ShowOrigCheckboxClick));
    connect(DetailedGridCheckBox, &QCheckBox::clicked, this,
            on(&TForm1::DetailedGridCheckBoxClick));
    connect(RotLeftButton, &QToolButton::clicked, this,
            [this] { Guarded(FHooks, [this] { RotRightButtonClick(RotLeftButton); }); });
    connect(RotRightButton, &QToolButton::clicked, this,
            [this] { Guarded(FHooks, [this] { RotRightButtonClick(RotRightButton); }); });
    connect(ResetButton, &QPushButton::clicked, this, on(&TForm1::ResetButtonClick));
    connect(HelpButton, &QPushButton::clicked, this, on(&TForm1::HelpButtonClick));
    connect(SettingsButton, &QPushButton::clicked, this, on(&TForm1::SettingsButtonClick));
    for (TValueEdit* edit : {BoxAEdit, BoxBEdit, CircEdit, DBLEdit})
        connect(edit, &TValueEdit::Changed, this,
                [this, edit] { Guarded(FHooks, [this, edit] { BoxValsEditChange(edit); }); });
    connect(LockBCheckbox, &QCheckBox::clicked, this, on(&TForm1::LockBCheckboxClick));
    connect(Image1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ImagePopupMenu->popup(Image1->mapToGlobal(at)); });
    connect(DisplayCommunicationLog1, &QAction::triggered, this,
            on(&TForm1::DisplayCommunicationLog1Click));
    connect(SaveTranscript1, &QAction::triggered, this, on(&TForm1::SaveTranscript1Click));
    connect(TimeoutTimer, &QTimer::timeout, this, on(&TForm1::TimeoutTimerTimer));
    connect(About1, &QAction::triggered, this, [this] { ShowAbout(this); });
}

void TForm1::SendMessage(QEvent::Type message) {
    QEvent event(message);
    QCoreApplication::sendEvent(this, &event);
}

void TForm1::PostMessage(QEvent::Type message) {
    QCoreApplication::postEvent(this, new QEvent(message));
}

bool TForm1::event(QEvent* event) {
    switch (static_cast<int>(event->type())) {
        case WM_APPLYSETTINGS:
            Guarded(FHooks, [this] {
                SampleHostSettingsApplied();
                ConfigurePort();
            });
            return true;
        case WM_ENDCONVERSATION:
            Guarded(FHooks, [this] { EndConversation(); });
            return true;
        case WM_REDRAWSHAPE:
            Guarded(FHooks, [this] { DrawShape(); });
            return true;
        case WM_HOSTREPLY:
            Guarded(FHooks, [this] { HostReply(); });
            return true;
        default:
            return QWidget::event(event);
    }
}

// The window previews every key before the focused control sees it. Only the
// key's first receiver counts, so a key that travels up to parents is seen once.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Every change of pixel ratio repaints the window, so the paint is where
    // the picture learns of it, whatever the platform reported.
    if (watched == Image1 && event->type() == QEvent::Paint)
        Guarded(FHooks, [this] { KeepPictureAtScreenRatio(); });
    if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this &&
        FileDragEvent(event))
        return true;
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QWidget::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    QWidget* focus = QApplication::focusWidget();
    const bool firstReceiver = focus != nullptr ? widget == focus : widget == this;
    if (!firstReceiver || widget->window() != this) return QWidget::eventFilter(watched, event);
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    bool consumed = false;
    Guarded(FHooks, [&] {
        consumed = FormKeyDown(keyEvent);
        if (!consumed && widget == TrayEdit) consumed = TrayEditKeyPress(keyEvent);
    });
    return consumed;
}

void TForm1::closeEvent(QCloseEvent* event) {
    Guarded(FHooks, [this] {
        FormClose();
        FSampleHost.reset();  // after the port is closed
    });
    event->accept();
}
