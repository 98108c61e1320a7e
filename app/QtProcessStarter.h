#pragma once

#include "Ui.h"

#include <string>

namespace qb {

// Starts a program as a detached process, or a page in the desktop's default browser.
class QtProcessStarter : public ProcessStarter
{
public:
    std::string start(const CommandLine& command) override;
    void openUrl(const std::string& url) override;
};

} // namespace qb
