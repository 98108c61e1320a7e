#include "IoContext.h"

#include "Errors.h"
#include "IoCodes.h"

namespace qb {

int IoContext::ioResult()
{
    const int code = m_pending;
    m_pending = 0;
    return code;
}

void IoContext::check()
{
    if (const int code = ioResult())
        throw EInOutError(code);
}

const std::string& IoContext::dataDirectory() const
{
    static const std::string kNone;
    return m_dataDirectory ? *m_dataDirectory : kNone;
}

int IoContext::locate(const std::string& path, FilePlace& place) const
{
    if (const int code = nameCode(path))
        return code;
    const int error = place.locate(path, dataDirectory(), *m_operations);
    return error == 0 ? 0 : ioCodeFromErrno(error, path);
}

} // namespace qb
