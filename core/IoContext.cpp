#include "IoContext.h"

#include "Errors.h"

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

} // namespace qb
