#include "TextMode.h"

#include "CliErrors.h"
#include "Cp1252.h"
#include "EditorText.h"

#include <algorithm>
#include <cstdio>

namespace qbcli {

namespace {

// An editor's line break, which its save writes as CR LF.
constexpr char16_t kParagraphSeparator = 0x2029;

// The length of the UTF-8 sequence a lead byte starts; 0 for a byte no sequence starts with.
std::size_t sequenceLength(unsigned char lead)
{
    return lead < 0x80                   ? 1
           : lead >= 0xC2 && lead < 0xE0 ? 2
           : lead >= 0xE0 && lead < 0xF0 ? 3
           : lead >= 0xF0 && lead < 0xF5 ? 4
                                         : 0;
}

// Decodes the whole sequence at `bytes`; none for a sequence UTF-8 forbids.
std::optional<char32_t> decodeSequence(std::string_view bytes)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (bytes.size() == 1)
        return lead;
    char32_t value = lead & (0x7F >> bytes.size());
    for (std::size_t i = 1; i < bytes.size(); ++i) {
        const auto next = static_cast<unsigned char>(bytes[i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        value = (value << 6) | (next & 0x3F);
    }
    static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kLeast[bytes.size()] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return value;
}

// Calls `onCharacter` for each character of complete UTF-8 text; false at the first malformed sequence.
template <typename OnCharacter> bool forEachCharacter(std::string_view text, OnCharacter onCharacter)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(text[at]));
        const std::optional<char32_t> character =
            length == 0 || at + length > text.size() ? std::nullopt : decodeSequence(text.substr(at, length));
        if (!character)
            return false;
        onCharacter(*character);
        at += length;
    }
    return true;
}

} // namespace

void appendUtf8(char32_t character, std::string& out)
{
    if (character < 0x80) {
        out += static_cast<char>(character);
    } else if (character < 0x800) {
        out += static_cast<char>(0xC0 | (character >> 6));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        out += static_cast<char>(0xE0 | (character >> 12));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (character >> 18));
        out += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    }
}

void WindowsTextEncoder::refuse(const std::string& why) const
{
    throw FileError(m_shownName, "line " + std::to_string(m_line) + " " + why);
}

void WindowsTextEncoder::convert(std::string_view piece, std::string& out)
{
    // Whole characters only: the start of a character split between pieces waits for the next.
    std::string joined;
    if (!m_partial.empty()) {
        joined = m_partial + std::string(piece);
        piece = joined;
    }
    std::size_t whole = piece.size();
    for (std::size_t back = 1; back <= 3 && back <= piece.size(); ++back) {
        const auto byte = static_cast<unsigned char>(piece[piece.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        if (sequenceLength(byte) > back)
            whole = piece.size() - back;
        break;
    }
    m_partial.assign(piece.substr(whole));

    // Line ends of every kind become the editor's line break, and the editor's own save gives the bytes.
    m_characters.clear();
    std::optional<char32_t> beyond; // a character no 16-bit editor character holds, let alone windows-1252
    const bool wellFormed = forEachCharacter(piece.substr(0, whole), [&](char32_t character) {
        if (beyond)
            return;
        if (character == '\n' && m_afterCr) {
            m_afterCr = false;
            return;
        }
        m_afterCr = character == '\r';
        if (character == '\r' || character == '\n')
            m_characters += kParagraphSeparator;
        else if (character > 0xFFFF)
            beyond = character;
        else
            m_characters += static_cast<char16_t>(character);
    });
    const auto linesBefore = [this](std::size_t index) {
        return static_cast<std::uint64_t>(std::count(
            m_characters.begin(), m_characters.begin() + static_cast<std::ptrdiff_t>(index), kParagraphSeparator));
    };
    const auto refuseCharacter = [this](char32_t character) {
        refuse("holds a character that cannot be saved: " + characterCode(character));
    };
    std::string bytes;
    if (const std::optional<std::size_t> failure = qb::encodeEditorText(m_characters, bytes)) {
        m_line += linesBefore(*failure);
        refuseCharacter(m_characters[*failure]);
    }
    m_line += linesBefore(m_characters.size());
    if (beyond)
        refuseCharacter(*beyond);
    if (!wellFormed)
        refuse("is not UTF-8 text");
    out += bytes;
}

void WindowsTextEncoder::finish()
{
    if (!m_partial.empty())
        refuse("is not UTF-8 text");
}

void Utf8TextDecoder::convert(std::string_view piece, std::string& out)
{
    for (const char c : piece) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\n' && m_afterCr) {
            m_afterCr = false;
            continue;
        }
        m_afterCr = byte == '\r';
        if (byte == '\r' || byte == '\n') {
            out += '\n';
            continue;
        }
        appendUtf8(qb::cp1252ToUnicode(byte), out);
    }
}

std::string characterCode(char32_t character)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(character));
    return code;
}

std::optional<char32_t> characterWindowsLacks(std::string_view utf8)
{
    std::optional<char32_t> lacking;
    const bool wellFormed = forEachCharacter(utf8, [&](char32_t character) {
        if (!lacking && (character > 0xFFFF || qb::unicodeToCp1252(static_cast<char16_t>(character)) < 0))
            lacking = character;
    });
    return wellFormed ? lacking : std::nullopt;
}

bool isUtf8(std::string_view text)
{
    return forEachCharacter(text, [](char32_t) {});
}

std::optional<std::string> windowsSpelling(std::string_view utf8)
{
    std::u16string characters;
    bool representable = true;
    if (!forEachCharacter(utf8,
                          [&](char32_t character) {
                              representable = representable && character <= 0xFFFF;
                              characters += static_cast<char16_t>(character);
                          }) ||
        !representable)
        return std::nullopt;
    std::string bytes;
    if (qb::encodeCp1252(characters, bytes))
        return std::nullopt;
    return bytes;
}

} // namespace qbcli
