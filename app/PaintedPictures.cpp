#include "PaintedPictures.h"

#include <QPainter>

#include <algorithm>
#include <utility>

namespace qb {

void PaintedPictures::add(const QRect& place, Drawing drawing)
{
    m_pictures.push_back({place, std::move(drawing), QPixmap()});
}

bool PaintedPictures::contains(const QPoint& point) const
{
    return std::any_of(m_pictures.begin(), m_pictures.end(),
                       [&point](const Picture& picture) { return picture.place.contains(point); });
}

const QPixmap& PaintedPictures::picture(int index, qreal devicePixelRatio) const
{
    const Picture& picture = m_pictures.at(static_cast<std::size_t>(index));
    if (picture.drawn.isNull() || !qFuzzyCompare(picture.drawn.devicePixelRatio(), devicePixelRatio))
        picture.drawn = picture.drawing(devicePixelRatio);
    return picture.drawn;
}

void PaintedPictures::paint(QPainter& painter, qreal devicePixelRatio) const
{
    for (int index = 0; index < count(); ++index)
        painter.drawPixmap(place(index).topLeft(), picture(index, devicePixelRatio));
}

} // namespace qb
