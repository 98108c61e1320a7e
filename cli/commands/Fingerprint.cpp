// quillbox-cli fingerprint: the fingerprint of a listed correspondent's key and a newline.
#include "CliCommand.h"
#include "CorrespondentFiles.h"
#include "Errors.h"
#include "ListedKey.h"
#include "OutputTarget.h"

#include <optional>

namespace qbcli {

namespace {

void showFingerprint(qb::Session& session, const CliOptions& options)
{
    const std::string& name = options.operands[0];
    requireListed(session, name);
    const std::optional<std::string> fingerprint = qb::CorrespondentFiles(session).keyFingerprint(name);
    if (!fingerprint)
        throw qb::Error(noKeyText(session, name));
    LinePrinter(session.io).print(*fingerprint);
}

} // namespace

const CliCommand kFingerprintCommand = {
    "fingerprint",
    1,
    1,
    0,
    CliCommand::Operand::Correspondent,
    "fingerprint NAME",
    {"show the fingerprint of NAME's key, to compare with NAME's"},
    nullptr,
    showFingerprint,
};

} // namespace qbcli
