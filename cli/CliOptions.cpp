#include "CliOptions.h"

#include "CliCommand.h"
#include "CliErrors.h"
#include "ProductInfo.h"
#include "TerminalText.h"

#include <getopt.h>

#include <algorithm>

namespace qbcli {

const char* const kProgramName = "quillbox-cli";

namespace {

// One option: how it is spelled, what it sets, and its lines of the usage text.
struct OptionRule
{
    // Its short option's letter, or for a long option alone a value above any letter.
    int letter;
    const char* longName;
    bool takesArgument;
    // Its CommandOption bit; 0 for an option any command takes.
    unsigned bit;
    // How it is named when a command does not take it.
    const char* refusedAs;
    const char* usage;
    std::vector<const char*> description;
    void (*apply)(CliOptions& options, const char* argument);
};

// Long options without a letter of their own.
constexpr int kStrongLetter = 256;
constexpr int kClassicLetter = 257;
constexpr int kNewKeyLetter = 258;

// In the order the usage text shows them.
const std::vector<OptionRule>& optionRules()
{
    static const std::vector<OptionRule> rules = {
        {'r',
         "recipient",
         true,
         kRecipientOption,
         "-r",
         "-r, --recipient=NAME",
         {"the correspondent whose key is used"},
         [](CliOptions& options, const char* name) { options.correspondent = name; }},
        {'a',
         "armor",
         false,
         kArmorOption,
         "--armor",
         "-a, --armor",
         {"encrypt: write mail text (base64 lines with a checksum and a Key line)",
          "instead of raw bytes; decrypt: take only mail text"},
         [](CliOptions& options, const char*) { options.armor = true; }},
        {'t',
         "text",
         false,
         kTextOption,
         "--text",
         "-t, --text",
         {"the message is UTF-8 text: encrypt the windows-1252 bytes with CR LF",
          "line ends the window saves for it; decrypt to UTF-8 with LF line ends"},
         [](CliOptions& options, const char*) { options.text = true; }},
        {'f',
         "force",
         false,
         kForceOption,
         "--force",
         "-f, --force",
         {"add: replace the key NAME has"},
         [](CliOptions& options, const char*) { options.force = true; }},
        {'l',
         "long",
         false,
         kLongOption,
         "--long",
         "-l, --long",
         {"recipients: show each key's fingerprint, length and cipher"},
         [](CliOptions& options, const char*) { options.longListing = true; }},
        {kStrongLetter,
         "strong",
         false,
         kStrongOption,
         "--strong",
         "    --strong",
         {"encrypt: a strong message (authenticated, unreadable without the key)", "whatever NAME's setting"},
         [](CliOptions& options, const char*) { options.strong = true; }},
        {kClassicLetter,
         "classic",
         false,
         kClassicOption,
         "--classic",
         "    --classic",
         {"encrypt: the classic cipher (refused while NAME is set to strong);",
          "decrypt: take classic input though NAME is set to strong"},
         [](CliOptions& options, const char*) { options.classic = true; }},
        {kNewKeyLetter,
         "new-key",
         false,
         kNewKeyOption,
         "--new-key",
         "    --new-key",
         {"cipher NAME strong: give NAME a new key first"},
         [](CliOptions& options, const char*) { options.newKey = true; }},
        {'o',
         "output",
         true,
         kOutputOption,
         "-o",
         "-o, --output=OUT",
         {"write to OUT instead of standard output; OUT is replaced only once the", "result is complete"},
         [](CliOptions& options, const char* path) { options.output = path; }},
        {'d',
         "data",
         true,
         0,
         nullptr,
         "-d, --data=DIR",
         {"the data directory (default: $QUILLBOX_DATA, else ~/Quillbox)"},
         [](CliOptions& options, const char* path) { options.dataDirectory = path; }},
        {'h',
         "help",
         false,
         0,
         nullptr,
         "-h, --help",
         {"show this help and exit"},
         [](CliOptions& options, const char*) { options.help = true; }},
        {'V',
         "version",
         false,
         0,
         nullptr,
         "-V, --version",
         {"show the version and exit"},
         [](CliOptions& options, const char*) { options.version = true; }},
    };
    return rules;
}

const OptionRule* ruleFor(int letter)
{
    for (const OptionRule& rule : optionRules()) {
        if (rule.letter == letter)
            return &rule;
    }
    return nullptr;
}

// getopt_long's short and long spellings of the options, made once from the rules.
struct GetoptSpelling
{
    std::string shortOptions = ":"; // a leading colon: a missing argument is told apart from an unknown option
    std::vector<option> longOptions;

