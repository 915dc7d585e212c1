#include "settings/FindPort.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <charconv>
#include <utility>

#include "oma/OMAMach.h"
#include "oma/ReplyMatcher.h"
#include "serial/Comms.h"
#include "settings/Settings.h"

namespace {

QString Latin1(std::string_view Text) {
    return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

QMessageBox::StandardButton ExecMessageBox(QWidget* Owner, const TMessageBoxInfo& Info) {
    QString Text = Latin1(Info.Text);
    Text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox Box(Info.Icon, Latin1(Info.Caption), Text, Info.Buttons, Owner);
    if (Info.DefaultButton != QMessageBox::NoButton) Box.setDefaultButton(Info.DefaultButton);
    return static_cast<QMessageBox::StandardButton>(Box.exec());
}

TMessageBoxHook& CurrentHook() {
    static TMessageBoxHook Hook = ExecMessageBox;
    return Hook;
}

}  // namespace

std::vector<std::string> BuildCandidates(TComPort& Port) {
    std::vector<std::string> Candidates;
    for (const std::string& Name : ListUsablePorts(Port))
        for (std::int32_t Rate : FindBaudRates)
            Candidates.push_back(Name + "|" + std::to_string(Rate));
    return Candidates;
}

TCandidate SplitCandidate(std::string_view Candidate) {
    TCandidate Result;
    const std::size_t Bar = Candidate.find('|');
    Result.Port = std::string(Candidate.substr(0, Bar));
    if (Bar == std::string_view::npos) return Result;
    const std::string_view Digits = Candidate.substr(Bar + 1, 9);
    std::int32_t Rate = 0;
    const auto [End, Error] = std::from_chars(Digits.data(), Digits.data() + Digits.size(), Rate);
    if (Error == std::errc() && End == Digits.data() + Digits.size()) Result.BaudRate = Rate;
    return Result;
}

const std::string& FindHostRequest() {
    static const std::string Request = BuildPacket("REQ=INI\r");
    return Request;
}

bool IsHostAnswer(std::string_view Reply) {
    TReplyMatcher Matcher;  // a fresh matcher for every look at the reply
    return Matcher.Match("ANS\\s*=\\s*INI", Reply);
}

QMessageBox::StandardButton ShowMessageBox(QWidget* Owner, const TMessageBoxInfo& Box) {
    // A copy: the hook may replace itself while it runs.
    const TMessageBoxHook Hook = CurrentHook();
    return Hook(Owner, Box);
}

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook Hook) {
    TMessageBoxHook Previous = std::move(CurrentHook());
    CurrentHook() = Hook ? std::move(Hook) : TMessageBoxHook(ExecMessageBox);
    return Previous;
}

TFindPortForm::TFindPortForm(QWidget* Owner, unsigned Search) : QDialog(Owner), FSearch(Search) {
    CreateControls();
    FormCreate();
}

void TFindPortForm::CreateControls() {
    setObjectName(QStringLiteral("FindPortForm"));
    setWindowTitle(QStringLiteral("Find Host"));
    QFont Font(QStringLiteral("MS Sans Serif"));
    Font.setPixelSize(11);
    setFont(Font);
    setFixedSize(428, 134);

    Label1 = new QLabel(this);
    Label1->setGeometry(16, 16, 393, 33);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont LabelFont(QStringLiteral("Arial"));
    LabelFont.setPixelSize(13);
    LabelFont.setBold(true);
    Label1->setFont(LabelFont);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setGeometry(16, 64, 401, 17);
    ProgressBar1->setTextVisible(false);

    Button1 = new QPushButton(QStringLiteral("Cancel"), this);
    Button1->setGeometry(176, 96, 75, 25);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TFindPortForm::FormCreate() {
    Label1->clear();
    // Above every other window, without taking the focus from the dialog.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint |
                   Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
}

void TFindPortForm::Button1Click() {
    if (QWidget* Owner = parentWidget())
        QCoreApplication::postEvent(Owner, new TFindMessage(WM_FINDDONE, foCancelled, FSearch));
}

// The title bar's close button and Escape arrive here: they cancel the search
// instead of hiding a window whose search would go on.
void TFindPortForm::reject() {
    Button1Click();
}
