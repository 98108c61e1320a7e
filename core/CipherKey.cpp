#include "CipherKey.h"

#include "TextFile.h"

#include <algorithm>
#include <cstring>

namespace qb {

namespace {

// Key bytes combined in one piece: large enough that the per-call work vanishes, small enough to stay in cache.
constexpr std::size_t kSpan = 64 * 1024;
constexpr std::size_t kReadStep = 64 * 1024;

} // namespace

RepeatingKey::RepeatingKey(const SecretBytes& pass)
    : m_repeated(pass.size() + kSpan + 1), m_passLength(pass.empty() ? 1 : pass.size())
{
    static const unsigned char mark = kEndOfDataMark;
    const unsigned char* once = pass.empty() ? &mark : pass.data();
    for (std::size_t at = 0; at < m_repeated.size(); at += m_passLength)
        std::memcpy(m_repeated.data() + at, once, std::min(m_passLength, m_repeated.size() - at));
}

void RepeatingKey::combine(unsigned char* data, std::size_t count)
{
    while (count > 0) {
        const std::size_t run = std::min(count, kSpan);
        xorBytes(data, m_repeated.data() + m_offset, run);
        m_offset = (m_offset + run) % m_passLength;
        data += run;
        count -= run;
    }
}

SecretBytes readKeyPass(TextFile& key, std::uint64_t limit)
{
    SecretBytes pass;
    while (pass.size() < limit) {
        const auto step = static_cast<std::size_t>(std::min<std::uint64_t>(kReadStep, limit - pass.size()));
        const std::size_t start = pass.size();
        pass.resize(start + step);
        const std::size_t got = key.readBytes(pass.data() + start, step);
        pass.resize(start + got);
        if (got < step || key.io().pending() != 0)
            break;
    }
    return pass;
}

void xorBytes(unsigned char* out, const unsigned char* key, std::size_t count)
{
    std::size_t at = 0;
    for (; count - at >= sizeof(std::uint64_t); at += sizeof(std::uint64_t)) {
        std::uint64_t word;
        std::uint64_t keyWord;
        std::memcpy(&word, out + at, sizeof word);
        std::memcpy(&keyWord, key + at, sizeof keyWord);
        word ^= keyWord;
        std::memcpy(out + at, &word, sizeof word);
    }
    for (; at < count; ++at)
        out[at] ^= key[at];
}

} // namespace qb
