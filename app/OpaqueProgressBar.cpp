#include "OpaqueProgressBar.h"

#include <QEvent>
#include <QPainter>

namespace qb {

OpaqueProgressBar::OpaqueProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// Styles may declare a progress bar see-through when they polish it (Fusion does), which is why this is set again
// after every polish.
bool OpaqueProgressBar::event(QEvent* event)
{
    const bool handled = QProgressBar::event(event);
    if (event->type() == QEvent::Polish)
        setAttribute(Qt::WA_OpaquePaintEvent);
    return handled;
}

QPixmap OpaqueProgressBar::renderBackdrop() const
{
    const qreal ratio = devicePixelRatioF();
    QPixmap backdrop(size() * ratio);
    backdrop.setDevicePixelRatio(ratio);
    QWidget* const under = parentWidget();
    if (!under || isWindow()) {
        backdrop.fill(palette().color(QPalette::Window));
        return backdrop;
    }
    // Rendered as a window of its own, the parent is laid on the window colour, which is what its own ancestors
    // paint beneath it; its children, this bar among them, are left out.
    under->render(&backdrop, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
    return backdrop;
}

void OpaqueProgressBar::paintEvent(QPaintEvent* event)
{
    // A move to a screen of another pixel ratio changes the backdrop's pixels without any event here.
    if (m_backdrop.isNull() || m_backdrop.devicePixelRatio() != devicePixelRatioF())
        m_backdrop = renderBackdrop();
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_backdrop);
    }
    QProgressBar::paintEvent(event);
}

void OpaqueProgressBar::moveEvent(QMoveEvent* event)
{
    m_backdrop = QPixmap();
    QProgressBar::moveEvent(event);
}

void OpaqueProgressBar::resizeEvent(QResizeEvent* event)
{
    m_backdrop = QPixmap();
    QProgressBar::resizeEvent(event);
}

void OpaqueProgressBar::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::StyleChange:
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_backdrop = QPixmap();
        break;
    case QEvent::ActivationChange: // a palette may colour an inactive window differently
    case QEvent::PaletteChange:
    case QEvent::ParentChange:
    case QEvent::EnabledChange:
        m_backdrop = QPixmap();
        break;
    default:
        break;
    }
    QProgressBar::changeEvent(event);
}

} // namespace qb
