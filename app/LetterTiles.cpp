#include "LetterTiles.h"

#include "Pictures.h"

#include <QPainter>

#include <string_view>

namespace qb {
namespace {

const char* const kProductLetters = "QUILLBOX";

} // namespace

LetterTiles::LetterTiles(int tileHeight, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ProductName"));
    setAccessibleName(QStringLiteral("Quillbox"));
    resize(kTileStep * (kTileCount - 1) + kLetterTileSize.width(), tileHeight);
    const std::string_view letters(kProductLetters);
    for (int index = 0; index < kTileCount; ++index) {
        const char letter = letters[static_cast<std::size_t>(index)];
        const QRect place(kTileStep * index, 0, kLetterTileSize.width(), tileHeight);
        const auto first = static_cast<int>(letters.find(letter));
        // A letter met before shows the same picture, drawn once.
        if (first < index)
            m_tiles.add(place, [this, first](qreal ratio) { return m_tiles.picture(first, ratio); });
        else
            m_tiles.add(place, [letter](qreal ratio) { return letterTile(QLatin1Char(letter), ratio); });
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
