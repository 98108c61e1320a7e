#include "CliOptions.h"

#include "CliErrors.h"
#include "ProductInfo.h"
#include "TerminalText.h"

#include <getopt.h>

#include <map>
#include <utility>

namespace qbcli {

const char* const kProgramName = "quillbox-cli";

namespace {

using Command = CliOptions::Command;

// The options a command may take, as bits.
enum CommandOption : unsigned {
    kRecipientOption = 1,
    kOutputOption = 2,
    kArmorOption = 4,
    kForceOption = 8,
    kLongOption = 16,
    kTextOption = 32,
};
constexpr unsigned kCipherOptions = kRecipientOption | kOutputOption | kArmorOption | kTextOption;

struct CommandRule
{
    Command command;
    std::size_t leastOperands;
    std::size_t mostOperands;
    unsigned options;
};

const std::map<std::string, CommandRule>& commandRules()
{
    static const std::map<std::string, CommandRule> rules = {
        {"encrypt", {Command::Encrypt, 0, 1, kCipherOptions}},
        {"decrypt", {Command::Decrypt, 0, 1, kCipherOptions}},
        {"recipients", {Command::Recipients, 0, 0, kLongOption}},
        {"add", {Command::Add, 1, 1, kForceOption}},
        {"import", {Command::Import, 2, 2, 0}},
        {"export", {Command::Export, 1, 1, kOutputOption}},
        {"fingerprint", {Command::Fingerprint, 1, 1, 0}},
        {"programs", {Command::Programs, 0, 0, 0}},
    };
    return rules;
}

// How each option is named when a command does not take it.
const std::pair<unsigned, const char*> kOptionNames[] = {
    {kRecipientOption, "-r"},  {kOutputOption, "-o"},   {kArmorOption, "--armor"},
    {kForceOption, "--force"}, {kLongOption, "--long"}, {kTextOption, "--text"},
};

const option kLongOptions[] = {
    {"recipient", required_argument, nullptr, 'r'},
    {"armor", no_argument, nullptr, 'a'},
    {"force", no_argument, nullptr, 'f'},
    {"long", no_argument, nullptr, 'l'},
    {"text", no_argument, nullptr, 't'},
    {"output", required_argument, nullptr, 'o'},
    {"data", required_argument, nullptr, 'd'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// The option a missing argument belongs to: a long one as written, a short one as its letter (the word may be a
// cluster such as -ao).
std::string spelledOption(const std::string& word)
{
    if (word.rfind("--", 0) == 0)
        return word.substr(0, word.find('='));
    return std::string("-") + static_cast<char>(optopt);
}

} // namespace

CliOptions parseOptions(int argc, char* argv[])
{
    CliOptions options;
    bool help = false;
    bool version = false;
    unsigned given = 0;
    // Errors are reported here, in the program's own words; getopt's state starts afresh.
    opterr = 0;
    // 0, not 1: glibc then also forgets where it stood inside a cluster of short options of an earlier call.
    optind = 0;
    for (int option; (option = getopt_long(argc, argv, ":r:aflto:d:hV", kLongOptions, nullptr)) != -1;) {
        switch (option) {
        case 'r':
            // One message has one correspondent's key: a second -r would silently win.
            if (given & kRecipientOption)
                throw UsageError("-r NAME given more than once");
            options.recipient = optarg;
            given |= kRecipientOption;
            break;
        case 't':
            options.text = true;
            given |= kTextOption;
            break;
        case 'a':
            options.armor = true;
            given |= kArmorOption;
            break;
        case 'f':
            options.force = true;
            given |= kForceOption;
            break;
        case 'l':
            options.longListing = true;
            given |= kLongOption;
            break;
        case 'o':
            options.output = optarg;
            given |= kOutputOption;
            break;
        case 'd':
            options.dataDirectory = optarg;
            break;
        case 'h':
            help = true;
            break;
        case 'V':
            version = true;
            break;
        case ':':
            throw UsageError(std::string("option '") + spelledOption(argv[optind - 1]) + "' requires an argument");
        default:
            // Inside a cluster such as -xa, optopt is the letter at fault; argv[optind - 1] would be another word.
            if (optopt != 0)
                throw UsageError("invalid option -- '" +
                                 withVisibleControls(std::string(1, static_cast<char>(optopt))) + "'");
            throw UsageError("unrecognized option '" + withVisibleControls(argv[optind - 1]) + "'");
        }
    }
    if (help || version) {
        options.command = help ? Command::Help : Command::Version;
        return options;
    }
    if (optind >= argc)
        throw UsageError("no command given");
    const std::string name = argv[optind++];
    const auto rule = commandRules().find(name);
    if (rule == commandRules().end())
        throw UsageError("unknown command '" + withVisibleControls(name) + "'");
    options.command = rule->second.command;
    options.operands.assign(argv + optind, argv + argc);
    const std::size_t count = options.operands.size();
    if (count < rule->second.leastOperands)
        throw UsageError(name + ": missing operand");
    if (count > rule->second.mostOperands)
        throw UsageError(name + ": extra operand '" + withVisibleControls(options.operands[rule->second.mostOperands]) +
                         "'");
    for (const auto& [bit, spelling] : kOptionNames) {
        if ((given & bit) && !(rule->second.options & bit))
            throw UsageError(name + " takes no " + spelling);
    }
    // Mail text names its key, so decrypt finds the correspondent itself.
    if (options.command == Command::Encrypt && options.recipient.empty())
        throw UsageError(name + ": -r NAME is required");
    return options;
}

std::string helpText()
{
    return std::string("Usage: ") + kProgramName + " [--data DIR] COMMAND [ARGUMENTS]\n" +
           "Encrypts and decrypts the text of e-mail messages with a correspondent's key file, as " +
           qb::kApplicationTitle +
           " does,\n"
           "for scripts and terminal mail programs.\n"
           "\n"
           "Commands:\n"
           "  encrypt -r NAME [--armor] [--text] [-o OUT] [FILE]\n"
           "                        combine FILE (or standard input) with NAME's key\n"
           "  decrypt [-r NAME] [--armor] [--text] [-o OUT] [FILE]\n"
           "                        the same backwards; FILE may hold raw bytes (with -r) or mail\n"
           "                        text, whose Key line names the key (without -r, the first listed\n"
           "                        correspondent that holds it)\n"
           "  recipients [--long]   list the correspondents, one a line, in the order registered; with\n"
           "                        --long: NAME, a tab, the key's fingerprint, a tab and the key's length\n"
           "                        (or NAME, a tab and \"(no key)\")\n"
           "  add [--force] NAME    register NAME with a newly generated 1000-byte key; a name that has a\n"
           "                        key is refused unless --force replaces it\n"
           "  import NAME KEYFILE   register NAME with a copy of the key in KEYFILE (up to its first byte\n"
           "                        26, where a key ends)\n"
           "  fingerprint NAME      show the fingerprint of NAME's key, to compare with NAME's\n"
           "  export NAME [-o OUT]  copy NAME's key file, to give NAME; standard output only when it is\n"
           "                        not a terminal\n"
           "  programs              list the mail programs: name, a tab, command line\n"
           "\n"
           "Options:\n"
           "  -r, --recipient=NAME  the correspondent whose key is used\n"
           "  -a, --armor           encrypt: write mail text (base64 lines with a checksum and a Key line)\n"
           "                        instead of raw bytes; decrypt: take only mail text\n"
           "  -t, --text            the message is UTF-8 text: encrypt the windows-1252 bytes with CR LF\n"
           "                        line ends the window saves for it; decrypt to UTF-8 with LF line ends\n"
           "  -f, --force           add: replace the key NAME has\n"
           "  -l, --long            recipients: show each key's fingerprint and length\n"
           "  -o, --output=OUT      write to OUT instead of standard output; OUT is replaced only once the\n"
           "                        result is complete\n"
           "  -d, --data=DIR        the data directory (default: $QUILLBOX_DATA, else ~/Quillbox)\n"
           "  -h, --help            show this help and exit\n"
           "  -V, --version         show the version and exit\n"
           "\n"
           "FILE may be any readable file (a pipe, a FIFO, a device, - for standard input); OUT a file,\n"
           "replaced only once complete, or standard output (-), a FIFO or a device. Exit status: 0 on\n"
           "success, 2 for a usage error, 1 for any other failure. See quillbox-cli(1).\n"
           "\n"
           "Example: in mutt, decrypt the mail text of the message shown by piping it to\n"
           "  | quillbox-cli decrypt --armor --text\n";
}

std::string versionText()
{
    return std::string(kProgramName) + " (" + qb::kApplicationTitle + ") " + QUILLBOX_VERSION + "\n";
}

} // namespace qbcli
