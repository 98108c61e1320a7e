// quillbox-cli encrypt of a large file into a file, against a plain streaming exclusive-or of the same file in the
// same run, and the program's peak memory at several sizes. Not a test: it prints its figures and goals.
// Usage: quillbox_cli_bench [MiB for the timing (256)] [runs (5)]
#include "PlainPass.h"

#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBufferSize = 1 << 20;
constexpr double kRatioGoal = 1.2;
constexpr double kMemoryGoalMiB = 16;
constexpr double kArmorGoal = 1.3;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Bytes from a fixed seed, the same on every run.
void writeMessage(const std::string& path, std::size_t size)
{
    std::vector<unsigned char> buffer(kBufferSize);
    std::uint32_t state = 12345;
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (std::size_t done = 0; done < size; done += buffer.size()) {
        for (unsigned char& byte : buffer) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<unsigned char>(state >> 24);
        }
        const std::size_t count = std::min(buffer.size(), size - done);
        if (::write(out, buffer.data(), count) != static_cast<ssize_t>(count))
            throw std::runtime_error("cannot write the message");
    }
    ::close(out);
}

struct ChildRun
{
    double seconds;
    double peakMiB;
};

// A program with `arguments` (looked for on the PATH), its standard output into `output` unless that is empty; waits
// for it and gives its time and its own peak resident memory.
ChildRun runProgram(const std::vector<std::string>& arguments, const std::string& output)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (!output.empty()) {
            const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out < 0 || ::dup2(out, STDOUT_FILENO) < 0)
                ::_exit(127);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(fs::path(arguments[0]).filename().string() + " failed");
    return {took.count(), static_cast<double>(usage.ru_maxrss) / 1024};
}

// quillbox-cli with `arguments`.
ChildRun runCli(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), QUILLBOX_CLI);
    return runProgram(arguments, "");
}

// Mail text as a mail program sends it quoted-printable after its lines were joined: base64 in 1000-character lines,
// each broken softly at 76 ("=" at a line's end), and "=" written "=3D". Read and written a line at a time, so that
// this process stays small: the children it starts begin with its pages.
void writeQuotedPrintable(const std::string& armored, const std::string& path)
{
    std::FILE* in = std::fopen(armored.c_str(), "rb");
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!in || !out)
        throw std::runtime_error("cannot write the quoted-printable mail text");
    const auto put = [&](const std::string& line) {
        std::size_t column = 0;
        for (const char c : line) {
            const char* piece = c == '=' ? "=3D" : nullptr;
            const std::size_t length = piece ? 3 : 1;
            if (column + length > 75) {
                std::fputs("=\n", out);
                column = 0;
            }
            piece ? (void)std::fputs(piece, out) : (void)std::fputc(c, out);
            column += length;
        }
        std::fputc('\n', out);
    };
    char buffer[256];
    bool inBody = false;
    std::string joined;
    while (std::fgets(buffer, sizeof buffer, in)) {
        std::string line(buffer);
        line.pop_back();
        if (inBody && !line.empty() && line[0] != '=') {
            joined += line;
            if (joined.size() >= 1000) {
                put(joined.substr(0, 1000));
                joined.erase(0, 1000);
            }
            continue;
        }
        if (!joined.empty())
            put(joined);
        joined.clear();
        // The body runs from the empty line after the header lines to the checksum line.
        inBody = line.empty() || (inBody && line[0] != '=');
        put(line);
    }
    std::fclose(in);
    std::fclose(out);
}

