#pragma once

class QColor;
class QFont;
class QPainter;
class QRectF;

namespace qb {

// The letter spacing a view in `font` needs so that the characters under byte boxes (Control Pictures, and the bytes
// windows-1252 leaves unassigned) have room for a box and a pixel beside it: 0 where they have it already.
double byteBoxSpacing(const QFont& font);

// Draws `byte` as a small framed box holding its two hexadecimal digits side by side, over the start of `cell` (the
// room of the character that stands for the byte), as hex editors show bytes without a glyph. Every byte gets the same
// box whatever glyph lies under it. The digits are drawn pixel by pixel from a 3 x 5 pattern, so they stay sharp and
// tell apart at the smallest size.
void drawByteBox(QPainter& painter, const QRectF& cell, unsigned char byte, const QColor& ground, const QColor& ink);

} // namespace qb
