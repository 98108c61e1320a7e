#pragma once

#include "PaintedPictures.h"

#include <QWidget>

namespace qb {

// The product name as a row of letter tiles, each overlapping the next a little, as the welcome and About windows
// show it. The row paints the tiles itself, so a screen reader reads it as the one word, not as eight images.
class LetterTiles : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kTileStep = 40;
    static constexpr int kTileCount = 8;

    // Tiles `tileHeight` high, the picture at their top.
    explicit LetterTiles(int tileHeight, QWidget* parent = nullptr);

    const PaintedPictures& tiles() const { return m_tiles; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PaintedPictures m_tiles;
};

} // namespace qb
