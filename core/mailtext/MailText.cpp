#include "MailText.h"

#include "Errors.h"
#include "KeyFingerprint.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <vector>

namespace qb {

const char* const kMailTextBegin = "-----BEGIN QUILLBOX 97 MESSAGE-----";
const char* const kMailTextEnd = "-----END QUILLBOX 97 MESSAGE-----";

namespace {

constexpr std::uint32_t kCrcInit = 0xB704CE;
constexpr std::uint32_t kCrcPolynomial = 0x1864CFB;
constexpr std::size_t kLineBytes = 48; // 64 base64 characters
constexpr std::size_t kLineCharacters = 64;
// Lines encoded by one call of the codec: enough that the calls cost nothing, few enough to stay in the cache.
constexpr std::size_t kLinesAtOnce = 1024;

// Tables for eight bytes at a step: entry [k][b] is the CRC contribution of byte b followed by k zero bytes.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

CrcTables makeCrcTables()
{
    CrcTables tables{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte << 16;
        for (int bit = 0; bit < 8; ++bit) {
            crc <<= 1;
            if (crc & 0x1000000)
                crc ^= kCrcPolynomial;
        }
        tables[0][byte] = crc & 0xFFFFFF;
    }
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (std::size_t byte = 0; byte < 256; ++byte) {
            const std::uint32_t previous = tables[k - 1][byte];
            tables[k][byte] = ((previous << 8) ^ tables[0][previous >> 16]) & 0xFFFFFF;
        }
    }
    return tables;
}

const CrcTables& crcTables()
{
    static const CrcTables tables = makeCrcTables();
    return tables;
}

// Base64 by OpenSSL's codec, a plain table walk: several times as fast as libsodium's constant-time one, whose care
// guards secrets, which a ciphertext sent in the clear is not. Writes `count` * 4 / 3 characters (rounded up to whole
// quads) at `out`, and a NUL after them.
void encodeBase64(char* out, const unsigned char* bytes, std::size_t count)
{
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out), bytes, static_cast<int>(count));
}

std::size_t encodedLength(std::size_t count)
{
    return (count + 2) / 3 * 4;
}

// Appends the bytes of the `count` base64 characters at `text`, whole quads with "=" only as padding at their end, to
// `bytes`; false, with `bytes` as it was, when they are not base64.
bool appendDecoded(const char* text, std::size_t count, std::string& bytes)
{
    if (count % 4 != 0)
        return false;
    std::size_t padding = 0;
    if (const void* equals = std::memchr(text, '=', count)) {
        padding = count - static_cast<std::size_t>(static_cast<const char*>(equals) - text);
        if (padding > 2 || text[count - 1] != '=')
            return false;
    }
    if (count == 0)
        return true;
    const std::size_t at = bytes.size();
    const std::size_t whole = count / 4 * 3;
    bytes.resize(at + whole);
    // The codec reads "=" as zero bits, giving padding back as zero bytes, and passes over blanks and "-" at either
    // end: a count short of the whole shows the latter.
    if (EVP_DecodeBlock(reinterpret_cast<unsigned char*>(&bytes[at]), reinterpret_cast<const unsigned char*>(text),
                        static_cast<int>(count)) != static_cast<int>(whole)) {
        bytes.resize(at);
        return false;
    }
    bytes.resize(at + whole - padding);
    return true;
}

// Decodes `text` whole (padding required); false when it is not base64.
bool decodeBase64(std::string_view text, std::string& bytes)
{
    bytes.clear();
    return appendDecoded(text.data(), text.size(), bytes);
}

// Encodes whole lines of bytes (the last may be shorter) at the end of `text`, each line ended by LF.
void appendLines(std::string_view bytes, std::string& text)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t left = bytes.size(); left > 0;) {
        const std::size_t count = std::min(left, kLinesAtOnce * kLineBytes);
        const std::size_t characters = encodedLength(count);
        const std::size_t lines = (characters + kLineCharacters - 1) / kLineCharacters;
        const std::size_t at = text.size();
        // The run is encoded `lines` characters on (its NUL after it), then each line is moved back into place and
        // given its LF: every line moves to an earlier place, so none overwrites a line still to move.
        text.resize(at + characters + lines + 1);
        char* const out = &text[at];
        encodeBase64(out + lines, data, count);
        for (std::size_t line = 0; line < lines; ++line) {
            const std::size_t length = std::min(kLineCharacters, characters - line * kLineCharacters);
            char* const to = out + line * (kLineCharacters + 1);
            std::memmove(to, out + lines + line * kLineCharacters, length);
            to[length] = '\n';
        }
        text.resize(at + characters + lines);
        data += count;
        left -= count;
    }
}

} // namespace

std::uint32_t crc24(std::string_view bytes)
{
    return crc24Continue(kCrcInit, bytes);
}

std::uint32_t crc24Continue(std::uint32_t crc, std::string_view bytes)
{
    const CrcTables& t = crcTables();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    for (; left >= 8; left -= 8, p += 8) {
        // The register's three bytes combine with the first three input bytes; the other five enter as they are.
        crc = t[7][p[0] ^ (crc >> 16)] ^ t[6][p[1] ^ ((crc >> 8) & 0xFF)] ^ t[5][p[2] ^ (crc & 0xFF)] ^ t[4][p[3]] ^
              t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; left > 0; --left, ++p)
        crc = ((crc << 8) ^ t[0][(crc >> 16) ^ *p]) & 0xFFFFFF;
    return crc;
}

