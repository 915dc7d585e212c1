#pragma once

#include <QFrame>
#include <QString>
#include <array>

class QLabel;

// A status bar of fixed-width text panels, the last one running on to the
// bar's right edge. Its hint (the tool tip shown when
// pointing at the bar) is set separately from the panel texts.
class TStatusBar : public QFrame {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* Parent = nullptr);

    static constexpr int PanelCount = 3;
    QString PanelText(int Panel) const;
    void SetPanelText(int Panel, const QString& Text);
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& Hint) { setToolTip(Hint); }
    QLabel* Panel(int Panel) const { return FPanels.at(static_cast<std::size_t>(Panel)); }

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    void PlacePanels();

    std::array<QLabel*, PanelCount> FPanels{};
};
