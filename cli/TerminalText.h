#pragma once

#include <string>
#include <string_view>

namespace qbcli {

// A stored name, or a path, as a UTF-8 terminal shows it: the window's windows-1252 converted (a name an earlier
// version stored in UTF-8 as it is), and each control character (0x00-0x1F, 0x7F, and the C1 controls) written as
// \xHH, so a name printed to a terminal cannot move the cursor, clear the screen or pass for several lines.
std::string withVisibleControls(std::string_view text);

} // namespace qbcli
