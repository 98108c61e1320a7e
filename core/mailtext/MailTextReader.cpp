#include "MailTextReader.h"

#include "Errors.h"
#include "KeyFingerprint.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace qb {

namespace {

constexpr const char* kBlanks = " \t";
// Quote markers and blanks, which a line's content does not begin with.
constexpr const char* kQuoteOrBlank = "> \t";
// Enough of a line to tell whether it may still be a marker line, or a header line and its value.
constexpr std::size_t kLongestLineKept = 80;

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

} // namespace

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
        while (m_asIs.mark() - mark < MailTextDecoder::kBatch) {
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
    if (line.substr(0, colon) != kMailTextKeyHeader)
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
