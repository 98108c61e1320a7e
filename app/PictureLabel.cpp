#include "PictureLabel.h"

#include <utility>

namespace qb {

PictureLabel::PictureLabel(Drawing drawing, QWidget* parent) : QLabel(parent), m_drawing(std::move(drawing))
{
    drawForScreen();
}

void PictureLabel::paintEvent(QPaintEvent* event)
{
    if (!qFuzzyCompare(pixmap().devicePixelRatio(), devicePixelRatioF()))
        drawForScreen();
    QLabel::paintEvent(event);
}

void PictureLabel::drawForScreen()
{
    setPixmap(m_drawing(devicePixelRatioF()));
}

} // namespace qb
