#include "ByteBox.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QHashFunctions>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>
#include <QRectF>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace qb {
namespace {

// The digits' face size for a line `lineHeight` pixels high: large enough that a digit stands at least 7 pixels.
int digitPixelSize(double lineHeight)
{
    return std::max(10, static_cast<int>(std::lround(lineHeight * 0.62)));
}

QFont digitFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("FreeMono"), QStringLiteral("Noto Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(pixelSize);
    return font;
}

// The box for a line `lineHeight` pixels high: the two digits and a pixel of room on each side, in a one-pixel frame,
// as high as the line allows.
QSizeF boxSize(double lineHeight)
{
    const QFontMetricsF metrics(digitFont(digitPixelSize(lineHeight)));
    const double digits = std::ceil(2 * metrics.horizontalAdvance(QLatin1Char('0')));
    const double height = std::max(std::floor(lineHeight) - 1, std::ceil(metrics.capHeight()) + 4);
    return {digits + 4, height};
}

// One picture a byte, size and colour pair, drawn at the device's pixel ratio.
QPixmap boxPicture(unsigned char byte, double lineHeight, qreal ratio, const QColor& ground, const QColor& ink)
{
    struct Key
    {
        unsigned char byte;
        int height;
        int ratio;
        QRgb ground;
        QRgb ink;
        bool operator==(const Key& other) const
        {
            return byte == other.byte && height == other.height && ratio == other.ratio && ground == other.ground &&
                   ink == other.ink;
        }
    };
    struct KeyHash
    {
        std::size_t operator()(const Key& key) const
        {
            return qHashMulti(0, key.byte, key.height, key.ratio, key.ground, key.ink);
        }
    };
    // A view shows few sizes and colours: a few hundred pictures at the most, unless themes keep changing.
    static std::unordered_map<Key, QPixmap, KeyHash> pictures;
    const Key key{byte, static_cast<int>(std::lround(lineHeight * 4)), static_cast<int>(std::lround(ratio * 100)),
                  ground.rgba(), ink.rgba()};
    if (const auto found = pictures.find(key); found != pictures.end())
        return found->second;
    if (pictures.size() > 4096)
        pictures.clear();

    const QSizeF size = boxSize(lineHeight);
    QPixmap picture((size * ratio).toSize());
    picture.setDevicePixelRatio(ratio);
    picture.fill(ground);
    QPainter painter(&picture);
    painter.setPen(ink);
    painter.drawRect(QRectF(QPointF(0, 0), size).adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setFont(digitFont(digitPixelSize(lineHeight)));
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QString digits = QString(QLatin1Char(kHex[byte >> 4])) + QLatin1Char(kHex[byte & 0x0F]);
    painter.drawText(QRectF(QPointF(0, 0), size), Qt::AlignCenter, digits);
    painter.end();
    pictures.emplace(key, picture);
    return picture;
}

} // namespace

double byteBoxSpacing(const QFont& font)
{
    // Laid out as the editor lays out a line, so that the box is sized as it is drawn.
    QTextLayout layout(QStringLiteral(u"\u2400\u0081"), font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const qreal narrowest = std::min(line.cursorToX(1) - line.cursorToX(0), line.cursorToX(2) - line.cursorToX(1));
    return std::max<qreal>(0, std::ceil(boxSize(line.height()).width() + 1 - narrowest));
}

void drawByteBox(QPainter& painter, const QRectF& cell, unsigned char byte, const QColor& ground, const QColor& ink)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap picture = boxPicture(byte, cell.height(), ratio, ground, ink);
    const QSizeF size = picture.deviceIndependentSize();
    // Whole pixels, at the cell's left, where the glyph it covers is drawn; the view's spacing lies to its right.
    const QPointF at(std::floor(cell.left()), std::round(cell.center().y() - size.height() / 2));
    // Nothing of the glyph underneath shows, however it is drawn.
    painter.fillRect(cell, ground);
    painter.drawPixmap(at, picture);
}

} // namespace qb
