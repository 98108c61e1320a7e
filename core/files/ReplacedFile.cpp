#include "ReplacedFile.h"

namespace qb {

ReplacedFile::ReplacedFile(IoContext& io, std::optional<mode_t> finalMode, Failure fail)
    : m_finalMode(finalMode), m_fail(std::move(fail)), m_replacement(io)
{
}

int ReplacedFile::begin(FilePlace&& place)
{
    const int error = m_replacement.begin(std::move(place), Replacement::Hold::Target);
    if (error != 0 || !m_finalMode)
        return error;
    return m_replacement.setFinalMode(*m_finalMode);
}

void ReplacedFile::write(const void* data, std::size_t count)
{
    if (const int error = m_replacement.file().writeAll(data, count))
        m_fail(error);
}

void ReplacedFile::commit()
{
    if (const int error = m_replacement.commit())
        m_fail(error);
}

} // namespace qb
