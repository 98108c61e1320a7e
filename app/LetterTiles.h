#pragma once

#include <QWidget>

namespace qb {

// The product name as a row of letter tiles, each overlapping the next a little, as the welcome and About windows
// show it. The tiles are Image3 to Image10; a screen reader reads the row as the one word.
class LetterTiles : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kTileStep = 40;
    static constexpr int kTileCount = 8;

    // Tiles `tileHeight` high, the picture at their top.
    explicit LetterTiles(int tileHeight, QWidget* parent = nullptr);
};

} // namespace qb
