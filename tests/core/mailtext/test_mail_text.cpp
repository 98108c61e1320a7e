#include "Errors.h"
#include "MailTextReader.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// The checksum one bit at a time, as the armor's definition gives it.
std::uint32_t crc24Bitwise(const std::string& bytes)
{
    std::uint32_t crc = 0xB704CE;
    for (const char byte : bytes) {
        crc ^= static_cast<std::uint32_t>(static_cast<unsigned char>(byte)) << 16;
        for (int bit = 0; bit < 8; ++bit) {
            crc <<= 1;
            if (crc & 0x1000000)
                crc ^= 0x1864CFB;
        }
    }
    return crc & 0xFFFFFF;
}

const std::string kSample("Hi\r\nthere\0\x1a\n", 12);
const std::string kSampleArmor = "-----BEGIN QUILLBOX 97 MESSAGE-----\n\nSGkNCnRoZXJlABoK\n=2nVo\n"
                                 "-----END QUILLBOX 97 MESSAGE-----\n";
const std::string kOneByteArmor =
    "-----BEGIN QUILLBOX 97 MESSAGE-----\n\nYQ==\n=8lcT\n-----END QUILLBOX 97 MESSAGE-----\n";
const std::string kKey = "4F2A 9C1B 77E0 D5A3";

// The bytes of the block in `text`, "no block", or the error's text.
std::string readWhole(const std::string& text)
{
    std::string result;
    const std::string error = qbtest::errorTextOf([&] {
        const std::optional<qb::MailTextBlock> block = qb::readMailText(text);
        result = block ? block->bytes : "no block";
    });
    return error.empty() ? result : error;
}

TEST(MailText, ArmorMatchesKnownAnswers)
{
    const struct
    {
        const char* name;
        std::string bytes;
        std::string armor;
        std::string key = {};
    } rows[] = {
        {"one byte", "a", kOneByteArmor},
        {"one byte, its key named", "a",
         "-----BEGIN QUILLBOX 97 MESSAGE-----\nKey: 4F2A 9C1B 77E0 D5A3\n\nYQ==\n=8lcT\n"
         "-----END QUILLBOX 97 MESSAGE-----\n",
         kKey},
        {"control bytes", kSample, kSampleArmor},
        {"49 bytes: a full line and one more byte",
         std::string("\0\x01\x02\x03\x04\x05\x06\x07\x08\t\n\x0b\x0c\r\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19"
                     "\x1a\x1b\x1c\x1d\x1e\x1f !\"#$%&'()*+,-./0",
                     49),
         "-----BEGIN QUILLBOX 97 MESSAGE-----\n\nAAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4v\n"
         "MA==\n=e65P\n-----END QUILLBOX 97 MESSAGE-----\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(qb::armorMailText(row.bytes, row.key), row.armor);
        EXPECT_EQ(qb::readMailText(row.armor)->bytes, row.bytes);
        EXPECT_EQ(qb::readMailText(row.armor)->keyFingerprint, row.key);
    }
}

TEST(MailText, ChecksumAgreesWithTheBitwiseDefinition)
{
    EXPECT_EQ(qb::crc24("123456789"), 0x21CF02u);
    for (const std::size_t size : {0, 1, 7, 8, 9, 63, 64, 65, 1000, 100003}) {
        const std::string bytes = qbtest::randomBytes(size, static_cast<unsigned>(size) + 1);
        EXPECT_EQ(qb::crc24(bytes), crc24Bitwise(bytes)) << size << " bytes";
    }
}

// Base64 a character at a time, as its definition gives it.
std::string plainBase64(const std::string& bytes)
{
    const char* const alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        std::uint32_t group = 0;
        for (std::size_t i = 0; i < 3; ++i)
            group = group << 8 | (at + i < bytes.size() ? static_cast<unsigned char>(bytes[at + i]) : 0u);
        for (std::size_t i = 0; i < 4; ++i)
            text += i <= bytes.size() - at ? alphabet[group >> (18 - 6 * i) & 63] : '=';
    }
    return text;
}

TEST(MailText, CodecAgreesWithAPlainBase64)
{
    for (const std::size_t size : {0, 1, 2, 3, 47, 48, 49, 48 * 1024 + 1, 200003}) {
        SCOPED_TRACE(size);
        const std::string bytes = qbtest::randomBytes(size, static_cast<unsigned>(size) + 5);
        const std::string encoded = plainBase64(bytes);
        std::string lines;
        for (std::size_t at = 0; at < encoded.size(); at += 64)
            lines += encoded.substr(at, 64) + "\n";
        const std::string armor = qb::armorMailText(bytes);
        const std::size_t body = armor.find("\n\n") + 2;
        EXPECT_TRUE(armor.substr(body, armor.rfind("\n=") + 1 - body) == lines);
        EXPECT_TRUE(qb::readMailText(armor)->bytes == bytes);
    }
}

// Line by line: each line of `text` passed through `change`.
std::string everyLine(const std::string& text, const std::string& prefix, const std::string& suffix)
{
    std::string out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out += prefix + text.substr(start, end - start) + suffix;
    return out;
}

