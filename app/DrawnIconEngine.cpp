#include "DrawnIconEngine.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace qb {

DrawnIconEngine::DrawnIconEngine(Drawing drawing) : m_drawing(std::move(drawing)) {}

QPixmap DrawnIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State)
{
    if (size.isEmpty())
        return QPixmap();
    QPixmap& drawn = m_drawn[{{size.width(), size.height()}, static_cast<int>(mode)}];
    if (drawn.isNull()) {
        drawn = m_drawing(size);
        drawn.setDevicePixelRatio(1.0);
        // A disabled or selected look is the style's, as for any other icon.
        if (mode != QIcon::Normal) {
            QStyleOption option;
            drawn = QApplication::style()->generatedIconPixmap(mode, drawn, &option);
        }
    }
    return drawn;
}

void DrawnIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state)
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap shown = pixmap(rect.size() * ratio, mode, state);
    shown.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, shown);
}

QIconEngine* DrawnIconEngine::clone() const
{
    return new DrawnIconEngine(*this);
}

QString DrawnIconEngine::key() const
{
    return QStringLiteral("DrawnIconEngine");
}

QIcon drawnIcon(DrawnIconEngine::Drawing drawing)
{
    return QIcon(new DrawnIconEngine(std::move(drawing)));
}

} // namespace qb
