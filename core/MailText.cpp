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

constexpr bool isBase64Character(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

constexpr const char* kBlanks = " \t";
// The header line naming the key the message was encrypted with.
constexpr std::string_view kKeyHeader = "Key";
// Quote markers and blanks, which a line's content does not begin with.
constexpr const char* kQuoteOrBlank = "> \t";
// Enough of a line to tell whether it may still be a marker line, or a header line and its value.
constexpr std::size_t kLongestLineKept = 80;
// Base64 characters decoded at a time as a block is read.
constexpr std::size_t kDecodeBatch = 64 * 1024;

// Whether a line whose content starts with `content` may be the marker line `marker`: the marker, then only blanks.
bool canBecome(std::string_view content, std::string_view marker)
{
    const std::size_t shared = std::min(content.size(), marker.size());
    return content.substr(0, shared) == marker.substr(0, shared) &&
           content.find_first_not_of(kBlanks, shared) == std::string_view::npos;
}

bool isHeaderNameCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
}

// A header line, "Name: value", as OpenPGP's armor writes them: a name of letters, digits and "-", a colon, then a
// blank or nothing. Base64 has no colon, so no body line is one.
bool isHeader(std::string_view content)
{
    const std::size_t colon = content.find(':');
    return colon != std::string_view::npos && colon > 0 &&
           std::all_of(content.begin(), content.begin() + colon, isHeaderNameCharacter) &&
           (colon + 1 == content.size() || content[colon + 1] == ' ' || content[colon + 1] == '\t');
}

// Whether a line whose content starts with `content` may still be a header line.
bool mayBeHeader(std::string_view content)
{
    if (content.find(':') != std::string_view::npos)
        return isHeader(content);
    return content.size() < kLongestLineKept && std::all_of(content.begin(), content.end(), isHeaderNameCharacter);
}

std::string_view trimTrailingBlanks(std::string_view line)
{
    const std::size_t last = line.find_last_not_of(kBlanks);
    return line.substr(0, last == std::string_view::npos ? 0 : last + 1);
}

// Where the line from `start` ends: at its CR or LF, or at the end of the text. CR LF, LF and CR all end a line; a
// CR LF pair reads as two line ends with an empty line between, which is the same to the mail text.
std::size_t lineBreakFrom(std::string_view text, std::size_t start)
{
    const char* const from = text.data() + start;
    const std::size_t left = text.size() - start;
    const auto* lineFeed = static_cast<const char*>(std::memchr(from, '\n', left));
    const std::size_t beforeFeed = lineFeed ? static_cast<std::size_t>(lineFeed - from) : left;
    const auto* carriageReturn = static_cast<const char*>(std::memchr(from, '\r', beforeFeed));
    return start + (carriageReturn ? static_cast<std::size_t>(carriageReturn - from) : beforeFeed);
}

// The first blank in `text`, or its size: a plain walk, where find_first_of searches its set for every character.
std::size_t findBlank(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && text[at] != ' ' && text[at] != '\t')
        ++at;
    return at;
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
        text.append(kKeyHeader);
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

std::optional<MailTextBlock> readMailText(std::string_view text)
{
    // Most texts hold no mail text at all: a binary ciphertext of any size is passed over at the speed of a search.
    // (glibc's memmem looks for the marker many bytes at a time; string_view::find stops at every '-'.)
    if (::memmem(text.data(), text.size(), kMailTextBegin, std::strlen(kMailTextBegin)) == nullptr)
        return std::nullopt;
    MailTextReader reader;
    MailTextBlock block;
    reader.read(text, block.bytes);
    if (!reader.finish(block.bytes))
        return std::nullopt; // the marker stands inside a line of other text
    block.keyFingerprint = reader.keyFingerprint();
    return block;
}

// ---- MailTextDecoder

MailTextDecoder::MailTextDecoder() : m_crc(kCrcInit) {}

