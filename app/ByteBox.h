#pragma once

class QColor;
class QFont;
class QPainter;
class QRectF;

namespace qb {

// The letter spacing a view in `font` needs so that the characters under byte boxes (Control Pictures, and the bytes
// windows-1252 leaves unassigned) have room for a box and a pixel beside it: 0 where they have it already.
double byteBoxSpacing(const QFont& font);

// Draws `byte` as a framed box holding its two hexadecimal digits side by side, over the start of `cell` (the room of
// the character that stands for the byte), as hex editors show bytes without a glyph. Every byte gets the same box
// whatever glyph lies under it. The digits are a monospace face at least 7 pixels high, drawn at the device's pixel
// ratio, so 0 and D or 8 and B are told apart at every size; each box is drawn once and kept.
void drawByteBox(QPainter& painter, const QRectF& cell, unsigned char byte, const QColor& ground, const QColor& ink);

} // namespace qb
