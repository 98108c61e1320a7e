#pragma once

#include "MailText.h"

#include <optional>
#include <string>
#include <string_view>

// Finding mail text in whatever text a mail program hands over: quoted, rewrapped, with headers, or sent
// quoted-printable. The codec it decodes with is MailText.h's.

namespace qb {

// A block of mail text: the message's bytes, and the fingerprint its Key line names (empty when it has no Key line
// that is a well-formed fingerprint: the checksum does not cover header lines).
struct MailTextBlock
{
    std::string bytes;
    std::string keyFingerprint;
};

// The one block of mail text in `text`, or std::nullopt when it holds none. Quote markers (">") and blanks at line
// starts, trailing blanks, blank lines, any line end, base64 lines of any length and "Name: value" header lines
// before the body are tolerated; a body that a mail program sent quoted-printable is decoded as such when it does not
// read as it stands. In a reply that quotes earlier blocks under its own, the one block whose begin line is not quoted
// is the message. Raises EDamagedMailText for broken base64 or a checksum mismatch, EManyMailTexts when more than one
// block could be the message.
std::optional<MailTextBlock> readMailText(std::string_view text);

// Reads mail text a piece at a time, as readMailText reads it at once, so that a text of any length is read in
// little memory: the chosen block's bytes come out as its base64 lines arrive. Only finish() tells whether they are
// whole and unchanged; until it returns they must not be trusted.
class MailTextReader
{
public:
    MailTextReader();
    // Reads the next piece of the text and appends the bytes of the chosen block decoded so far to `bytes`. When an
    // unquoted block replaces a quoted one chosen before, `bytes` is emptied first and chosenBlock() changes. Raises
    // EManyMailTexts as soon as a second unquoted block begins.
    void read(std::string_view piece, std::string& bytes);
    // The text has ended: appends the chosen block's last bytes. False when the text held no block; raises
    // EDamagedMailText or EManyMailTexts as readMailText does.
    bool finish(std::string& bytes);
    // A block has begun: the text is mail text, and its bytes are a block's, not the text's.
    bool foundBlock() const { return m_blocks > 0; }
    // The number of the block whose bytes come out (1 for the text's first block), 0 before any: a caller that has
    // passed on earlier bytes starts over when it changes.
    int chosenBlock() const { return m_chosen; }
    // The fingerprint the chosen block's Key line names, or empty; settled once its bytes begin to come.
    const std::string& keyFingerprint() const { return m_keyFingerprint; }

private:
    // At the start of a line of the chosen block's body, before any "=": whole lines of base64 may be taken at once.
    bool atBodyLine() const;
    // Takes the whole lines of plain base64 in `text` from `start` on, as they were written, and decodes them many at
    // a time; returns where the line-by-line reading goes on.
    std::size_t readBodyLines(std::string_view text, std::size_t start, std::string& bytes);
    void addToLine(std::string_view run, std::string& bytes);
    void endLine(std::string& bytes);
    bool mayBeMarker(std::string_view content) const;
    // The block's body has not begun, so a line may still be a header.
    bool inHeaders() const { return m_where == Where::Inside && !m_bodyBegun; }
    void beginBlock(std::string& bytes);
    void readHeader(std::string_view line);
    // Line content inside the chosen block; a blank followed by more content on the same line breaks the base64.
    void addBodyText(std::string_view text, std::string& bytes);
    void addBodyCharacters(std::string_view characters, std::string& bytes);
    // The quoted-printable way: "=3D" stands for "=", and "=" at a line's end joins it to the next.
    void addQuotedPrintable(std::string_view characters, std::string& bytes);
    void endQuotedPrintableLine();
    // Once one of the two ways fails, the other needs no longer keep its bytes until the end: memory stays bounded.
    void settleWays(std::string& bytes);

    enum class Where { Before, Inside, After } m_where = Where::Before;
    int m_blocks = 0;
    // The chosen block: its number, whether its begin line was unquoted, whether the block being read is it, and
    // whether its end line came.
    int m_chosen = 0;
    bool m_chosenUnquoted = false;
    bool m_inChosen = false;
    bool m_chosenEnded = false;
    bool m_bodyBegun = false;
    std::string m_keyFingerprint;
    // The line being read: still in its quote markers and blanks; quoted; decided to be neither a marker nor a
    // header; its start, kept while it may be one; longer than what is kept.
    bool m_inLinePrefix = true;
    bool m_lineQuoted = false;
    bool m_lineIsText = false;
    std::string m_line;
    bool m_lineCut = false;
    bool m_blankPending = false;
    MailTextDecoder m_asIs;
    // The quoted-printable way begins at the body's first "=": before it both ways read the same characters.
    bool m_parted = false;
    MailTextDecoder m_quotedPrintable;
    std::string m_escape;
};

} // namespace qb