void MailTextDecoder::add(std::string_view characters, std::string& bytes)
{
    if (m_damaged)
        return;
    m_pending.append(characters);
    if (m_pending.size() >= kDecodeBatch + 5)
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

// ---- MailTextReader

MailTextReader::MailTextReader() = default;

void MailTextReader::read(std::string_view piece, std::string& bytes)
{
    std::size_t start = 0;
    // Where the piece's first "=" is from `start` on, once looked for; and whether whole lines may still be taken.
    std::size_t equals = std::string_view::npos;
    bool bodyLines = true;
    for (;;) {
        if (bodyLines && atBodyLine()) {
            if (equals == std::string_view::npos || equals < start) {
                const void* found = std::memchr(piece.data() + start, '=', piece.size() - start);
                equals =
                    found ? static_cast<std::size_t>(static_cast<const char*>(found) - piece.data()) : piece.size();
            }
            const std::size_t reached = readBodyLines(piece.substr(0, equals), start, bytes);
            // Lines that are not plain base64 stop the fast way for this piece: they come one at a time now.
            bodyLines = reached != start;
            start = reached;
        }
        const std::size_t end = lineBreakFrom(piece, start);
        addToLine(piece.substr(start, end - start), bytes);
        if (end == piece.size())
            return;
        endLine(bytes);
        start = end + 1;
    }
}

bool MailTextReader::atBodyLine() const
{
    return m_inChosen && m_where == Where::Inside && m_bodyBegun && !m_parted && !m_asIs.damaged() && m_inLinePrefix &&
           !m_lineQuoted && !m_lineIsText && m_line.empty();
}

std::size_t MailTextReader::readBodyLines(std::string_view text, std::size_t start, std::string& bytes)
{
    std::size_t taken = start;
    for (std::size_t at = start;;) {
        const std::size_t mark = m_asIs.mark();
        bool more = true;
        while (m_asIs.mark() - mark < kDecodeBatch) {
            const void* lineFeed = std::memchr(text.data() + at, '\n', text.size() - at);
            more = lineFeed != nullptr;
            if (!more)
                break;
            const auto end = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - text.data());
            std::string_view content = text.substr(at, end - at);
            if (!content.empty() && content.back() == '\r')
                content.remove_suffix(1);
            // A quote marker, a blank or "-" at either end: the line may be quoted, a marker, or carry blanks.
            if (!content.empty() && (!isBase64Character(content.front()) || !isBase64Character(content.back()))) {
                more = false;
                break;
            }
            m_asIs.append(content);
            at = end + 1;
        }
        // Anything else inside the lines, a lone CR or a blank, makes them fail to decode as a whole: then they are
        // read one at a time, which finds the damage or the lines' ends.
        if (at == taken || !m_asIs.commit(mark, bytes))
            return taken;
        taken = at;
        if (!more)
            return taken;
    }
}

bool MailTextReader::finish(std::string& bytes)
{
    endLine(bytes);
    if (m_blocks == 0)
        return false;
    // Quoted blocks only, more than one: which is the message cannot be told.
    if (!m_chosenUnquoted && m_blocks > 1)
        throw EManyMailTexts();
    if (!m_chosenEnded)
        throw EDamagedMailText();
    endQuotedPrintableLine();
    if (m_asIs.finish(bytes) || (m_parted && m_quotedPrintable.finish(bytes)))
        return true;
    throw EDamagedMailText();
}

bool MailTextReader::mayBeMarker(std::string_view content) const
{
    return canBecome(content, kMailTextBegin) || (m_where == Where::Inside && canBecome(content, kMailTextEnd));
}

void MailTextReader::addToLine(std::string_view run, std::string& bytes)
{
    if (m_inLinePrefix) {
        const std::size_t content = run.find_first_not_of(kQuoteOrBlank);
        m_lineQuoted = m_lineQuoted || (content > 0 && !run.empty());
        if (content == std::string_view::npos)
            return;
        run.remove_prefix(content);
        m_inLinePrefix = false;
    }
    if (m_lineIsText) {
        if (m_inChosen && m_where == Where::Inside)
            addBodyText(run, bytes);
        return;
    }
    // Marker and header lines are short: a line's start is kept only while it may still be one.
    const std::size_t room = kLongestLineKept - m_line.size();
    m_line.append(run.substr(0, room));
    run.remove_prefix(std::min(room, run.size()));
    const bool restIsBlank = run.find_first_not_of(kBlanks) == std::string_view::npos;
    if (restIsBlank && mayBeMarker(m_line))
        return;
    if (inHeaders() && mayBeHeader(m_line)) {
        m_lineCut = m_lineCut || !restIsBlank;
        return;
    }
    m_lineIsText = true;
    if (m_inChosen && m_where == Where::Inside) {
        addBodyText(m_line, bytes);
        addBodyText(run, bytes);
    }
    m_line.clear();
}

void MailTextReader::endLine(std::string& bytes)
{
    if (!m_lineIsText && !m_line.empty()) {
        const std::string_view content = trimTrailingBlanks(m_line);
        if (content == kMailTextBegin) {
            beginBlock(bytes);
        } else if (m_where == Where::Inside && content == kMailTextEnd) {
            m_where = Where::After;
            m_chosenEnded = m_chosenEnded || m_inChosen;
        } else if (inHeaders() && isHeader(content)) {
            if (!m_lineCut)
                readHeader(content);
        } else if (m_inChosen && m_where == Where::Inside) {
            addBodyText(content, bytes);
        }
    }
    if (m_inChosen && m_where == Where::Inside) {
        endQuotedPrintableLine();
        settleWays(bytes);
    }
    m_inLinePrefix = true;
    m_lineQuoted = false;
    m_lineIsText = false;
    m_line.clear();
    m_lineCut = false;
    m_blankPending = false; // blanks at a line's end are not part of it
}

