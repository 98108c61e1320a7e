#include "RecipientFiles.h"

#include "CorrespondentKey.h"
#include "Errors.h"
#include "KeyFingerprint.h"
#include "KeyGenerator.h"
#include "ListFiles.h"
#include "SecretBytes.h"
#include "StoredFiles.h"

#include <limits>

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
    TextFile file(m_session.io);
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

std::optional<std::string> RecipientFiles::keyFingerprint(const std::string& name) const
{
    CorrespondentKey key(m_session, name);
    if (!key.isOpen())
        return std::nullopt;
    std::string fingerprint = qb::keyFingerprint(key);
    key.finish();
    return fingerprint;
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
    return "None of your correspondents holds the key this message was encrypted with (Key: " + fingerprint + ").";
}

KeyImport::KeyImport(IoContext& io, const CorrespondentPaths& correspondent) : m_io(io), m_key(io), m_source(io)
{
    rewriteChecked(m_key, correspondent.keyFile());
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
    const std::uint64_t length = m_source.copyTo(m_key, std::numeric_limits<std::uint64_t>::max());
    m_io.check();
    const bool cut = static_cast<std::int64_t>(length) < m_source.sizeAtOpen() || m_source.atEndOfDataMark();
    closeChecked(m_key);
    closeChecked(m_source);
    return {length, cut};
}

} // namespace qb
