#include "KeyExport.h"

#include "Errors.h"
#include "IoCodes.h"
#include "Replacement.h"
#include "SecretBytes.h"

namespace qb {

namespace {

constexpr std::size_t kPiece = 64 * 1024;

} // namespace

KeyExport::KeyExport(IoContext& io, const CorrespondentPaths& correspondent)
    : m_io(io), m_key(io, correspondent, TextFile::Reading::PlainBytes)
{
}

void KeyExport::readAll(const std::function<void(const unsigned char*, std::size_t)>& sink)
{
    SecretBytes piece(kPiece);
    for (;;) {
        const std::size_t got = m_key.file().readBytes(piece.data(), piece.size());
        m_io.check();
        if (got == 0)
            break;
        sink(piece.data(), got);
    }
    m_key.finish();
}

void KeyExport::writeTo(const std::string& target)
{
    const auto failOn = [&](int error) {
        if (error != 0)
            throw EInOutError(ioCodeFromErrno(error, target));
    };
    FilePlace place;
    if (const int code = m_io.locate(target, place))
        throw EInOutError(code);
    Replacement copy(m_io);
    failOn(copy.begin(std::move(place), Replacement::Hold::Target));
    // Keys are secrets: only their owner reads a copy.
    failOn(copy.setFinalMode(kPrivateFileMode));
    readAll([&](const unsigned char* data, std::size_t count) {
        failOn(copy.file().writeAll(m_io.faults(), data, count));
    });
    failOn(copy.commit());
}

} // namespace qb
