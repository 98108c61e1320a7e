#include "FixedDialog.h"

#include "Pictures.h"

#include <QPainter>
#include <QScreen>

#include <algorithm>

FixedDialog::FixedDialog(QWidget* parent) : QDialog(parent) {}

void FixedDialog::fixClientSize(int width, int height)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(width, height);
}

void FixedDialog::addPadlock(const QRect& place)
{
    const int size = std::min(place.width(), place.height()) / 32 * 32;
    m_pictures.add(place, [size](qreal ratio) { return qb::padlockPixmap(size, ratio); });
}

void FixedDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* current = screen())
        move(current->availableGeometry().center() - frameGeometry().center() + pos());
}

void FixedDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    m_pictures.paint(painter, devicePixelRatioF());
}
