#pragma once

#include <QChar>
#include <QFont>
#include <QIcon>
#include <QPainterPath>
#include <QPixmap>
#include <QSize>

namespace qb {

// Pictures of the product, drawn in code so the program needs no image files.

// An empty, transparent picture of `size` device-independent pixels for a screen of `devicePixelRatio`: its
// pixels are that many times as many, and a painter on it draws in device-independent pixels.
QPixmap pictureCanvas(QSize size, qreal devicePixelRatio);

// A closed brass padlock on a transparent ground, `size` x `size` pixels.
QPixmap padlockPixmap(int size);
// The same padlock `size` x `size` device-independent pixels large, drawn for a screen of `devicePixelRatio`.
QPixmap padlockPixmap(int size, qreal devicePixelRatio);
// The window icon: the padlock at the usual icon sizes.
QIcon padlockIcon();
// The size of one letter tile, in pixels.
constexpr QSize kLetterTileSize(45, 35);
// One tile of the product name: a heavy blue capital with a grey drop shadow on a near-white ground,
// drawn for a screen of `devicePixelRatio`.
QPixmap letterTile(QChar letter, qreal devicePixelRatio = 1.0);
// The face of the tiles' capitals.
QFont letterTileFont();
// The outline of `letter`'s glyph in `font`, its origin on the baseline.
QPainterPath glyphOutline(const QFont& font, QChar letter);

} // namespace qb
