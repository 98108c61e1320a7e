#pragma once

class QColor;
class QPainter;
class QRectF;

namespace qb {

// Draws `byte` as a small framed box holding its two hexadecimal digits, filling `cell` (the room of the character
// that stands for the byte), as hex editors show bytes without a glyph. The digits are drawn pixel by pixel from a
// 3 x 5 pattern, so they stay sharp and tell apart at the smallest size: side by side where the cell is wide enough,
// else one above the other.
void drawByteBox(QPainter& painter, const QRectF& cell, unsigned char byte, const QColor& ground, const QColor& ink);

} // namespace qb
