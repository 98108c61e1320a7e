#include "RecipientFiles.h"

#include "ListFiles.h"
#include "Recipients.h"
#include "StoredFiles.h"

namespace qb {

void RecipientFiles::requireUsableName(const std::string& name) const
{
    requireRecipientName(name);
    requireRecipientFiles(m_session, name);
}

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

bool RecipientFiles::readNames(const std::function<void(const std::string&)>& onName) const
{
    return readListFile(m_session.io, m_session.usersFilePath(), onName);
}

void RecipientFiles::makeFolder(const std::string& name) const
{
    createDirectory(m_session.io, m_session.recipientFolder(name));
    // A folder and key an older version left readable by others become private before a key is written or kept.
    removeOthersAccess(m_session.io, m_session.recipientFolder(name));
    removeOthersAccess(m_session.io, m_session.keyFilePath(name));
}

bool RecipientFiles::hasKey(const std::string& name) const
{
    return fileExists(m_session.io, m_session.keyFilePath(name));
}

void RecipientFiles::writeGeneratedKey(const std::string& name, KeyGenerator& keys) const
{
    IoContext& io = m_session.io;
    TextFile key(io);
    rewriteChecked(key, m_session.keyFilePath(name));
    for (const unsigned char value : keys.generate()) {
        key.writeByte(value);
        io.check();
    }
    closeChecked(key);
}

void RecipientFiles::list(const std::string& name) const
{
    appendRecord(m_session.io, m_session.usersFilePath(), {name});
}

KeyImport::KeyImport(Session& session, const std::string& name)
    : m_io(session.io), m_key(session.io), m_source(session.io)
{
    rewriteChecked(m_key, session.keyFilePath(name));
}

bool KeyImport::openSource(const std::string& path)
{
    m_source.assign(path);
    m_source.reset();
    m_sourceError = m_io.ioResult();
    return m_sourceError == 0;
}

void KeyImport::copyAndFinish()
{
    // The byte read is written before the end test, so an empty source gives the one-byte key 26.
    bool atEnd = false;
    do {
        const unsigned char byte = m_source.readByte();
        m_io.check();
        m_key.writeByte(byte);
        m_io.check();
        atEnd = m_source.eof();
        m_io.check();
    } while (!atEnd);
    closeChecked(m_key);
    closeChecked(m_source);
}

} // namespace qb
