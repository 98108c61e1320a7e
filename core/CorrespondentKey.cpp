#include "CorrespondentKey.h"

#include "CipherKey.h"
#include "Errors.h"
#include "IoCodes.h"
#include "StoredFiles.h"

namespace qb {

const char* const kSelectRecipientWarning = "Please select a Recipiant/Sender!";

CorrespondentKey::CorrespondentKey(IoContext& io, const CorrespondentPaths& correspondent, TextFile::Reading reading)
    : m_file(io, reading, kTextBufferSize, TextFile::Contents::Key)
{
    m_file.assign(correspondent.keyFile());
    m_file.reset();
    if (const int code = io.ioResult()) {
        // A key another running copy holds past the wait is there, only busy: not the same as none.
        if (code == IoCode::SharingViolation)
            throw EKeyInUse(correspondent.name());
        if (reachedThroughLink(io, m_file.name()))
            throw EInOutError(code);
        return;
    }
    // A key an older version left readable by others is made its owner's the first time it is used.
    removeOthersAccess(io, correspondent.folder());
    removeOthersAccess(io, m_file.name());
}

SecretBytes CorrespondentKey::readPass(std::uint64_t limit)
{
    SecretBytes pass = readKeyPass(m_file, limit);
    m_file.io().check();
    return pass;
}

} // namespace qb
