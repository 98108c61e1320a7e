#pragma once

#include <QChar>
#include <QIcon>
#include <QPixmap>

namespace qb {

// Pictures of the product, drawn in code so the program needs no image files.

// A closed brass padlock on a transparent ground, `size` x `size` pixels.
QPixmap padlockPixmap(int size);
// The window icon: the padlock at the usual icon sizes.
QIcon padlockIcon();
// One 45 x 35 tile of the product name: a heavy blue capital with a grey drop shadow on a near-white ground.
QPixmap letterTile(QChar letter);

} // namespace qb
