#pragma once

#include <QPixmap>

namespace qb {

// The tool bar's pictures, drawn in code at 16 x 16 on a transparent ground.
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

QPixmap toolbarPixmap(ToolbarPicture picture);

} // namespace qb
