#include "app/StatusBar.h"

#include <QLabel>
#include <QResizeEvent>
#include <algorithm>

namespace {

struct TPanelLayout {
    int Width;
    Qt::Alignment Align;
};
constexpr TPanelLayout Layout[TStatusBar::PanelCount] = {
    {200, Qt::AlignLeft | Qt::AlignVCenter},
    {50, Qt::AlignHCenter | Qt::AlignVCenter},
    {50, Qt::AlignLeft | Qt::AlignVCenter},
};

}  // namespace

TStatusBar::TStatusBar(QWidget* parent) : QFrame(parent) {
    for (int i = 0; i < PanelCount; ++i) {
        auto* label = new QLabel(this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Layout[i].Align);
        label->setIndent(2);
        // The bar's hint is the tool tip wherever one points on it.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        FPanels[static_cast<std::size_t>(i)] = label;
    }
    PlacePanels();
}

void TStatusBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    PlacePanels();
}

// As in a Windows status bar, the last panel runs on to the bar's right edge,
// so the version text is not cut off.
void TStatusBar::PlacePanels() {
    int x = 0;
    for (int i = 0; i < PanelCount; ++i) {
        int panelWidth = Layout[i].Width;
        if (i == PanelCount - 1) panelWidth = std::max(panelWidth, width() - x);
        FPanels[static_cast<std::size_t>(i)]->setGeometry(x, 1, panelWidth - 2, 18);
        x += panelWidth;
    }
}

QString TStatusBar::PanelText(int panel) const {
    return this->Panel(panel)->text();
}

void TStatusBar::SetPanelText(int panel, const QString& text) {
    this->Panel(panel)->setText(text);
}
