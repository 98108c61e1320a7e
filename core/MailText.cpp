#include "MailText.h"

#include "Errors.h"

#include <sodium/utils.h>

#include <array>
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
constexpr int kVariant = sodium_base64_VARIANT_ORIGINAL;

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

// One base64 group of `count` bytes, written at `out` as `count` * 4 / 3 characters (rounded up to whole quads).
void encodeBase64(char* out, const unsigned char* bytes, std::size_t count)
{
    // The library ends with a NUL, for which `out` has room: the caller overwrites it with what follows.
    sodium_bin2base64(out, sodium_base64_ENCODED_LEN(count, kVariant), bytes, count, kVariant);
}

std::size_t encodedLength(std::size_t count)
{
    return (count + 2) / 3 * 4;
}

// Decodes `text` whole (padding required); false when it is not base64.
bool decodeBase64(const std::string& text, std::string& bytes)
{
    bytes.resize(text.size() / 4 * 3);
    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), text.data(), text.size(),
                          nullptr, &length, &end, kVariant) != 0 ||
        end != text.data() + text.size())
        return false;
    bytes.resize(length);
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A line as the mail text reads it: quote markers and blanks before it and blanks after it are not part of it.
std::string_view lineContent(std::string_view line)
{
    std::size_t first = 0;
    while (first < line.size() && (line[first] == '>' || isBlank(line[first])))
        ++first;
    std::size_t last = line.size();
    while (last > first && isBlank(line[last - 1]))
        --last;
    return line.substr(first, last - first);
}

// Calls `onLine` with the content of each line; CR LF, LF and CR all end a line.
template <typename OnLine> void forEachLine(std::string_view text, OnLine&& onLine)
{
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        onLine(lineContent(text.substr(start, end - start)));
        if (end == text.size())
            break;
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
}

} // namespace

std::uint32_t crc24(std::string_view bytes)
{
    const CrcTables& t = crcTables();
    std::uint32_t crc = kCrcInit;
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

std::string armorMailText(std::string_view bytes)
{
    const std::size_t beginLength = std::strlen(kMailTextBegin);
    const std::size_t endLength = std::strlen(kMailTextEnd);
    const std::size_t characters = encodedLength(bytes.size());
    const std::size_t lines = (characters + kLineCharacters - 1) / kLineCharacters;
    // Begin line, empty line, the lines, "=" and four characters, end line: each with its LF, and one byte spare
    // for the NUL the last encoding writes.
    std::string text(beginLength + 2 + characters + lines + 6 + endLength + 1 + 1, '\0');
    char* out = text.data();
    std::memcpy(out, kMailTextBegin, beginLength);
    out += beginLength;
    *out++ = '\n';
    *out++ = '\n';
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t done = 0; done < bytes.size(); done += kLineBytes) {
        const std::size_t count = std::min(kLineBytes, bytes.size() - done);
        encodeBase64(out, data + done, count);
        out += encodedLength(count);
        *out++ = '\n';
    }
    const std::uint32_t crc = crc24(bytes);
    const unsigned char checksum[3] = {static_cast<unsigned char>(crc >> 16), static_cast<unsigned char>(crc >> 8),
                                       static_cast<unsigned char>(crc)};
    *out++ = '=';
    encodeBase64(out, checksum, sizeof checksum);
    out += 4;
    *out++ = '\n';
    std::memcpy(out, kMailTextEnd, endLength);
    out += endLength;
    *out++ = '\n';
    text.resize(static_cast<std::size_t>(out - text.data()));
    return text;
}

std::optional<std::string> readMailText(std::string_view text)
{
    // Most texts hold no mail text at all: a binary ciphertext of any size is passed over at the speed of a search.
    // (glibc's memmem looks for the marker many bytes at a time; string_view::find stops at every '-'.)
    if (::memmem(text.data(), text.size(), kMailTextBegin, std::strlen(kMailTextBegin)) == nullptr)
        return std::nullopt;

    enum class Where { Before, Inside, After } where = Where::Before;
    int blocks = 0;
    std::string body;
    forEachLine(text, [&](std::string_view line) {
        if (line == kMailTextBegin) {
            ++blocks;
            where = where == Where::Before ? Where::Inside : where;
        } else if (where == Where::Inside) {
            if (line == kMailTextEnd)
                where = Where::After;
            else
                body.append(line);
        }
    });
    if (blocks == 0)
        return std::nullopt; // the marker stands inside a line of other text
    if (blocks > 1)
        throw EManyMailTexts();
    // The body ends with "=" and the four characters of the checksum; what comes before is the message's base64.
    const std::size_t checksumAt = body.size() >= 5 ? body.size() - 5 : std::string::npos;
    if (where != Where::After || checksumAt == std::string::npos || body[checksumAt] != '=')
        throw EDamagedMailText();
    std::string checksum;
    std::string bytes;
    if (!decodeBase64(body.substr(checksumAt + 1), checksum) || checksum.size() != 3 ||
        !decodeBase64(body.substr(0, checksumAt), bytes))
        throw EDamagedMailText();
    const auto c = [&checksum](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(checksum[i]));
    };
    if (((c(0) << 16) | (c(1) << 8) | c(2)) != crc24(bytes))
        throw EDamagedMailText();
    return bytes;
}

} // namespace qb
