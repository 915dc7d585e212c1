#include "app/StatusBar.h"

#include <QLabel>

TStatusBar::TStatusBar(QWidget* Parent) : QFrame(Parent) {
    struct TPanelLayout {
        int Width;
        Qt::Alignment Align;
    };
    constexpr TPanelLayout Layout[PanelCount] = {
        {200, Qt::AlignLeft | Qt::AlignVCenter},
        {50, Qt::AlignHCenter | Qt::AlignVCenter},
        {50, Qt::AlignLeft | Qt::AlignVCenter},
    };
    int X = 0;
    for (int i = 0; i < PanelCount; ++i) {
        auto* Label = new QLabel(this);
        Label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        Label->setAlignment(Layout[i].Align);
        Label->setGeometry(X, 1, Layout[i].Width - 2, 18);
        Label->setIndent(2);
        // The bar's hint is the tool tip wherever one points on it.
        Label->setAttribute(Qt::WA_TransparentForMouseEvents);
        FPanels[static_cast<std::size_t>(i)] = Label;
        X += Layout[i].Width;
    }
}

QString TStatusBar::PanelText(int Panel) const {
    return this->Panel(Panel)->text();
}

void TStatusBar::SetPanelText(int Panel, const QString& Text) {
    this->Panel(Panel)->setText(Text);
}
