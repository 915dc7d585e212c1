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
    explicit TStatusBar(QWidget* parent = nullptr);

    static constexpr int PanelCount = 3;
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& hint) { setToolTip(hint); }
    QLabel* Panel(int panel) const { return FPanels.at(static_cast<std::size_t>(panel)); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlacePanels();

    std::array<QLabel*, PanelCount> FPanels{};
};
