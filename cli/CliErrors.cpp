#include "CliErrors.h"

#include "IoCodes.h"

namespace qbcli {

std::string fileErrorText(int error, const std::string& path)
{
    return qb::ioErrorMessage(qb::ioCodeFromErrno(error, path));
}

} // namespace qbcli
