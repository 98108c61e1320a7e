#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace qbcli {

// encrypt --text: UTF-8 text made into what the window's editor saves for the same text, windows-1252 bytes with
// CR LF line ends, a piece at a time. A character the code page lacks is refused, as the window refuses it.
class WindowsTextEncoder
{
public:
    // `shownName` names the input in refusals.
    explicit WindowsTextEncoder(std::string shownName) : m_shownName(std::move(shownName)) {}

    // Appends the bytes of `piece` to `out`; what a later piece completes (a split character, a CR) waits.
    void convert(std::string_view piece, std::string& out);
    // The text has ended: raises for a character it cut short.
    void finish();

private:
    [[noreturn]] void refuse(const std::string& why) const;

    std::string m_shownName;
    std::string m_partial; // the start of a character the next piece ends
    std::u16string m_characters;
    bool m_afterCr = false;
    std::uint64_t m_line = 1;
};

// decrypt --text: the window's windows-1252 text as UTF-8 with LF line ends (CR LF, and a lone CR, become LF).
class Utf8TextDecoder
{
public:
    void convert(std::string_view piece, std::string& out);

private:
    bool m_afterCr = false;
};

// The windows-1252 spelling of a name given on the command line in UTF-8, as the window stores it; none when the
// name is not UTF-8 or holds a character the code page lacks.
std::optional<std::string> windowsSpelling(std::string_view utf8);

// The first character of UTF-8 text that windows-1252 lacks, so the window could neither show nor type it; none when
// it holds every one, or when the text is not UTF-8.
std::optional<char32_t> characterWindowsLacks(std::string_view utf8);

// "U+2603": a character as refusals name it.
std::string characterCode(char32_t character);

// True for well-formed UTF-8.
bool isUtf8(std::string_view text);

// Appends the UTF-8 of `character` to `out`.
void appendUtf8(char32_t character, std::string& out);

} // namespace qbcli
