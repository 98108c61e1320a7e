#pragma once

#include <QPixmap>
#include <QRect>

#include <functional>
#include <vector>

class QPainter;

namespace qb {

// Pictures a widget paints on its own ground: decoration rather than controls, so a screen reader passes them by
// instead of announcing unnamed images. Each is drawn once for the screen's pixel ratio, at the top left of its
// place, and drawn again only when that ratio changes, as when the window moves to another screen.
class PaintedPictures
{
public:
    using Drawing = std::function<QPixmap(qreal devicePixelRatio)>;

    void add(const QRect& place, Drawing drawing);
    int count() const { return static_cast<int>(m_pictures.size()); }
    QRect place(int index) const { return m_pictures.at(static_cast<std::size_t>(index)).place; }
    // True when `point` lies on one of the pictures' places.
    bool contains(const QPoint& point) const;
    // The picture as drawn for `devicePixelRatio`.
    const QPixmap& picture(int index, qreal devicePixelRatio) const;
    void paint(QPainter& painter, qreal devicePixelRatio) const;

private:
    struct Picture
    {
        QRect place;
        Drawing drawing;
        mutable QPixmap drawn;
    };
    std::vector<Picture> m_pictures;
};

} // namespace qb
