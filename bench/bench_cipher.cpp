// Encrypt and Decrypt on a large message, measured against a plain streaming exclusive-or of the same file, once
// left in the page cache and once flushed to disk as the commands' own output is.
// Usage: quillbox_bench [message MiB (64)] [runs (5)]

#include "Cp1252.h"
#include "EditorFile.h"
#include "EditorText.h"
#include "Errors.h"
#include "MailTextReader.h"
#include "MessageCipher.h"
#include "PlainPass.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "StoredFiles.h"
#include "TextFile.h"
#include "Ui.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <openssl/evp.h>
#include <random>
#include <sodium/utils.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifdef QUILLBOX_BENCH_LIBB64
extern "C" {
#include <b64/cdecode.h>
#include <b64/cencode.h>
}
#endif

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kKeySize = 1000;
constexpr std::size_t kBufferSize = 64 * 1024;
constexpr std::size_t kFlushedBufferSize = 1024 * 1024;

// Each measurement starts with no dirty pages, so write-back of an earlier one does not land in it.
double seconds(const std::function<void()>& work)
{
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Peak resident memory of a child running `work` (KiB), measured from a small parent.
long childPeakKiB(const std::function<void()>& work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            work();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child failed: %s\n", e.what());
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("memory measurement failed");
    return usage.ru_maxrss;
}

std::string makeMessage(std::size_t size)
{
    // Printable text in CR LF lines, as an editor would hold it.
    std::uint32_t state = 97;
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        text[i] = (i % 72 == 70) ? '\r' : (i % 72 == 71) ? '\n' : static_cast<char>(' ' + state % 95);
    }
    return text;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Row
{
    std::string what;
    double value;
    std::string unit;
    std::string ratio;
    std::string goal;
};

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// The ciphertext's way into and out of the editor and onto the clipboard, each against what it replaces or builds
// on: showing every byte against the line-break adjustment (file to editor characters and back), and the mail text
// against a plain base64 pass over the same bytes.
std::vector<Row> viewAndMailTextRows(qb::IoContext& io, const std::string& ciphertext, const std::string& dir, int runs)
{
    const std::string path = dir + "/view.bin";
    writeFile(path, ciphertext);
    std::vector<double> linesLoad, linesSave, viewLoad, viewSave, armor, base64;
    std::u16string shown;
    std::string bytes;
    for (int run = 0; run < runs; ++run) {
        qbtest::FakeEditor editor;
        linesLoad.push_back(seconds([&] {
            qb::loadEditorFromFile(io, editor, path);
            shown = qb::decodeCp1252(editor.text());
        }));
        linesSave.push_back(seconds([&] {
            qb::encodeEditorText(shown, bytes);
            qb::saveBytesAsEditorFile(io, bytes, path);
        }));
        writeFile(path, ciphertext);
        editor.clear();
        viewLoad.push_back(seconds([&] {
            qb::showEditorBytes(editor, readFile(path));
            editor.readText([&](std::string_view text) {
                shown.resize(text.size());
                shown.resize(qb::decodeAllBytesView(text, shown.data()));
            });
        }));
        viewSave.push_back(seconds([&] {
            qb::encodeEditorText(shown, bytes);
            qb::saveBytesAsEditorFile(io, bytes, path);
        }));
        if (run == 0 && readFile(path) != ciphertext)
            throw std::runtime_error("the all-bytes view did not give the ciphertext back");

        std::string text;
        armor.push_back(seconds([&] { text = qb::armorMailText(ciphertext); }));
        // A new string for the text, as the mail text is one.
        base64.push_back(seconds([&] {
            std::string plain(ciphertext.size() / 3 * 4 + 5, '\0');
            EVP_EncodeBlock(reinterpret_cast<unsigned char*>(plain.data()),
                            reinterpret_cast<const unsigned char*>(ciphertext.data()),
                            static_cast<int>(ciphertext.size()));
        }));
        if (run == 0 && qb::readMailText(text)->bytes != ciphertext)
            throw std::runtime_error("the mail text did not give the ciphertext back");
    }
    const double lines = median(linesLoad) + median(linesSave);
    const double view = median(viewLoad) + median(viewSave);
    const double viewRatio = view / lines;
    const double armorRatio = median(armor) / median(base64);
    auto goal = [](double value, double limit) {
        return format("<= %.1f x: ", limit) + (value <= limit ? "met" : "MISSED");
    };
    return {
        {"editor load+save, lines (reference)", lines * 1000, "ms", "1.00 x", ""},
        {"editor load+save, every byte shown", view * 1000, "ms", format("%.2f x", viewRatio), goal(viewRatio, 1.2)},
        {"plain base64 pass, OpenSSL (reference)", median(base64) * 1000, "ms", "1.00 x", ""},
        {"mail text (armorMailText)", median(armor) * 1000, "ms", format("%.2f x", armorRatio), goal(armorRatio, 1.5)},
    };
}

// The base64 codecs a mail text could be built on, each encoding the same bytes whole and decoding its own text:
// OpenSSL's, which the mail text uses; libsodium's constant-time one, which it used before; libb64, where installed
// (it breaks its lines every 72 characters, so its text is longer).
std::vector<Row> codecRows(const std::string& bytes, int runs)
{
    struct Codec
    {
        const char* name;
        std::function<std::size_t(const std::string&, std::string&)> encode; // returns the text's length
        std::function<void(const std::string&, std::string&)> decode;
    };
    const auto in = [](const std::string& text) { return reinterpret_cast<const unsigned char*>(text.data()); };
    const auto out = [](std::string& text) { return reinterpret_cast<unsigned char*>(text.data()); };
    const int variant = sodium_base64_VARIANT_ORIGINAL;
    std::vector<Codec> codecs = {
        {"OpenSSL EVP_EncodeBlock/DecodeBlock",
         [&](const std::string& from, std::string& to) {
             return static_cast<std::size_t>(EVP_EncodeBlock(out(to), in(from), static_cast<int>(from.size())));
         },
         [&](const std::string& from, std::string& to) {
             EVP_DecodeBlock(out(to), in(from), static_cast<int>(from.size()));
         }},
        {"libsodium bin2base64/base642bin",
         [&](const std::string& from, std::string& to) {
             sodium_bin2base64(to.data(), to.size(), in(from), from.size(), variant);
             return sodium_base64_ENCODED_LEN(from.size(), variant) - 1;
         },
         [&](const std::string& from, std::string& to) {
             std::size_t length = 0;
             sodium_base642bin(out(to), to.size(), from.data(), from.size(), nullptr, &length, nullptr, variant);
         }},
#ifdef QUILLBOX_BENCH_LIBB64
        {"libb64 base64_encode/decode_block",
         [&](const std::string& from, std::string& to) {
             base64_encodestate state;
             base64_init_encodestate(&state);
             const int length = base64_encode_block(from.data(), static_cast<int>(from.size()), to.data(), &state);
             return static_cast<std::size_t>(length + base64_encode_blockend(to.data() + length, &state));
         },
         [&](const std::string& from, std::string& to) {
             base64_decodestate state;
             base64_init_decodestate(&state);
             base64_decode_block(from.data(), static_cast<int>(from.size()), to.data(), &state);
         }},
#endif
    };
    std::vector<Row> rows;
    double reference = 0;
    for (const Codec& codec : codecs) {
        std::vector<double> encoding, decoding;
        // Room for libb64's line breaks and the libraries' closing NULs.
        std::string text(bytes.size() / 3 * 4 + bytes.size() / 40 + 16, '\0');
        std::string back(bytes.size() + 16, '\0');
        for (int run = 0; run < runs; ++run) {
            std::size_t length = 0;
            encoding.push_back(seconds([&] { length = codec.encode(bytes, text); }));
            const std::string encoded = text.substr(0, length);
            decoding.push_back(seconds([&] { codec.decode(encoded, back); }));
            if (run == 0 && back.compare(0, bytes.size(), bytes) != 0)
                throw std::runtime_error(std::string(codec.name) + " did not give the bytes back");
        }
        const double both = median(encoding) + median(decoding);
        if (reference == 0)
            reference = both;
        rows.push_back({std::string(codec.name) + ", encode", median(encoding) * 1000, "ms", "", ""});
        rows.push_back({std::string(codec.name) + ", decode", median(decoding) * 1000, "ms",
                        format("%.2f x", both / reference), "(both, against OpenSSL's)"});
    }
    return rows;
}

struct Scaling
{
    struct Size
    {
        std::size_t mebibytes;
        double encryptMsPerMiB;
        double floorMsPerMiB; // the flushed exclusive-or pass over the same file, for comparison
    };
    std::vector<Size> sizes;
    double spread; // the largest Encrypt time per MiB over the smallest
};

// Encrypt of 1, 16, 64 and 256 MiB: the time per MiB should not depend on the size.
Scaling encryptScaling(qb::Session& session, const std::string& messagePath, const std::string& key,
                       const std::string& floorOut, int runs)
{
    Scaling scaling{{}, 0};
    for (const std::size_t mebibytes : {1, 16, 64, 256}) {
        const std::string text = makeMessage(mebibytes << 20);
        std::vector<double> times, floor;
        for (int run = 0; run < runs; ++run) {
            writeFile(messagePath, text);
            fs::remove(floorOut);
            floor.push_back(seconds([&] { qbbench::plainXor(messagePath, floorOut, key, kFlushedBufferSize, true); }));
            qbtest::ScriptedMainView view(/*recordProgress=*/false);
            view.pathField.setText(messagePath);
            view.editor.setText(text);
            qb::MessageCipher cipher(session, view);
            times.push_back(seconds([&] { cipher.Encrypt1Click(); }));
        }
        const double perMiB = 1000 / static_cast<double>(mebibytes);
        scaling.sizes.push_back({mebibytes, median(times) * perMiB, median(floor) * perMiB});
    }
    const auto [least, most] =
        std::minmax_element(scaling.sizes.begin(), scaling.sizes.end(),
                            [](const auto& a, const auto& b) { return a.encryptMsPerMiB < b.encryptMsPerMiB; });
    scaling.spread = most->encryptMsPerMiB / least->encryptMsPerMiB;
    return scaling;
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::size_t size = mebibytes << 20;

    char pattern[] = "/tmp/quillbox-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = pattern;
    fs::create_directories(root + "/bob");
    const std::string keyPath = root + "/bob/bob.key";
    const std::string messagePath = root + "/bob/newmail.txt";
    const std::string plainOut = root + "/plain.out";
    const std::string flushedOut = root + "/flushed.out";
    const std::string copyOut = root + "/copy.out";

    std::string key(kKeySize, '\0');
    std::mt19937 engine(1);
    for (char& c : key)
        c = static_cast<char>(engine() % 10);
    writeFile(keyPath, key);

    qb::Session session;
    session.currentdirectory = root;
    session.currentuser = "bob";

    int status = 0;
    std::string ratioLine;
    try {
        // Memory first, while this process is still small (a child starts with its parent's pages).
        writeFile(messagePath, makeMessage(size));
        auto decryptOnce = [&] {
            qbtest::ScriptedMainView view(/*recordProgress=*/false);
            view.pathField.setText(messagePath);
            // The file as File > Open shows it, so that Decrypt takes the file; the editor's own copy of the text is
            // left out of the measure, which is of the command's memory.
            view.editor.setText("x");
            session.shownMessage.showFile(view.editor, messagePath, qb::currentIdentity(session.io, messagePath));
            qb::MessageCipher(session, view).Decrypt1Click();
        };
        auto encryptOnce = [&] {
            qbtest::ScriptedMainView view(/*recordProgress=*/false);
            view.pathField.setText(messagePath);
            view.editor.setText(makeMessage(size));
            qb::MessageCipher(session, view).Encrypt1Click();
        };
        const long idleKiB = childPeakKiB([] {});
        const long encryptSetupKiB = childPeakKiB([&] { std::string text = makeMessage(size); });
        const long decryptKiB = childPeakKiB(decryptOnce) - idleKiB;
        const long encryptKiB = childPeakKiB(encryptOnce) - encryptSetupKiB;

        const std::string plaintext = makeMessage(size);
        writeFile(messagePath, plaintext);
        std::vector<double> plain, flushed, copy, encrypt, decrypt, save, load;
        std::int64_t progressCalls = 0;
        for (int run = 0; run < runs; ++run) {
            fs::remove(plainOut);
            plain.push_back(seconds([&] { qbbench::plainXor(messagePath, plainOut, key, kBufferSize, false); }));
            // A new file each time, as the commands write one; removing the last is not part of the pass.
            fs::remove(flushedOut);
            flushed.push_back(
                seconds([&] { qbbench::plainXor(messagePath, flushedOut, key, kFlushedBufferSize, true); }));
            copy.push_back(seconds([&] {
                if (std::system(("cp '" + messagePath + "' '" + copyOut + "'").c_str()) != 0)
                    throw std::runtime_error("cp failed");
            }));

            qbtest::ScriptedMainView view(/*recordProgress=*/false);
            qb::MessageCipher cipher(session, view);
            view.pathField.setText(messagePath);
            view.editor.setText(plaintext);
            encrypt.push_back(seconds([&] { cipher.Encrypt1Click(); }));
            progressCalls = view.progress.stepCalls();
            // Decrypt of the file Encrypt left, as the editor shows it.
            decrypt.push_back(seconds([&] { cipher.Decrypt1Click(); }));
            view.editor.clear();
            if (run == 0 && readFile(messagePath) != plaintext)
                throw std::runtime_error("Encrypt then Decrypt did not restore the message");
            qbtest::FakeEditor editor;
            editor.setText(plaintext);
            save.push_back(seconds([&] { qb::saveEditorPiecesAsFile(session.io, editor, copyOut); }));
            editor.clear();
            load.push_back(seconds([&] { qb::loadEditorFromFile(session.io, editor, copyOut); }));
        }

        const double base = median(plain);
        const double messageMiB = static_cast<double>(size) / (1 << 20);
        const double flushedBase = median(flushed);
        auto flushedRatio = [&](double value) { return format("%.2f x", value / flushedBase); };
        auto goal = [](double value, double limit) {
            return format("<= %.1f x: ", limit) + (value <= limit ? "met" : "MISSED");
        };
        const double encryptRatio = median(encrypt) / flushedBase;
        const double decryptRatio = median(decrypt) / flushedBase;
        const double decryptMemory = static_cast<double>(decryptKiB) / 1024 / messageMiB;
        const std::vector<Row> rows = {
            {"plain streaming XOR (64 KiB)", median(plain) * 1000, "ms", "1.00 x", "(unflushed; for reference)"},
            {"plain XOR + fdatasync (1 MiB)", flushedBase * 1000, "ms", "1.00 x",
             format("(the floor; %.2f x the unflushed pass)", flushedBase / base)},
            {"cp of the message file", median(copy) * 1000, "ms", flushedRatio(median(copy)), "(reference)"},
            {"Encrypt1Click", median(encrypt) * 1000, "ms", flushedRatio(median(encrypt)), goal(encryptRatio, 2.0)},
            {"Decrypt1Click", median(decrypt) * 1000, "ms", flushedRatio(median(decrypt)), goal(decryptRatio, 1.3)},
            {"editor save (saveEditorPiecesAsFile)", median(save) * 1000, "ms", flushedRatio(median(save)),
             "(part of Encrypt)"},
            {"editor load (loadEditorFromFile)", median(load) * 1000, "ms", flushedRatio(median(load)),
             "(File > Open's share)"},
            {"Decrypt peak memory", static_cast<double>(decryptKiB) / 1024, "MiB", format("%.2f x msg", decryptMemory),
             goal(decryptMemory, 1.1)},
            {"Encrypt peak memory", static_cast<double>(encryptKiB) / 1024, "MiB",
             format("%.2f x msg", static_cast<double>(encryptKiB) / 1024 / messageMiB), "(editor text not counted)"},
        };
        const Scaling scaling = encryptScaling(session, messagePath, key, flushedOut, runs);
        ratioLine = format("core ratios: encrypt=%.2f", encryptRatio) + format(" decrypt=%.2f", decryptRatio) +
                    format(" decrypt_memory=%.2f", decryptMemory) + format(" scaling=%.2f", scaling.spread);

        std::string ciphertext = plaintext;
        for (std::size_t i = 0; i < ciphertext.size(); ++i)
            ciphertext[i] = static_cast<char>(ciphertext[i] ^ key[i % key.size()]);
        const std::vector<Row> ciphertextRows = viewAndMailTextRows(session.io, ciphertext, root, runs);
        const std::vector<Row> codecs = codecRows(ciphertext, runs);

        std::printf("Message cipher: %zu MiB message, %zu-byte key (%zu key passes), median of %d runs, "
                    "%lld progress calls per command\n\n",
                    mebibytes, kKeySize, (size + kKeySize - 1) / kKeySize, runs, static_cast<long long>(progressCalls));
        std::printf("%-34s %10s %-4s %-12s %s\n", "measurement", "value", "", "ratio", "goal or note");
        for (const Row& row : rows)
            std::printf("%-34s %10.1f %-4s %-12s %s\n", row.what.c_str(), row.value, row.unit.c_str(),
                        row.ratio.c_str(), row.goal.c_str());
        std::printf("\nEncrypt1Click per MiB across sizes (median of %d; goal: flat within 20 %%)\n\n", runs);
        std::printf("%10s %16s %22s\n", "message", "Encrypt1Click", "flushed XOR pass");
        for (const Scaling::Size& row : scaling.sizes)
            std::printf("%6zu MiB %10.2f ms/MiB %16.2f ms/MiB\n", row.mebibytes, row.encryptMsPerMiB,
                        row.floorMsPerMiB);
        std::printf("largest over smallest: %.2f x (%s)\n", scaling.spread, scaling.spread <= 1.2 ? "met" : "MISSED");
        std::printf("\nCiphertext of the same size: into the editor and out, and as mail text\n\n");
        for (const Row& row : ciphertextRows)
            std::printf("%-36s %8.1f %-4s %-12s %s\n", row.what.c_str(), row.value, row.unit.c_str(), row.ratio.c_str(),
                        row.goal.c_str());
        std::printf("\nBase64 codecs on the same ciphertext, whole in memory\n\n");
        for (const Row& row : codecs)
            std::printf("%-44s %8.1f %-4s %-9s %s\n", row.what.c_str(), row.value, row.unit.c_str(), row.ratio.c_str(),
                        row.goal.c_str());
        std::printf("\n%s\n", ratioLine.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        status = 1;
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return status;
}
