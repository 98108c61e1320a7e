#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Mail text: a message's bytes in a form that survives mail programs, which rewrap long lines, strip trailing blanks,
// change line ends and quote replies. Base64 in 64-character lines with a CRC-24 checksum line, framed by marker
// lines, as OpenPGP's armor does.
namespace qb {

extern const char* const kMailTextBegin;
extern const char* const kMailTextEnd;

// CRC-24 as OpenPGP's armor computes it (initial value 0xB704CE, polynomial 0x1864CFB).
std::uint32_t crc24(std::string_view bytes);
// The CRC-24 of bytes that follow those whose CRC-24 is `crc`: crc24(a + b) == crc24Continue(crc24(a), b).
std::uint32_t crc24Continue(std::uint32_t crc, std::string_view bytes);

// The mail text of `bytes`: begin line, empty line, base64 lines, "=" checksum line, end line; each ends in LF.
std::string armorMailText(std::string_view bytes);

// Writes mail text a piece at a time, as armorMailText does at once, so that a message of any length is armored in
// little memory: the begin lines at construction, whole base64 lines as their bytes arrive, the rest at finish.
class MailTextWriter
{
public:
    // Appends the begin line and the empty line after it to `text`.
    explicit MailTextWriter(std::string& text);
    // Appends the lines that `bytes` complete; a partial line waits for more.
    void write(std::string_view bytes, std::string& text);
    // Appends the last base64 line, the checksum line and the end line.
    void finish(std::string& text);
    // The length of what write and finish append for `bytes` in all: for reserving room.
    static std::size_t bodyLength(std::size_t bytes);

private:
    std::string m_partialLine;
    std::uint32_t m_crc;
};

// The bytes of the one block of mail text in `text`, or std::nullopt when it holds none. Quote markers (">") and
// blanks at line starts, trailing blanks, blank lines, any line end and base64 lines of any length are tolerated.
// Raises EDamagedMailText for broken base64 or a checksum mismatch, EManyMailTexts for more than one block.
std::optional<std::string> readMailText(std::string_view text);

// Reads mail text a piece at a time, as readMailText reads it at once, so that a text of any length is read in
// little memory: the block's bytes come out as its base64 lines arrive. Only finish() tells whether they are whole
// and unchanged; until it returns they must not be trusted.
class MailTextReader
{
public:
    MailTextReader();
    // Reads the next piece of the text and appends the bytes of the block decoded so far to `bytes`. Raises
    // EManyMailTexts as soon as a second block begins.
    void read(std::string_view piece, std::string& bytes);
    // The text has ended: appends the block's last bytes. False when the text held no block; raises EDamagedMailText
    // as readMailText does.
    bool finish(std::string& bytes);
    // A block has begun: the text is mail text, and its bytes are the block's, not the text's.
    bool foundBlock() const { return m_blocks > 0; }

private:
    void addToLine(std::string_view run, std::string& bytes);
    void endLine(std::string& bytes);
    bool mayBeMarker(std::string_view content) const;
    // Line content inside the block; a blank followed by more content on the same line breaks the base64.
    void addBodyText(std::string_view text, std::string& bytes);
    void addBodyCharacters(std::string_view characters, std::string& bytes);
    // Decodes the base64 known to come before the checksum, keeping back what may still be the checksum.
    void decodeReady(std::string& bytes);
    void decoded(std::string_view chunk, std::string& bytes);

    enum class Where { Before, Inside, After } m_where = Where::Before;
    int m_blocks = 0;
    // The line being read: still in its quote markers and blanks; decided to be no marker line; its start, kept
    // while it may be one.
    bool m_inLinePrefix = true;
    bool m_lineIsText = false;
    std::string m_line;
    bool m_blankPending = false;
    // Body characters not decoded yet, the last five of which may be the checksum.
    std::string m_pending;
    bool m_damaged = false;
    std::uint32_t m_crc;
};

} // namespace qb
