#include "CommandRunner.h"

#include "Errors.h"

#include <new>

namespace qb {

std::string standardErrorText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

bool runCommand(Dialogs& dialogs, const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const EAbort&) {
    } catch (const std::bad_alloc&) {
        dialogs.showErrorBox(standardErrorText("Out of memory"));
    } catch (const std::exception& error) {
        dialogs.showErrorBox(standardErrorText(error.what()));
    }
    return false;
}

} // namespace qb
