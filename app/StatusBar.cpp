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

TStatusBar::TStatusBar(QWidget* Parent) : QFrame(Parent) {
    for (int i = 0; i < PanelCount; ++i) {
        auto* Label = new QLabel(this);
        Label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        Label->setAlignment(Layout[i].Align);
        Label->setIndent(2);
        // The bar's hint is the tool tip wherever one points on it.
        Label->setAttribute(Qt::WA_TransparentForMouseEvents);
        FPanels[static_cast<std::size_t>(i)] = Label;
    }
    PlacePanels();
}

void TStatusBar::resizeEvent(QResizeEvent* Event) {
    QFrame::resizeEvent(Event);
    PlacePanels();
}

// As in a Windows status bar, the last panel runs on to the bar's right edge,
// so the version text is not cut off.
void TStatusBar::PlacePanels() {
    int X = 0;
    for (int i = 0; i < PanelCount; ++i) {
        int Width = Layout[i].Width;
        if (i == PanelCount - 1) Width = std::max(Width, width() - X);
        FPanels[static_cast<std::size_t>(i)]->setGeometry(X, 1, Width - 2, 18);
        X += Width;
    }
}

QString TStatusBar::PanelText(int Panel) const {
    return this->Panel(Panel)->text();
}

void TStatusBar::SetPanelText(int Panel, const QString& Text) {
    this->Panel(Panel)->setText(Text);
}