void MailTextReader::beginBlock(std::string& bytes)
{
    // A begin line inside a block cuts that block short: the chosen one never sees its end line.
    ++m_blocks;
    m_where = Where::Inside;
    m_bodyBegun = false;
    const bool unquoted = !m_lineQuoted;
    if (unquoted && m_chosenUnquoted)
        throw EManyMailTexts();
    m_inChosen = m_chosen == 0 || unquoted;
    if (!m_inChosen)
        return;
    // The first block, or an unquoted one under quoted earlier ones: it is the message until the text says otherwise.
    m_chosen = m_blocks;
    m_chosenUnquoted = unquoted;
    m_chosenEnded = false;
    m_keyFingerprint.clear();
    m_asIs = MailTextDecoder();
    m_parted = false;
    m_quotedPrintable = MailTextDecoder();
    m_escape.clear();
    bytes.clear();
}

void MailTextReader::readHeader(std::string_view line)
{
    if (!m_inChosen || !m_keyFingerprint.empty())
        return;
    const std::size_t colon = line.find(':');
    if (line.substr(0, colon) != kKeyHeader)
        return;
    std::string_view value = line.substr(colon + 1);
    value.remove_prefix(std::min(value.find_first_not_of(kBlanks), value.size()));
    if (isKeyFingerprint(value))
        m_keyFingerprint = value;
}

void MailTextReader::addBodyText(std::string_view text, std::string& bytes)
{
    while (!text.empty()) {
        const std::size_t blank = findBlank(text);
        if (blank > 0) {
            // Base64 has no blanks, nor has quoted-printable inside a line: one between characters damages the body.
            if (m_blankPending) {
                m_asIs.damage();
                m_quotedPrintable.damage();
            }
            m_blankPending = false;
            addBodyCharacters(text.substr(0, blank), bytes);
            text.remove_prefix(blank);
        }
        const std::size_t next = std::min(text.find_first_not_of(kBlanks), text.size());
        if (next > 0)
            m_blankPending = true;
        text.remove_prefix(next);
    }
}

void MailTextReader::addBodyCharacters(std::string_view characters, std::string& bytes)
{
    m_bodyBegun = true;
    if (!m_parted) {
        const std::size_t equals = characters.find('=');
        m_asIs.add(characters.substr(0, equals), bytes);
        if (equals == std::string_view::npos)
            return;
        // From here the two ways may read differently; each keeps its bytes until the end shows which holds.
        characters.remove_prefix(equals);
        m_parted = true;
        m_asIs.hold();
        m_quotedPrintable = m_asIs;
    }
    m_asIs.add(characters, bytes);
    addQuotedPrintable(characters, bytes);
    settleWays(bytes);
}

void MailTextReader::settleWays(std::string& bytes)
{
    if (!m_parted || (!m_asIs.damaged() && !m_quotedPrintable.damaged()))
        return;
    // A failed way's bytes go first, so the other's follow those that came out before the two parted.
    if (m_asIs.damaged())
        m_asIs.letGo(bytes);
    if (m_quotedPrintable.damaged())
        m_quotedPrintable.letGo(bytes);
    if (!m_asIs.damaged())
        m_asIs.letGo(bytes);
    if (!m_quotedPrintable.damaged())
        m_quotedPrintable.letGo(bytes);
}

void MailTextReader::addQuotedPrintable(std::string_view characters, std::string& bytes)
{
    while (!characters.empty() && !m_quotedPrintable.damaged()) {
        if (m_escape.empty()) {
            const std::size_t equals = characters.find('=');
            m_quotedPrintable.add(characters.substr(0, equals), bytes);
            if (equals == std::string_view::npos)
                return;
            m_escape = "=";
            characters.remove_prefix(equals + 1);
            continue;
        }
        m_escape.push_back(characters.front());
        characters.remove_prefix(1);
        if (m_escape.size() < 3)
            continue;
        // Base64 holds no character a quoted-printable writer escapes but "=" itself.
        if (m_escape != "=3D")
            m_quotedPrintable.damage();
        m_quotedPrintable.add("=", bytes);
        m_escape.clear();
    }
}

void MailTextReader::endQuotedPrintableLine()
{
    if (!m_parted)
        return;
    // A lone "=" at the line's end is a soft line break; an escape cut by the line's end is broken.
    if (m_escape.size() > 1)
        m_quotedPrintable.damage();
    m_escape.clear();
}

} // namespace qb
