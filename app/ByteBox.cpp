#include "ByteBox.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace qb {
namespace {

constexpr int kDigitWidth = 3;
constexpr int kDigitHeight = 5;
// Between the two digits, and between the digits and the frame.
constexpr int kGap = 1;
// Pixels of line height per step of the box's scale: the digits grow with the text.
constexpr int kLinePerScale = 13;

// Rows of each hexadecimal digit, top first, the leftmost pixel in the highest of three bits.
constexpr unsigned char kDigits[16][kDigitHeight] = {
    {07, 05, 05, 05, 07}, {02, 06, 02, 02, 07}, {07, 01, 07, 04, 07}, {07, 01, 07, 01, 07},
    {05, 05, 07, 01, 01}, {07, 04, 07, 01, 07}, {07, 04, 07, 05, 07}, {07, 01, 02, 02, 02},
    {07, 05, 07, 05, 07}, {07, 05, 07, 01, 07}, {02, 05, 07, 05, 05}, {06, 05, 06, 05, 06},
    {03, 04, 04, 04, 03}, {06, 05, 05, 05, 06}, {07, 04, 07, 04, 07}, {07, 04, 07, 04, 04},
};

int scaleFor(double lineHeight)
{
    return std::max(1, static_cast<int>(lineHeight) / kLinePerScale);
}

// The box's size at `scale`: a one-pixel frame around the digits, side by side, with a gap all round.
QSizeF boxSize(int scale)
{
    return QSizeF((2 * kDigitWidth + 3 * kGap) * scale + 2, (kDigitHeight + 2 * kGap) * scale + 2);
}

void drawDigit(QPainter& painter, int digit, QPointF origin, int scale)
{
    for (int row = 0; row < kDigitHeight; ++row) {
        for (int column = 0; column < kDigitWidth; ++column) {
            if (kDigits[digit][row] & (4 >> column))
                painter.fillRect(QRectF(origin.x() + column * scale, origin.y() + row * scale, scale, scale),
                                 painter.pen().color());
        }
    }
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
    return std::max<qreal>(0, std::ceil(boxSize(scaleFor(line.height())).width() + 1 - narrowest));
}

void drawByteBox(QPainter& painter, const QRectF& cell, unsigned char byte, const QColor& ground, const QColor& ink)
{
    const int scale = scaleFor(cell.height());
    const QSizeF size = boxSize(scale);
    // Whole pixels, so the frame and the digits fall on the pixel grid.
    // At the cell's left, where the glyph it covers is drawn; the view's spacing lies to its right.
    const QRectF frame(QPointF(std::floor(cell.left()), std::round(cell.center().y() - size.height() / 2)), size);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Nothing of the glyph underneath shows, however it is drawn.
    painter.fillRect(cell, ground);
    painter.fillRect(frame, ground);
    painter.setPen(ink);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    const QPointF origin = frame.topLeft() + QPointF(1 + kGap * scale, 1 + kGap * scale);
    drawDigit(painter, byte >> 4, origin, scale);
    drawDigit(painter, byte & 0x0F, origin + QPointF((kDigitWidth + kGap) * scale, 0), scale);
    painter.restore();
}

} // namespace qb
