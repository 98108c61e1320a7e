#include "KeyExport.h"

#include "Errors.h"
#include "IoCodes.h"
#include "ReplacedFile.h"
#include "SecretBytes.h"

namespace qb {

namespace {

constexpr std::size_t kPiece = 64 * 1024;

} // namespace

KeyExport::KeyExport(IoContext& io, const CorrespondentPaths& correspondent)
    : m_io(io), m_key(io, correspondent, TextFile::Reading::PlainBytes)
{
}

void KeyExport::copyTo(ByteSink& out)
{
    SecretBytes piece(kPiece);
    for (;;) {
        const std::size_t got = m_key.file().readBytes(piece.data(), piece.size());
        m_io.check();
        if (got == 0)
            break;
        out.write(piece.data(), got);
    }
    m_key.finish();
    out.commit();
}

void KeyExport::writeTo(const std::string& target)
{
    const auto fail = [&](int error) { throw EInOutError(ioCodeFromErrno(error, target)); };
    FilePlace place;
    if (const int code = m_io.locate(target, place))
        throw EInOutError(code);
    // Keys are secrets: only their owner reads a copy.
    ReplacedFile copy(m_io, kPrivateFileMode, fail);
    if (const int error = copy.begin(std::move(place)))
        fail(error);
    copyTo(copy);
}

} // namespace qb
