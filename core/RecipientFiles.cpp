#include "RecipientFiles.h"

#include "CorrespondentKey.h"
#include "Errors.h"
#include "IoCodes.h"
#include "KeyFingerprint.h"
#include "KeyGenerator.h"
#include "ListFiles.h"
#include "SecretBytes.h"
#include "StoredFiles.h"

#include <limits>
#include <utility>

namespace qb {

bool RecipientFiles::usersFileReady() const
{
    if (appendProbe(m_session.io, m_session.usersFilePath()) == 0)
        return true;
    requireListMissing(m_session.io, m_session.usersFilePath());
    return false;
}

void RecipientFiles::createUsersFile() const
{
    createEmptyList(m_session.io, m_session.usersFilePath());
}

int RecipientFiles::readNames(const std::function<void(const std::string&)>& onName) const
{
    return readListFile(m_session.io, m_session.usersFilePath(), onName);
}

bool RecipientFiles::isListed(const std::string& name) const
{
    bool listed = false;
    readNames([&](const std::string& line) { listed = listed || line == name; });
    return listed;
}

void RecipientFiles::makeFolder(const CorrespondentPaths& correspondent) const
{
    createDirectory(m_session.io, correspondent.folder());
    // A folder and key an older version left readable by others become private before a key is written or kept.
    removeOthersAccess(m_session.io, correspondent.folder());
    removeOthersAccess(m_session.io, correspondent.keyFile());
}

bool RecipientFiles::hasKey(const CorrespondentPaths& correspondent) const
{
    return fileExists(m_session.io, correspondent.keyFile());
}

void RecipientFiles::writeGeneratedKey(const CorrespondentPaths& correspondent) const
{
    TextFile file(m_session.io, TextFile::Reading::Text, kTextBufferSize, TextFile::Contents::Key);
    rewriteChecked(file, correspondent.keyFile());
    const SecretBytes key = generateKey();
    file.writeBytes(key.data(), key.size());
    m_session.io.check();
    closeChecked(file);
}

void RecipientFiles::list(const std::string& name) const
{
    if (!isListed(name))
        appendRecord(m_session.io, m_session.usersFilePath(), {name});
}

std::optional<KeySummary> RecipientFiles::keySummary(const std::string& name) const
{
    CorrespondentKey key(m_session, name);
    if (!key.isOpen())
        return std::nullopt;
    KeySummary summary = summariseKey(key);
    key.finish();
    return summary;
}

std::optional<std::string> RecipientFiles::keyFingerprint(const std::string& name) const
{
    std::optional<KeySummary> summary = keySummary(name);
    if (!summary)
        return std::nullopt;
    return std::move(summary->fingerprint);
}

std::optional<std::string> RecipientFiles::firstHolderOf(const std::string& fingerprint) const
{
    std::optional<std::string> holder;
    readNames([&](const std::string& name) {
        if (holder)
            return;
        // A name or a key that cannot be used holds no key; it does not end the search for the others.
        try {
            requireFolderName(name);
            if (keyFingerprint(name) == fingerprint)
                holder = name;
        } catch (const Error&) {
        }
    });
    return holder;
}

std::string noKeyHolderText(const std::string& fingerprint)
{
    return "None of your correspondents holds the key this message was encrypted with (Key: " + fingerprint + ")";
}

std::string keyKeptText(const std::string& name, const std::string& source)
{
    return name + " already has a key. It was kept; " + source + " was not imported.";
}

std::string noUsableKeyText(const std::string& source)
{
    return source + " holds no usable key (a key ends at its first byte 26).";
}

std::string keptPartText(std::uint64_t length)
{
    return "Only the first " + std::to_string(length) + " bytes of the file are used as the key.";
}

KeyImport::KeyImport(IoContext& io, const CorrespondentPaths& correspondent)
    : m_io(io), m_keyFile(correspondent.keyFile()),
      m_key(io, TextFile::Reading::Text, kTextBufferSize, TextFile::Contents::Key),
      m_source(io, TextFile::Reading::Text, kTextBufferSize, TextFile::Contents::Key)
{
    // Refused before the user is asked for a file: a key there is never written through a link.
    if (reachedThroughLink(io, m_keyFile))
        throw EInOutError(ioCodeFromErrno(kRefusedLink, m_keyFile));
}

bool KeyImport::openSource(const std::string& path)
{
    m_source.assign(path);
    m_source.reset();
    m_sourceError = m_io.ioResult();
    return m_sourceError == 0;
}

void KeyImport::openSource(PosixFile&& file)
{
    m_source.readFrom(std::move(file));
    m_io.check();
}

bool KeyImport::sourceIsUsable()
{
    const bool atEnd = m_source.eof();
    m_io.check();
    return !atEnd;
}

ImportedKey KeyImport::copyAndFinish()
{
    rewriteChecked(m_key, m_keyFile);
    const std::uint64_t length = m_source.copyTo(m_key, std::numeric_limits<std::uint64_t>::max());
    m_io.check();
    const bool cut = static_cast<std::int64_t>(length) < m_source.sizeAtOpen() || m_source.atEndOfDataMark();
    closeChecked(m_key);
    closeChecked(m_source);
    return {length, cut};
}

} // namespace qb