// The median of the ratios of runs taken in pairs, so that both sides of a pair meet the same machine.
double pairedRatio(const std::vector<double>& command, const std::vector<double>& floor)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < command.size(); ++i)
        ratios.push_back(command[i] / floor[i]);
    return median(ratios);
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t timedMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::string root = (fs::temp_directory_path() / "quillbox-cli-bench-XXXXXX").string();
    if (!::mkdtemp(root.data()))
        return 1;
    const std::string data = root + "/data";
    fs::create_directories(data + "/bob");
    std::string key(1000, '\0');
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<char>(i * 7 % 10); // generated keys are values 0 to 9
    // bob takes classic messages; sam, with the same key, strong ones (reading one turns strong on).
    fs::create_directories(data + "/sam");
    for (const char* name : {"bob", "sam"}) {
        std::FILE* keyFile = std::fopen((data + "/" + name + "/" + name + ".key").c_str(), "wb");
        std::fwrite(key.data(), 1, key.size(), keyFile);
        std::fclose(keyFile);
    }
    std::FILE* users = std::fopen((data + "/users.cfg").c_str(), "wb");
    std::fputs("bob\r\nbig\r\nsam\r\n", users);
    std::fclose(users);
    // A key of 2 GB that takes no room on disk: zero bytes, none of them the end-of-data mark.
    fs::create_directories(data + "/big");
    std::fclose(std::fopen((data + "/big/big.key").c_str(), "wb"));
    fs::resize_file(fs::path(data) / "big/big.key", std::uintmax_t(2) << 30);
    const std::string message = root + "/message";
    const std::string out = root + "/out";
    const auto encrypt = [&](bool armor) {
        std::vector<std::string> arguments{"--data", data, "encrypt", "-r", "bob", "-o", out, message};
        if (armor)
            arguments.push_back("--armor");
        return runCli(arguments);
    };

    std::printf("quillbox-cli encrypt -r bob -o OUT FILE, 1000-byte key, median of %d runs\n", runs);
    bool memoryMet = true;
    for (const std::size_t mib : {std::size_t(1), std::size_t(16), timedMiB}) {
        writeMessage(message, mib << 20);
        const ChildRun raw = encrypt(false);
        const ChildRun armored = encrypt(true);
        const ChildRun strong = runCli({"--data", data, "encrypt", "--strong", "-r", "sam", "-o", out, message});
        const ChildRun strongBack = runCli({"--data", data, "decrypt", "-r", "sam", "-o", message + ".back", out});
        std::printf("peak memory, %4zu MiB message: %.1f MiB raw, %.1f MiB --armor, %.1f MiB --strong, %.1f MiB strong "
                    "decrypt\n",
                    mib, raw.peakMiB, armored.peakMiB, strong.peakMiB, strongBack.peakMiB);
        memoryMet = memoryMet && raw.peakMiB < kMemoryGoalMiB && armored.peakMiB < kMemoryGoalMiB &&
                    strong.peakMiB < kMemoryGoalMiB && strongBack.peakMiB < kMemoryGoalMiB;
    }

    // Whatever the key's size the key is read a piece at a time, never more than the message needs.
    const std::string small = root + "/small";
    writeMessage(small, 15);
    for (const std::string& input : {small, message}) {
        const ChildRun run = runCli({"--data", data, "encrypt", "-r", "big", "-o", out, input});
        std::printf("peak memory, 2 GB key, %s message: %.1f MiB\n", input == small ? "15-byte" : "large", run.peakMiB);
        memoryMet = memoryMet && run.peakMiB < kMemoryGoalMiB;
    }

    // The inputs of the decrypt runs and of base64 -d, made once.
    const std::string armored = root + "/armored";
    const std::string ciphertext = root + "/ciphertext";
    const std::string base64Text = root + "/base64";
    runCli({"--data", data, "encrypt", "-r", "bob", "--armor", "-o", armored, message});
    runCli({"--data", data, "encrypt", "-r", "bob", "-o", ciphertext, message});
    runProgram({"base64", "-w", "64", message}, base64Text);

    // Both ways of reading a quoted-printable body are kept apart only until one of them fails, not to the end.
    const std::string quotedPrintable = root + "/quoted-printable";
    writeQuotedPrintable(armored, quotedPrintable);
    const ChildRun qp = runCli({"--data", data, "decrypt", "-r", "bob", "-o", out, quotedPrintable});
    std::printf("peak memory, decrypt of %zu MiB sent quoted-printable: %.1f MiB\n", timedMiB, qp.peakMiB);
    memoryMet = memoryMet && qp.peakMiB < kMemoryGoalMiB;
    fs::remove(quotedPrintable);

    std::vector<double> flushed;
    std::vector<double> unflushed;
    std::vector<double> command;
    std::vector<double> replacing;
    std::vector<double> armor, base64, armorDecrypt, base64Decode, rawDecrypt, decryptFloor;
    // Strong messages against age (X25519 and ChaCha20-Poly1305) doing the same into a file put on disk, when it is
    // installed: Debian's package age.
    const bool haveAge = std::system("command -v age >/dev/null && command -v age-keygen >/dev/null") == 0;
    const std::string ageIdentity = root + "/age-identity";
    const std::string strongText = root + "/strong";
    std::string ageRecipient;
    if (haveAge) {
        runProgram({"age-keygen", "-o", ageIdentity}, "/dev/null");
        const std::string recipientFile = root + "/age-recipient";
        runProgram({"age-keygen", "-y", ageIdentity}, recipientFile);
        std::FILE* in = std::fopen(recipientFile.c_str(), "r");
        char line[256] = {};
        if (!in || !std::fgets(line, sizeof line, in))
            throw std::runtime_error("age-keygen gave no recipient");
        std::fclose(in);
        ageRecipient = line;
        ageRecipient.erase(ageRecipient.find_last_not_of("\n") + 1);
        runCli({"--data", data, "encrypt", "--strong", "-r", "sam", "-o", strongText, message});
    }
    const std::string ageText = root + "/age";
    std::vector<double> strongEncrypt, ageEncrypt, strongDecrypt, ageDecrypt;
    for (int run = 0; run < runs; ++run) {
        const auto time = [](auto&& work) {
            // Each starts with nothing waiting to be written, so none pays for the write-back another left behind.
            ::sync();
            const auto start = std::chrono::steady_clock::now();
            work();
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        const std::string plain = root + "/plain";
        fs::remove(plain);
        flushed.push_back(time([&] { qbbench::plainXor(message, plain, key, kBufferSize, true); }));
        fs::remove(plain);
        unflushed.push_back(time([&] { qbbench::plainXor(message, plain, key, kBufferSize, false); }));
        // Like the plain pass, into a new file; then over the file that run left, which costs the file system the
        // freeing of the old one's blocks as well.
        fs::remove(out);
        command.push_back(time([&] { encrypt(false); }));
        replacing.push_back(time([&] { encrypt(false); }));

        // Mail text against base64 doing the same coding into a file that is then put on disk.
        const std::string coded = root + "/coded";
        const auto base64Into = [&](const std::vector<std::string>& arguments) {
            fs::remove(coded);
            return time([&] {
                runProgram(arguments, coded);
                runProgram({"sync", "-d", coded}, "/dev/null");
            });
        };
        fs::remove(out);
        armor.push_back(time([&] { encrypt(true); }));
        base64.push_back(base64Into({"base64", "-w", "64", message}));
        fs::remove(out);
        armorDecrypt.push_back(time([&] { runCli({"--data", data, "decrypt", "-r", "bob", "-o", out, armored}); }));
        base64Decode.push_back(base64Into({"base64", "-d", base64Text}));
        fs::remove(out);
        rawDecrypt.push_back(time([&] { runCli({"--data", data, "decrypt", "-r", "bob", "-o", out, ciphertext}); }));
        fs::remove(plain);
        decryptFloor.push_back(time([&] { qbbench::plainXor(ciphertext, plain, key, kBufferSize, true); }));
        if (haveAge) {
            // In turns, so that both sides of a pair meet the same machine.
            fs::remove(out);
            strongEncrypt.push_back(time([&] {
                runCli({"--data", data, "encrypt", "--strong", "-r", "sam", "-o", out, message});
            }));
            fs::remove(ageText);
            ageEncrypt.push_back(time([&] {
                runProgram({"age", "-r", ageRecipient, "-o", ageText, message}, "");
                runProgram({"sync", "-d", ageText}, "/dev/null");
            }));
            fs::remove(out);
            strongDecrypt.push_back(time([&] {
                runCli({"--data", data, "decrypt", "-r", "sam", "-o", out, strongText});
            }));
            fs::remove(plain);
            ageDecrypt.push_back(time([&] {
                runProgram({"age", "-d", "-i", ageIdentity, "-o", plain, ageText}, "");
                runProgram({"sync", "-d", plain}, "/dev/null");
            }));
        }
    }
    const double ratio = median(command) / median(flushed);
    std::printf("plain exclusive-or + fdatasync, %zu MiB: %.0f ms\n", timedMiB, median(flushed) * 1000);
    std::printf("plain exclusive-or, unflushed:      %.0f ms\n", median(unflushed) * 1000);
    std::printf("quillbox-cli encrypt -o (new OUT):  %.0f ms\n", median(command) * 1000);
    std::printf("quillbox-cli encrypt -o over an existing OUT: %.0f ms (%.2f x the flushed pass)\n",
                median(replacing) * 1000, median(replacing) / median(flushed));
    std::printf("ratio vs the flushed pass: %.2f x (goal at most %.1f x: %s); vs the unflushed pass: %.2f x\n", ratio,
                kRatioGoal, ratio <= kRatioGoal ? "met" : "missed", median(command) / median(unflushed));
    const double armorRatio = pairedRatio(armor, base64);
    const double armorDecryptRatio = pairedRatio(armorDecrypt, base64Decode);
    const double decryptRatio = pairedRatio(rawDecrypt, decryptFloor);
    const double encryptRatio = pairedRatio(command, flushed);
    std::printf("encrypt --armor -o: %.0f ms against base64 -w 64 and sync -d: %.0f ms (goal at most %.1f x: %s)\n",
                median(armor) * 1000, median(base64) * 1000, kArmorGoal, armorRatio <= kArmorGoal ? "met" : "missed");
    std::printf("decrypt of mail text -o: %.0f ms against base64 -d and sync -d: %.0f ms (goal at most %.1f x: %s)\n",
                median(armorDecrypt) * 1000, median(base64Decode) * 1000, kArmorGoal,
                armorDecryptRatio <= kArmorGoal ? "met" : "missed");
    std::printf("decrypt -o: %.0f ms against the flushed pass: %.0f ms (goal at most %.1f x: %s)\n",
                median(rawDecrypt) * 1000, median(decryptFloor) * 1000, kRatioGoal,
                decryptRatio <= kRatioGoal ? "met" : "missed");
    std::printf("peak memory under %.0f MiB at every size: %s\n", kMemoryGoalMiB, memoryMet ? "met" : "missed");
    std::string strongRatios;
    if (haveAge) {
        const double strongEncryptRatio = pairedRatio(strongEncrypt, ageEncrypt);
        const double strongDecryptRatio = pairedRatio(strongDecrypt, ageDecrypt);
        std::printf("encrypt --strong -o: %.0f ms against age and sync -d: %.0f ms (goal at most 1.0 x: %s)\n",
                    median(strongEncrypt) * 1000, median(ageEncrypt) * 1000,
                    strongEncryptRatio <= 1.0 ? "met" : "missed");
        std::printf("decrypt of a strong message -o: %.0f ms against age -d and sync -d: %.0f ms (goal at most 1.0 x: "
                    "%s)\n",
                    median(strongDecrypt) * 1000, median(ageDecrypt) * 1000,
                    strongDecryptRatio <= 1.0 ? "met" : "missed");
        strongRatios = " cli_strong_encrypt=" + std::to_string(strongEncryptRatio).substr(0, 4) +
                       " cli_strong_decrypt=" + std::to_string(strongDecryptRatio).substr(0, 4);
    } else {
        std::printf("strong messages against age: not measured; install Debian's package age\n");
    }
    // Each the median of the ratios of paired runs.
    std::printf("cli ratios: cli_encrypt=%.2f cli_armor=%.2f cli_armor_decrypt=%.2f cli_decrypt=%.2f%s\n", encryptRatio,
                armorRatio, armorDecryptRatio, decryptRatio, strongRatios.c_str());
    fs::remove_all(root);
    return 0;
}
