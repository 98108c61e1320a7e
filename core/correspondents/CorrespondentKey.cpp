#include "CorrespondentKey.h"

#include "CipherKey.h"
#include "Errors.h"
#include "IoCodes.h"
#include "StoredFiles.h"

namespace qb {

namespace {

// Keys are read in pieces, so any key is fingerprinted in little memory.
constexpr std::uint64_t kReadPiece = 1 << 20;

} // namespace

const char* const kSelectCorrespondentWarning = "Please select a Recipiant/Sender!";

CorrespondentKey::CorrespondentKey(IoContext& io, const CorrespondentPaths& correspondent, TextFile::Reading reading)
    : m_name(correspondent.name()), m_file(io, reading, kTextBufferSize, TextFile::Contents::Key)
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

EKeyTooShort::EKeyTooShort(const std::string& name, std::uint64_t length)
    : Error(name + "'s key is too short for strong encryption: " + std::to_string(length) +
            " usable bytes, and it takes at least " + std::to_string(kStrongLeastKeyBytes) + ".")
{
}

void CorrespondentKey::readUsableBytes(const std::function<void(std::string_view)>& add)
{
    for (SecretBytes piece = readPass(kReadPiece); !piece.empty(); piece = readPass(kReadPiece)) {
        add(piece.view());
        if (piece.size() < kReadPiece)
            break;
    }
}

StrongKey CorrespondentKey::strongKey()
{
    StrongKey key;
    readUsableBytes([&key](std::string_view bytes) { key.add(bytes); });
    if (key.length() < kStrongLeastKeyBytes)
        throw EKeyTooShort(m_name, key.length());
    key.finish();
    return key;
}

KeySummary CorrespondentKey::summary()
{
    KeyFingerprint fingerprint;
    readUsableBytes([&fingerprint](std::string_view bytes) { fingerprint.add(bytes); });
    const std::uint64_t length = fingerprint.length();
    return {fingerprint.finish(), length};
}

} // namespace qb
