#pragma once

#include <QIcon>
#include <QPixmap>

namespace qb {

// The tool bar's pictures, drawn in code at 16 x 16 device-independent pixels on a transparent ground, each with a
// light rim so that it stands out on a dark tool bar as well as on a light one.
enum class ToolbarPicture {
    BlankPage,
    OpenFolder,
    FloppyDisk,
    TwoPages,
    Scissors,
    Clipboard,
    NavyBlock,
    QuestionMark,
    CapitalA
};

// The picture for a screen of `devicePixelRatio`: (16 x ratio) pixels square, carrying that ratio.
QPixmap toolbarPixmap(ToolbarPicture picture, qreal devicePixelRatio = 1.0);
// The picture at one, two and three device pixels per pixel, so a button is sharp on any usual screen.
QIcon toolbarIcon(ToolbarPicture picture);

} // namespace qb
