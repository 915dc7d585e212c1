#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "app/Unit1.h"

void TForm1::TrayEditChange() {
    ReqButton->setEnabled(!TrayEdit->text().isEmpty());
}

bool TForm1::TrayEditKeyPress(QKeyEvent* key) {
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    // Enter requests the shape even while the button is disabled.
    ReqButtonClick();
    return true;
}
