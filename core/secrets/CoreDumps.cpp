#include "CoreDumps.h"

#include <sys/resource.h>

namespace qb {

void disableCoreDumps()
{
    // Lowering a limit cannot fail for want of privilege; a failure would leave dumps as the system has them.
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
}

} // namespace qb
