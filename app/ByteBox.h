#pragma once

class QColor;
class QPainter;
class QRectF;

namespace qb {

// How wide a byte box is in a line `lineHeight` pixels high. A view that shows byte boxes gives the characters under
// them at least this much room, so that a box never reaches over its neighbours.
int byteBoxWidth(double lineHeight);

// Draws `byte` as a small framed box holding its two hexadecimal digits side by side, over the start of `cell` (the
// room of the character that stands for the byte), as hex editors show bytes without a glyph. Every byte gets the same
// box whatever glyph lies under it. The digits are drawn pixel by pixel from a 3 x 5 pattern, so they stay sharp and
// tell apart at the smallest size.
void drawByteBox(QPainter& painter, const QRectF& cell, unsigned char byte, const QColor& ground, const QColor& ink);

} // namespace qb
