#pragma once

#include "Ui.h"

#include <string>

namespace qb {

// Starts a command line as a detached process, or a page in the desktop's default browser. A line that names no
// program starts nothing, and nothing is reported either way.
class QtProcessStarter : public ProcessStarter
{
public:
    void start(const std::string& commandLine) override;
    void openUrl(const std::string& url) override;
};

} // namespace qb
