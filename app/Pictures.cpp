#include "Pictures.h"

#include "DrawnIconEngine.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>

#include <algorithm>
#include <cmath>

namespace qb {

namespace {

constexpr int kTileWidth = kLetterTileSize.width();
constexpr int kTileHeight = kLetterTileSize.height();

} // namespace

QPixmap pictureCanvas(QSize size, qreal devicePixelRatio)
{
    // Rounded up, so a fractional ratio never loses the last row or column; the allowance keeps a product that
    // should be whole, such as 35 x 1.1, from gaining a row through rounding error.
    const auto pixels = [devicePixelRatio](int length) {
        return static_cast<int>(std::ceil(length * devicePixelRatio - 1e-6));
    };
    QPixmap pixmap(pixels(size.width()), pixels(size.height()));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap padlockPixmap(int size)
{
    return padlockPixmap(size, 1.0);
}

QPixmap padlockPixmap(int size, qreal devicePixelRatio)
{
    QPixmap pixmap = pictureCanvas(QSize(size, size), devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    // Shackle: a thick steel arch standing on the body.
    QPainterPath shackle;
    shackle.moveTo(9.5, 16);
    shackle.lineTo(9.5, 10);
    shackle.arcTo(QRectF(9.5, 3, 13, 14), 180, -180);
    shackle.lineTo(22.5, 16);
    painter.setPen(QPen(QColor(60, 60, 70), 4.2, Qt::SolidLine, Qt::FlatCap));
    painter.drawPath(shackle);
    painter.setPen(QPen(QColor(175, 180, 190), 1.6, Qt::SolidLine, Qt::FlatCap));
    painter.drawPath(shackle);

    // Body: brass with a light edge on top.
    const QRectF body(5, 14, 22, 16);
    QLinearGradient brass(body.topLeft(), body.bottomRight());
    brass.setColorAt(0, QColor(255, 226, 110));
    brass.setColorAt(0.5, QColor(222, 170, 30));
    brass.setColorAt(1, QColor(150, 100, 10));
    painter.setPen(QPen(QColor(90, 60, 0), 1.2));
    painter.setBrush(brass);
    painter.drawRoundedRect(body, 2.5, 2.5);

    // Keyhole.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 20, 0));
    painter.drawEllipse(QPointF(16, 20.5), 2.4, 2.4);
    QPainterPath slot;
    slot.moveTo(15, 21);
    slot.lineTo(17, 21);
    slot.lineTo(17.8, 26.5);
    slot.lineTo(14.2, 26.5);
    slot.closeSubpath();
    painter.drawPath(slot);
    return pixmap;
}

QIcon padlockIcon()
{
    return drawnIcon([](QSize pixels) { return padlockPixmap(std::min(pixels.width(), pixels.height())); });
}

QPixmap letterTile(QChar letter, qreal devicePixelRatio)
{
    QPixmap pixmap = pictureCanvas(QSize(kTileWidth, kTileHeight), devicePixelRatio);
    pixmap.fill(QColor(250, 250, 247));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    // Centre the capital's outline, not its advance, so every letter sits in the middle of its tile.
    QPainterPath glyph = glyphOutline(letterTileFont(), letter.toUpper());
    const QRectF bounds = glyph.boundingRect();
    const QPointF offset(kTileWidth / 2.0 - bounds.center().x() - 1, kTileHeight / 2.0 - bounds.center().y() - 1);
    glyph.translate(offset);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(150, 150, 150));
    painter.drawPath(glyph.translated(2.5, 2.5));
    painter.setBrush(QColor(0, 0, 168));
    painter.setPen(QPen(QColor(0, 0, 110), 0.8));
    painter.drawPath(glyph);
    return pixmap;
}

QFont letterTileFont()
{
    // No style hint: the window font's fallbacks then serve this face too, and a sans capital needs none.
    QFont font(QStringLiteral("Sans Serif"));
    font.setWeight(QFont::Black);
    font.setPixelSize(30);
    return font;
}

QPainterPath glyphOutline(const QFont& font, QChar letter)
{
    // The glyph straight from the face: laying a lone letter out as text (shaping it, breaking it into a line) cost
    // as much as drawing the tile.
    const QRawFont face = QRawFont::fromFont(font);
    const QList<quint32> glyphs = face.glyphIndexesForString(QString(letter));
    return glyphs.size() == 1 ? face.pathForGlyph(glyphs.front()) : QPainterPath();
}

} // namespace qb
