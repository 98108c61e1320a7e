#include "CipherKey.h"

#include "TextFile.h"

#include <algorithm>
#include <cstring>

namespace qb {

namespace {

// Key bytes combined in one piece: large enough that the per-call work vanishes, small enough to stay in cache.
constexpr std::size_t kSpan = 64 * 1024;
constexpr std::size_t kReadStep = 64 * 1024;
// Key bytes held at once: a key up to this long is held whole, a longer one read a piece at a time.
constexpr std::size_t kPiece = 1 << 20;

} // namespace

RepeatingKey::RepeatingKey(TextFile& key, std::uint64_t mostBytes) : m_file(key), m_mostBytes(mostBytes)
{
    // A short key is read into a little room first, so that holding it costs little more than the key itself.
    const auto first = static_cast<std::size_t>(std::clamp<std::uint64_t>(mostBytes, 1, kPiece));
    m_piece.resize(std::min(first, kSpan));
    std::size_t got = readInto(0, m_piece.size());
    if (got == m_piece.size() && got < first) {
        m_piece.resize(first);
        got += readInto(got, first - got);
    }
    m_whole = got < first;
    if (!m_whole) {
        m_pieceLength = got;
        return;
    }
    // The whole key is known: laid out repeatedly once, and the file never read again.
    if (got == 0) {
        m_piece.resize(1);
        m_piece.data()[0] = kEndOfDataMark;
        got = 1;
    }
    m_passLength = got;
    m_piece.resize(m_passLength + kSpan);
    for (std::size_t at = m_passLength; at < m_piece.size(); at += m_passLength)
        std::memcpy(m_piece.data() + at, m_piece.data(), std::min(m_passLength, m_piece.size() - at));
}

std::size_t RepeatingKey::readInto(std::size_t offset, std::size_t count)
{
    const std::size_t got = m_file.readBytes(m_piece.data() + offset, count);
    m_file.io().check();
    return got;
}

void RepeatingKey::readPiece()
{
    // Only as much as the rest of the message can use, when its length is known.
    const std::uint64_t left = m_mostBytes > m_used ? m_mostBytes - m_used : kPiece;
    const auto want = static_cast<std::size_t>(std::clamp<std::uint64_t>(left, 1, kPiece));
    m_pieceStart += m_pieceLength;
    if (m_piece.size() < want)
        m_piece.resize(want);
    m_pieceLength = readInto(0, want);
    if (m_pieceLength == 0) {
        // The end of the key's data: it starts over. Its first piece was whole, so this read gives bytes.
        m_file.rewind();
        m_pieceStart = 0;
        m_pieceLength = readInto(0, want);
    }
    m_offset = 0;
}

void RepeatingKey::combine(unsigned char* data, std::size_t count)
{
    while (count > 0) {
        if (m_whole) {
            const std::size_t run = std::min(count, kSpan);
            xorBytes(data, m_piece.data() + m_offset, run);
            m_offset = (m_offset + run) % m_passLength;
            data += run;
            count -= run;
            continue;
        }
        if (m_offset == m_pieceLength)
            readPiece();
        const std::size_t run = std::min(count, m_pieceLength - m_offset);
        xorBytes(data, m_piece.data() + m_offset, run);
        m_offset += run;
        m_used += run;
        data += run;
        count -= run;
    }
}

void RepeatingKey::restart()
{
    m_offset = 0;
    m_used = 0;
    if (m_whole || m_pieceStart == 0)
        return;
    m_file.rewind();
    m_pieceStart = 0;
    m_pieceLength = 0;
    readPiece();
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
