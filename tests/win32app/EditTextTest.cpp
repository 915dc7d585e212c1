// Edit fields show their text under Wine, whose prefix has none of the
// Windows fonts the window asks for.
#include <QFont>
#include <QImage>
#include <QLineEdit>
#include <QWindow>

#include "WindowFixture.h"

namespace {

// Pixels of an edit's text area much darker than its background.
int TextPixels(QLineEdit& edit) {
    const QImage image = edit.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect inside = edit.contentsRect().adjusted(3, 3, -3, -3);
    int dark = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
    return dark;
}

TEST(TEditText, EditsInTheWindowsFontsShowTheirText) {
    EnsureApplication();
    for (const char* family : {"Arial", "MS Sans Serif", "MS Shell Dlg 2"}) {
        QLineEdit edit;
        QFont font{QString::fromLatin1(family)};
        font.setPixelSize(19);
        edit.setFont(font);
        edit.setText(QStringLiteral("46.00"));
        edit.resize(129, 32);
        edit.show();
        ASSERT_TRUE(ProcessEventsUntil(
            [&] { return edit.windowHandle() != nullptr && edit.windowHandle()->isExposed(); },
            10s))
            << family << ": the edit was not shown within 10 s";
        EXPECT_GT(TextPixels(edit), 40)
            << family << " drawn as " << QFontInfo(edit.font()).family().toStdString()
            << ": the edit shows no text";
    }
}

}  // namespace
