#include "LetterTiles.h"

#include "Pictures.h"

#include <QPainter>

namespace qb {
namespace {

const char* const kProductLetters = "QUILLBOX";

} // namespace

LetterTiles::LetterTiles(int tileHeight, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ProductName"));
    setAccessibleName(QStringLiteral("Quillbox"));
    resize(kTileStep * (kTileCount - 1) + kLetterTileSize.width(), tileHeight);
    for (int index = 0; index < kTileCount; ++index) {
        const QChar letter = QLatin1Char(kProductLetters[index]);
        m_tiles.add(QRect(kTileStep * index, 0, kLetterTileSize.width(), tileHeight),
                    [letter](qreal ratio) { return letterTile(letter, ratio); });
    }
    // A click on a tile is the tile's, not the window's background.
    setAttribute(Qt::WA_NoMousePropagation);
}

void LetterTiles::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_tiles.paint(painter, devicePixelRatioF());
}

} // namespace qb