std::string armorMailText(std::string_view bytes, std::string_view keyFingerprint)
{
    std::string text;
    // One allocation for the whole text, and a byte spare for the NUL the last encoding writes.
    text.reserve(std::strlen(kMailTextBegin) + keyFingerprint.size() + 8 + MailTextWriter::bodyLength(bytes.size()) +
                 1);
    MailTextWriter writer(text, keyFingerprint);
    writer.write(bytes, text);
    writer.finish(text);
    return text;
}

MailTextWriter::MailTextWriter(std::string& text, std::string_view keyFingerprint) : m_crc(kCrcInit)
{
    text.append(kMailTextBegin);
    text.push_back('\n');
    if (!keyFingerprint.empty()) {
        text.append(kMailTextKeyHeader);
        text.append(": ");
        text.append(keyFingerprint);
        text.push_back('\n');
    }
    text.push_back('\n');
}

std::size_t MailTextWriter::bodyLength(std::size_t bytes)
{
    const std::size_t characters = encodedLength(bytes);
    const std::size_t lines = (characters + kLineCharacters - 1) / kLineCharacters;
    // The lines with their LFs, "=" and four characters and LF, the end line and its LF.
    return characters + lines + 6 + std::strlen(kMailTextEnd) + 1;
}

void MailTextWriter::write(std::string_view bytes, std::string& text)
{
    if (!m_partialLine.empty()) {
        const std::string_view rest = bytes.substr(0, kLineBytes - m_partialLine.size());
        m_crc = crc24Continue(m_crc, rest);
        m_partialLine.append(rest);
        bytes.remove_prefix(rest.size());
        if (m_partialLine.size() < kLineBytes)
            return;
        appendLines(m_partialLine, text);
        m_partialLine.clear();
    }
    const std::size_t whole = bytes.size() / kLineBytes * kLineBytes;
    // Each run is summed and encoded while it is still in the cache.
    for (std::size_t at = 0; at < whole; at += kLinesAtOnce * kLineBytes) {
        const std::string_view run = bytes.substr(at, std::min(kLinesAtOnce * kLineBytes, whole - at));
        m_crc = crc24Continue(m_crc, run);
        appendLines(run, text);
    }
    m_partialLine.assign(bytes.substr(whole));
    m_crc = crc24Continue(m_crc, m_partialLine);
}

void MailTextWriter::finish(std::string& text)
{
    appendLines(m_partialLine, text);
    m_partialLine.clear();
    const unsigned char checksum[3] = {static_cast<unsigned char>(m_crc >> 16), static_cast<unsigned char>(m_crc >> 8),
                                       static_cast<unsigned char>(m_crc)};
    const std::size_t at = text.size();
    text.resize(at + 1 + 4 + 1);
    text[at] = '=';
    encodeBase64(&text[at + 1], checksum, sizeof checksum);
    text.back() = '\n';
    text.append(kMailTextEnd);
    text.push_back('\n');
}

// ---- MailTextDecoder

MailTextDecoder::MailTextDecoder() : m_crc(kCrcInit) {}

void MailTextDecoder::add(std::string_view characters, std::string& bytes)
{
    if (m_damaged)
        return;
    m_pending.append(characters);
    if (m_pending.size() >= kBatch + 5)
        decodeReady(m_holding ? m_held : bytes);
}

void MailTextDecoder::decodeReady(std::string& bytes)
{
    // The last five characters may be the checksum line; before them all is the message's base64, decoded in whole
    // groups of four. Padding may stand only in its last group.
    const std::size_t known = m_pending.size() - 5;
    std::size_t whole = known / 4 * 4;
    const std::size_t padding = m_pending.find('=');
    if (padding < whole) {
        whole = padding / 4 * 4;
        if (known > whole + 4) {
            m_damaged = true;
            return;
        }
    }
    if (whole != 0 && !decodeFront(whole, bytes))
        m_damaged = true;
}

bool MailTextDecoder::decodeFront(std::size_t count, std::string& bytes)
{
    const std::size_t at = bytes.size();
    if (!appendDecoded(m_pending.data(), count, bytes))
        return false;
    m_crc = crc24Continue(m_crc, std::string_view(bytes).substr(at));
    m_pending.erase(0, count);
    return true;
}

bool MailTextDecoder::commit(std::size_t mark, std::string& bytes)
{
    const std::size_t whole = m_pending.size() / 4 * 4;
    if (std::all_of(m_pending.begin() + static_cast<std::ptrdiff_t>(whole), m_pending.end(), isBase64Character) &&
        decodeFront(whole, m_holding ? m_held : bytes))
        return true;
    m_pending.resize(mark);
    return false;
}

void MailTextDecoder::letGo(std::string& bytes)
{
    if (!m_damaged)
        bytes.append(m_held);
    std::string().swap(m_held);
    m_holding = false;
}

bool MailTextDecoder::finish(std::string& bytes)
{
    // The body ends with "=" and the four characters of the checksum; what comes before is the message's base64.
    const std::size_t checksumAt = m_pending.size() >= 5 ? m_pending.size() - 5 : std::string::npos;
    if (m_damaged || checksumAt == std::string::npos || m_pending[checksumAt] != '=')
        return false;
    std::string checksum;
    std::string last;
    const std::string_view pending = m_pending;
    if (!decodeBase64(pending.substr(checksumAt + 1), checksum) || checksum.size() != 3 ||
        !decodeBase64(pending.substr(0, checksumAt), last))
        return false;
    const auto c = [&checksum](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(checksum[i]));
    };
    if (((c(0) << 16) | (c(1) << 8) | c(2)) != crc24Continue(m_crc, last))
        return false;
    // A reader's caller that has passed on what came before has nothing left to keep: the bytes held move over.
    if (bytes.empty())
        bytes.swap(m_held);
    else
        bytes.append(m_held);
    bytes.append(last);
    return true;
}

} // namespace qb
