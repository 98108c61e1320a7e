#pragma once

#include <string>
#include <string_view>

namespace qbcli {

// `text` with each control character (0x00-0x1F, 0x7F) written as \xHH, so a name printed to a terminal cannot move
// the cursor, clear the screen or pass for several lines.
std::string withVisibleControls(std::string_view text);

} // namespace qbcli
