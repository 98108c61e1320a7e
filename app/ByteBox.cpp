#include "ByteBox.h"

#include <QColor>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <cmath>

namespace qb {
namespace {

constexpr int kDigitWidth = 3;
constexpr int kDigitHeight = 5;
constexpr int kGap = 1;

// Rows of each hexadecimal digit, top first, the leftmost pixel in the highest of three bits.
constexpr unsigned char kDigits[16][kDigitHeight] = {
    {07, 05, 05, 05, 07}, {02, 06, 02, 02, 07}, {07, 01, 07, 04, 07}, {07, 01, 07, 01, 07},
    {05, 05, 07, 01, 01}, {07, 04, 07, 01, 07}, {07, 04, 07, 05, 07}, {07, 01, 02, 02, 02},
    {07, 05, 07, 05, 07}, {07, 05, 07, 01, 07}, {02, 05, 07, 05, 05}, {06, 05, 06, 05, 06},
    {03, 04, 04, 04, 03}, {06, 05, 05, 05, 06}, {07, 04, 07, 04, 07}, {07, 04, 07, 04, 04},
};

void drawDigit(QPainter& painter, int digit, QPointF origin, qreal scale)
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

void drawByteBox(QPainter& painter, const QRectF& cell, unsigned char byte, const QColor& ground, const QColor& ink)
{
    // Whole pixels, so the frame and the digits fall on the pixel grid.
    const QRectF frame(std::floor(cell.left()), std::floor(cell.top()), std::max<qreal>(3, std::round(cell.width())),
                       std::max<qreal>(3, std::floor(cell.height())));
    const QRectF inside = frame.adjusted(1, 1, -1, -1);
    const QSizeF sideBySide(2 * kDigitWidth + kGap, kDigitHeight);
    const QSizeF stacked(kDigitWidth, 2 * kDigitHeight + kGap);
    const auto scaleFor = [&inside](QSizeF digits) {
        return std::floor(std::min(inside.width() / digits.width(), inside.height() / digits.height()));
    };
    const bool across = scaleFor(sideBySide) >= std::max<qreal>(1, scaleFor(stacked));
    const QSizeF digits = across ? sideBySide : stacked;
    const qreal scale = std::max<qreal>(1, scaleFor(digits));

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(frame, ground);
    painter.setPen(ink);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setClipRect(inside);
    const QPointF origin(inside.left() + std::floor((inside.width() - digits.width() * scale) / 2),
                         inside.top() + std::floor((inside.height() - digits.height() * scale) / 2));
    const QPointF second =
        across ? QPointF((kDigitWidth + kGap) * scale, 0) : QPointF(0, (kDigitHeight + kGap) * scale);
    drawDigit(painter, byte >> 4, origin, scale);
    drawDigit(painter, byte & 0x0F, origin + second, scale);
    painter.restore();
}

} // namespace qb
