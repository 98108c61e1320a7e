#pragma once

#include <QIconEngine>
#include <QPixmap>

#include <functional>
#include <map>
#include <utility>

namespace qb {

// An icon drawn in code at the size it is asked for, when first asked, and kept: a window's start-up draws none of
// the sizes it never shows, and every size shown is drawn for its pixels rather than scaled from another.
class DrawnIconEngine : public QIconEngine
{
public:
    // Draws the picture `pixels` device pixels large.
    using Drawing = std::function<QPixmap(QSize pixels)>;

    explicit DrawnIconEngine(Drawing drawing);

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;

private:
    Drawing m_drawing;
    std::map<std::pair<std::pair<int, int>, int>, QPixmap> m_drawn; // by size and mode
};

// The icon of `drawing`.
QIcon drawnIcon(DrawnIconEngine::Drawing drawing);

} // namespace qb
