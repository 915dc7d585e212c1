#include "settings/FindPort.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <charconv>

#include "link/LinkName.h"
#include "oma/OMAMach.h"
#include "serial/Comms.h"
#include "settings/Settings.h"

std::vector<std::string> BuildCandidates(TComPort& port, const THooks& hooks) {
    std::vector<std::string> candidates;
    for (const std::string& name : ListUsablePorts(port, hooks))
        for (std::int32_t rate : FindBaudRates)
            candidates.push_back(name + "|" + std::to_string(rate));
    return candidates;
}

std::vector<std::string> NetworkCandidates(const std::string& url) {
    if (ParseLinkName(url).Kind == lkSocket) return {url + "|0"};
    std::vector<std::string> candidates;
    for (std::int32_t rate : FindBaudRates) candidates.push_back(url + "|" + std::to_string(rate));
    return candidates;
}

std::string TryingText(const std::string& port, std::int32_t baudRate) {
    if (baudRate == 0) return "Trying " + port + "...";
    return "Trying " + port + " at " + std::to_string(baudRate) + " baud...";
}

TCandidate SplitCandidate(std::string_view candidate) {
    TCandidate result;
    const std::size_t bar = candidate.find('|');
    result.Port = std::string(candidate.substr(0, bar));
    if (bar == std::string_view::npos) return result;
    const std::string_view digits = candidate.substr(bar + 1, 9);
    std::int32_t rate = 0;
    const auto [End, Error] = std::from_chars(digits.data(), digits.data() + digits.size(), rate);
    if (Error == std::errc() && End == digits.data() + digits.size()) result.BaudRate = rate;
    return result;
}

const std::string& FindHostRequest() {
    static const std::string Request = BuildPacket("REQ=INI\r");
    return Request;
}

TFindPortForm::TFindPortForm(QWidget* owner, unsigned search) : QDialog(owner), FSearch(search) {
    CreateControls();
    FormCreate();
}

void TFindPortForm::CreateControls() {
    setObjectName(QStringLiteral("FindPortForm"));
    setWindowTitle(tr("Find Host"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(428, 134);

    Label1 = new QLabel(this);
    Label1->setGeometry(16, 16, 393, 33);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setPixelSize(13);
    labelFont.setBold(true);
    Label1->setFont(labelFont);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setGeometry(16, 64, 401, 17);
    ProgressBar1->setTextVisible(false);

    Button1 = new QPushButton(tr("Cancel"), this);
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
    if (QWidget* owner = parentWidget())
        QCoreApplication::postEvent(owner, new TFindMessage(WM_FINDDONE, foCancelled, FSearch));
}

// The title bar's close button and Escape arrive here: they cancel the search
// instead of hiding a window whose search would go on.
void TFindPortForm::reject() {
    Button1Click();
}