    GetoptSpelling()
    {
        for (const OptionRule& rule : optionRules()) {
            if (rule.letter < kStrongLetter) {
                shortOptions += static_cast<char>(rule.letter);
                if (rule.takesArgument)
                    shortOptions += ':';
            }
            longOptions.push_back(
                {rule.longName, rule.takesArgument ? required_argument : no_argument, nullptr, rule.letter});
        }
        longOptions.push_back({nullptr, 0, nullptr, 0});
    }
};

// The option a missing argument belongs to: a long one as written, a short one as its letter (the word may be a
// cluster such as -ao).
std::string spelledOption(const std::string& word)
{
    if (word.rfind("--", 0) == 0)
        return word.substr(0, word.find('='));
    return std::string("-") + static_cast<char>(optopt);
}

// Refuses the first option given that the command does not take, in the order of their bits.
void requireTakenOptions(const CliCommand& command, unsigned given)
{
    std::vector<const OptionRule*> byBit;
    for (const OptionRule& rule : optionRules()) {
        if (rule.bit != 0)
            byBit.push_back(&rule);
    }
    std::sort(byBit.begin(), byBit.end(), [](const OptionRule* a, const OptionRule* b) { return a->bit < b->bit; });
    for (const OptionRule* rule : byBit) {
        if ((given & rule->bit) && !(command.options & rule->bit))
            throw UsageError(std::string(command.name) + " takes no " + rule->refusedAs);
    }
}

// "  HEAD" and the description beside it from the 25th column, or below it when HEAD reaches that far.
void appendEntry(const std::string& head, const std::vector<const char*>& description, std::string& text)
{
    constexpr std::size_t kDescriptionColumn = 24;
    std::string line = "  " + head;
    if (line.size() + 2 <= kDescriptionColumn)
        line.resize(kDescriptionColumn, ' ');
    else
        line += "\n" + std::string(kDescriptionColumn, ' ');
    for (std::size_t at = 0; at < description.size(); ++at) {
        if (at > 0)
            line += "\n" + std::string(kDescriptionColumn, ' ');
        line += description[at];
    }
    text += line + "\n";
}

} // namespace

CliOptions parseOptions(int argc, char* argv[])
{
    static const GetoptSpelling spelling;
    CliOptions options;
    unsigned given = 0;
    // Errors are reported here, in the program's own words; getopt's state starts afresh.
    opterr = 0;
    // 0, not 1: glibc then also forgets where it stood inside a cluster of short options of an earlier call.
    optind = 0;
    for (int letter; (letter = getopt_long(argc, argv, spelling.shortOptions.c_str(), spelling.longOptions.data(),
                                           nullptr)) != -1;) {
        if (letter == ':')
            throw UsageError(std::string("option '") + spelledOption(argv[optind - 1]) + "' requires an argument");
        const OptionRule* rule = ruleFor(letter);
        if (!rule) {
            // Inside a cluster such as -xa, optopt is the letter at fault; argv[optind - 1] would be another word.
            if (optopt != 0)
                throw UsageError("invalid option -- '" +
                                 withVisibleControls(std::string(1, static_cast<char>(optopt))) + "'");
            throw UsageError("unrecognized option '" + withVisibleControls(argv[optind - 1]) + "'");
        }
        // One message has one correspondent's key: a second -r would silently win.
        if (rule->bit == kRecipientOption && (given & kRecipientOption))
            throw UsageError("-r NAME given more than once");
        rule->apply(options, optarg);
        given |= rule->bit;
    }
    if (options.help || options.version)
        return options;
    if (optind >= argc)
        throw UsageError("no command given");
    const std::string name = argv[optind++];
    const CliCommand* command = findCommand(name);
    if (!command)
        throw UsageError("unknown command '" + withVisibleControls(name) + "'");
    options.command = command;
    options.operands.assign(argv + optind, argv + argc);
    const std::size_t count = options.operands.size();
    if (count < command->leastOperands)
        throw UsageError(name + ": missing operand");
    if (count > command->mostOperands)
        throw UsageError(name + ": extra operand '" + withVisibleControls(options.operands[command->mostOperands]) +
                         "'");
    requireTakenOptions(*command, given);
    if (command->check)
        command->check(options);
    return options;
}

std::string helpText()
{
    std::string text = std::string("Usage: ") + kProgramName + " [--data DIR] COMMAND [ARGUMENTS]\n" +
                       "Encrypts and decrypts the text of e-mail messages with a correspondent's key file, as " +
                       qb::kApplicationTitle +
                       " does,\n"
                       "for scripts and terminal mail programs.\n"
                       "\n"
                       "Commands:\n";
    for (const CliCommand* command : commandTable())
        appendEntry(command->synopsis, command->description, text);
    text += "\nOptions:\n";
    for (const OptionRule& rule : optionRules())
        appendEntry(rule.usage, rule.description, text);
    return text + "\n"
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
