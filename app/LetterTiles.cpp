#include "LetterTiles.h"

#include "PictureLabel.h"
#include "Pictures.h"

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
        auto* tile = new PictureLabel([letter](qreal ratio) { return letterTile(letter, ratio); }, this);
        tile->setObjectName(QStringLiteral("Image%1").arg(index + 3));
        tile->setGeometry(kTileStep * index, 0, kLetterTileSize.width(), tileHeight);
        tile->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // A click on a tile is the tile's, not the window's background.
        tile->setAttribute(Qt::WA_NoMousePropagation);
    }
}

} // namespace qb