// What a mail program sending quoted-printable makes of `text`: "=" escaped, lines longer than 76 broken softly.
std::string quotedPrintable(const std::string& text)
{
    std::string out;
    std::size_t column = 0;
    for (const char c : text) {
        const std::string piece = c == '=' ? "=3D" : std::string(1, c);
        if (c != '\n' && column + piece.size() > 75) {
            out += "=\n";
            column = 0;
        }
        out += piece;
        column = c == '\n' ? 0 : column + piece.size();
    }
    return out;
}

TEST(MailText, ReadsTheBlockWhateverTheMailProgramDidToIt)
{
    // More base64 than is decoded at once, so a way of reading it that fails does so before the end.
    const std::string bytes = qbtest::randomBytes(100000, 11);
    const std::string armor = qb::armorMailText(bytes);
    const std::string body = armor.substr(armor.find("\n\n") + 2);
    const auto rewrapped = [&](std::size_t width) {
        std::string text = "-----BEGIN QUILLBOX 97 MESSAGE-----\n";
        std::size_t column = 0;
        for (const char c : body.substr(0, body.find("-----END"))) {
            if (c == '\n')
                continue;
            text += c;
            if (++column % width == 0)
                text += '\n';
        }
        return text + "\n-----END QUILLBOX 97 MESSAGE-----\n";
    };

    const struct
    {
        const char* name;
        std::string text;
    } rows[] = {
        {"as written", armor},
        {"CR LF line ends", everyLine(armor, "", "\r\n")},
        {"CR line ends", everyLine(armor, "", "\r")},
        {"quoted once", everyLine(armor, "> ", "\n")},
        {"quoted twice, no blank", everyLine(armor, ">>", "\n")},
        {"trailing blanks", everyLine(armor, "", " \t \n")},
        {"blank lines between", everyLine(armor, "", "\n\n")},
        {"text around it", "Hello Bob,\nhere it is:\n\n" + armor + "\nRegards\n"},
        {"rewrapped at another width", rewrapped(23)},
        {"sent quoted-printable in lines longer than a mail's", quotedPrintable(rewrapped(1000))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(readWhole(row.text) == bytes) << "not the bytes armored";
    }
    EXPECT_EQ(readWhole("just a letter"), "no block");
    EXPECT_EQ(readWhole("see -----BEGIN QUILLBOX 97 MESSAGE----- in a sentence"), "no block");
}

// With its header lines, in a reply, or sent quoted-printable: the block, its key, or why it is refused.
const std::string kBegin = "-----BEGIN QUILLBOX 97 MESSAGE-----\n";
const std::string kEnd = "-----END QUILLBOX 97 MESSAGE-----\n";
const struct
{
    const char* name;
    std::string text;
    std::string result;
    std::string key;
} kReaderRows[] = {
    {"headers, Key last", kBegin + "Version: 2\nComment: hi: there\nKey: " + kKey + "\n\nYQ==\n=8lcT\n" + kEnd, "a",
     kKey},
    {"headers, Key first, quoted",
     everyLine(kBegin + "Key: " + kKey + "\nCharset: x\n\nYQ==\n=8lcT\n" + kEnd, "> ", "\n"), "a", kKey},
    {"an unknown header only", kBegin + "X-Mailer-Thing: 7\n\nYQ==\n=8lcT\n" + kEnd, "a", ""},
    {"a Key that is no fingerprint", kBegin + "Key: 4f2a 9c1b 77e0 d5a3\n\nYQ==\n=8lcT\n" + kEnd, "a", ""},
    {"a header inside the body", kBegin + "\nYQ==\nKey: " + kKey + "\n=8lcT\n" + kEnd,
     "The mail text is damaged (checksum mismatch).", ""},
    {"a reply above the quoted block", kSampleArmor + "\n" + everyLine(kOneByteArmor, "> ", "\n"), kSample, ""},
    {"a reply below the quoted block", everyLine(kOneByteArmor, ">", "\n") + "\n" + kSampleArmor, kSample, ""},
    {"two quoted blocks", everyLine(kOneByteArmor, "> ", "\n") + everyLine(kSampleArmor, " ", "\n"),
     "The mail text holds more than one message.", ""},
    {"two unquoted blocks under a quoted one", everyLine(kOneByteArmor, "> ", "\n") + kSampleArmor + kOneByteArmor,
     "The mail text holds more than one message.", ""},
    {"quoted-printable", kBegin + "\nSGkNCnRo=\nZXJlABoK\n=3D2nVo\n" + kEnd, kSample, ""},
    {"quoted-printable padding", kBegin + "\nYQ=3D=3D\n=3D8lcT\n" + kEnd, "a", ""},
    {"damaged quoted-printable", kBegin + "\nSGkNCnRo=\nZXJlABoL\n=3D2nVo\n" + kEnd,
     "The mail text is damaged (checksum mismatch).", ""},
};

TEST(MailText, ReadsHeadersRepliesAndQuotedPrintableBodies)
{
    for (const auto& row : kReaderRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(readWhole(row.text), row.result);
        if (row.result.rfind("The mail text", 0) != 0) {
            EXPECT_EQ(qb::readMailText(row.text)->keyFingerprint, row.key);
        }
    }
}

TEST(MailText, RefusesDamagedAndDoubledBlocks)
{
    std::string flipped = kSampleArmor;
    flipped[flipped.find("SGk")] = 'T';
    std::string badCharacter = kSampleArmor;
    badCharacter[badCharacter.find("SGk")] = '*';
    const std::string damaged = "The mail text is damaged (checksum mismatch).";
    const struct
    {
        const char* name;
        std::string text;
        std::string error;
    } rows[] = {
        {"a changed character", flipped, damaged},
        {"a character outside base64", badCharacter, damaged},
        {"no checksum", "-----BEGIN QUILLBOX 97 MESSAGE-----\n\nSGkNCnRoZXJlABoK\n-----END QUILLBOX 97 MESSAGE-----\n",
         damaged},
        {"cut before its end", kSampleArmor.substr(0, kSampleArmor.find("-----END")), damaged},
        {"two blocks", kSampleArmor + "\n" + kSampleArmor, "The mail text holds more than one message."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(qbtest::errorTextOf([&] { qb::readMailText(row.text); }), row.error);
    }
}

// What reading `text` in pieces of `size` gives: the block's bytes, "no block", or the error's text.
std::string readInPieces(const std::string& text, std::size_t size)
{
    qb::MailTextReader reader;
    std::string bytes;
    const std::string error = qbtest::errorTextOf([&] {
        for (std::size_t at = 0; at < text.size(); at += size)
            reader.read(std::string_view(text).substr(at, size), bytes);
        if (!reader.finish(bytes))
            bytes = "no block";
    });
    return error.empty() ? bytes : error;
}

TEST(MailText, ReadingInPiecesGivesWhatReadingAtOnceGives)
{
    const std::string large = qb::armorMailText(qbtest::randomBytes(20000, 21));
    std::string paddedInside = large;
    paddedInside.replace(paddedInside.find('\n', 9000) - 4, 4, "QQ==");
    std::string blankInside = large;
    blankInside[blankInside.find('\n', 5000) - 10] = ' ';
    std::string loneCarriageReturn = large;
    loneCarriageReturn.insert(loneCarriageReturn.find('\n', 7000) - 20, "\r");
    std::string outsideBase64 = large;
    outsideBase64[outsideBase64.find('\n', 11000) - 30] = '\0';
    const struct
    {
        const char* name;
        std::string text;
    } rows[] = {
        {"a long block", large},
        {"quoted with CR LF, text around", "Hi\r\n" + everyLine(large, "> > ", " \r\n") + "Bye"},
        {"one long base64 line", everyLine(large, "", "")},
        {"marker with trailing blanks", everyLine(kSampleArmor, "", " \t\n")},
        {"marker inside a sentence", "see -----BEGIN QUILLBOX 97 MESSAGE----- in a sentence"},
        {"no mail text", qbtest::randomBytes(5000, 22)},
        {"padding before the last group", paddedInside},
        {"a blank between base64 characters", blankInside},
        {"a lone CR inside a line", loneCarriageReturn},
        {"a byte outside base64 inside a line", outsideBase64},
        {"a marker line continued by text", std::string(kSampleArmor).insert(kSampleArmor.find("-----\n") + 5, "  x")},
        {"cut before its end", large.substr(0, large.size() / 2)},
        {"two blocks", kSampleArmor + large},
        {"empty body", "-----BEGIN QUILLBOX 97 MESSAGE-----\n=\n-----END QUILLBOX 97 MESSAGE-----\n"},
    };
    std::vector<std::pair<const char*, std::string>> texts;
    for (const auto& row : rows)
        texts.emplace_back(row.name, row.text);
    for (const auto& row : kReaderRows)
        texts.emplace_back(row.name, row.text);
    for (const auto& [name, text] : texts) {
        const std::string whole = readWhole(text);
        for (const std::size_t size : {1, 3, 64, 4099}) {
            SCOPED_TRACE(std::string(name) + ", pieces of " + std::to_string(size));
            EXPECT_TRUE(readInPieces(text, size) == whole) << "differs from reading at once: " << whole.size();
        }
    }
    EXPECT_EQ(readWhole(paddedInside), "The mail text is damaged (checksum mismatch).");
    EXPECT_EQ(readWhole(blankInside), "The mail text is damaged (checksum mismatch).");
    EXPECT_EQ(readWhole(outsideBase64), "The mail text is damaged (checksum mismatch).");
    EXPECT_EQ(readWhole(loneCarriageReturn), readWhole(large)) << "a lone CR ends a line";
}

TEST(MailText, WritingInPiecesGivesTheArmorOfTheWhole)
{
    const std::string bytes = qbtest::randomBytes(5000, 23);
    for (const std::size_t size : {1, 47, 48, 49, 4096}) {
        SCOPED_TRACE(size);
        std::string text;
        qb::MailTextWriter writer(text);
        for (std::size_t at = 0; at < bytes.size(); at += size)
            writer.write(std::string_view(bytes).substr(at, size), text);
        writer.finish(text);
        EXPECT_EQ(text, qb::armorMailText(bytes));
    }
}

} // namespace
