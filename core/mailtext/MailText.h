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
// The header line naming the key the message was encrypted with.
constexpr std::string_view kMailTextKeyHeader = "Key";

constexpr bool isBase64Character(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// CRC-24 as OpenPGP's armor computes it (initial value 0xB704CE, polynomial 0x1864CFB).
std::uint32_t crc24(std::string_view bytes);
// The CRC-24 of bytes that follow those whose CRC-24 is `crc`: crc24(a + b) == crc24Continue(crc24(a), b).
std::uint32_t crc24Continue(std::uint32_t crc, std::string_view bytes);

// The mail text of `bytes`: begin line, the Key line when `keyFingerprint` is given, empty line, base64 lines, "="
// checksum line, end line; each ends in LF. The Key line names the key the bytes were encrypted with, so that the
// reader can pick it or say that it has none.
std::string armorMailText(std::string_view bytes, std::string_view keyFingerprint = {});

// Writes mail text a piece at a time, as armorMailText does at once, so that a message of any length is armored in
// little memory: the begin lines at construction, whole base64 lines as their bytes arrive, the rest at finish.
class MailTextWriter
{
public:
    // Appends the begin line, the Key line when `keyFingerprint` is given, and the empty line after them to `text`.
    explicit MailTextWriter(std::string& text, std::string_view keyFingerprint = {});
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

// Decodes a block's base64 body as its characters come, checksum and all. The reader runs one on the body as it
// stands and, where a mail program may have sent it quoted-printable, one on the body decoded from that.
class MailTextDecoder
{
public:
    // Base64 characters decoded at a time as a block is read.
    static constexpr std::size_t kBatch = 64 * 1024;

    MailTextDecoder();
    // Appends the bytes that `characters` complete to `bytes`, or keeps them once holding.
    void add(std::string_view characters, std::string& bytes);
    // From now on the bytes are kept until finish shows whether this way holds.
    void hold() { m_holding = true; }
    void damage() { m_damaged = true; }
    bool damaged() const { return m_damaged; }
    // The other way has failed, so this one is the block's: the bytes kept are appended to `bytes`, and later ones
    // come out as they are decoded. A failed way lets go of what it kept.
    void letGo(std::string& bytes);
    // The body has ended: true when it was whole with a matching checksum, and then the bytes kept and the last ones
    // are appended to `bytes`.
    bool finish(std::string& bytes);

    // The fast way for whole lines known to hold no "=", so none of the checksum: their characters are appended as
    // they are and decoded at once by commit, which is false, with everything since `mark` undone, unless they are
    // all base64.
    std::size_t mark() const { return m_pending.size(); }
    void append(std::string_view characters) { m_pending.append(characters); }
    bool commit(std::size_t mark, std::string& bytes);

private:
    // Decodes the base64 known to come before the checksum, keeping back what may still be the checksum.
    void decodeReady(std::string& bytes);
    // Decodes the first `count` characters waiting onto `bytes`, and adds them to the checksum.
    bool decodeFront(std::size_t count, std::string& bytes);

    // Characters not decoded yet, the last five of which may be the checksum.
    std::string m_pending;
    std::uint32_t m_crc;
    bool m_damaged = false;
    bool m_holding = false;
    std::string m_held;
};

} // namespace qb
