#include "FixedDialog.h"

#include <QKeyEvent>
#include <QScreen>

FixedDialog::FixedDialog(QWidget* parent) : QDialog(parent) {}

void FixedDialog::fixClientSize(int width, int height)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(width, height);
}

void FixedDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* current = screen())
        move(current->availableGeometry().center() - frameGeometry().center() + pos());
}

void FixedDialog::keyPressEvent(QKeyEvent* event)
{
    // These windows have no Cancel button, so Esc leaves them open.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
