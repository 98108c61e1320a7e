#include "CorrespondentFiles.h"

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
#include <vector>

namespace qb {

bool CorrespondentFiles::usersFileReady() const
{
    removeOthersAccess(m_session.io, m_session.usersFilePath());
    return listReady(m_session.io, m_session.usersFilePath(), Probe::Append);
}

void CorrespondentFiles::createUsersFile() const
{
    createEmptyList(m_session.io, m_session.usersFilePath());
}

int CorrespondentFiles::readNames(const std::function<void(const std::string&)>& onName,
                                  const std::function<void()>& onTooLong) const
{
    // No folder name is longer, so no longer line is a name.
    constexpr std::size_t kLongestName = 255;
    // The list an older version left readable by others becomes its owner's the first time it is used.
    removeOthersAccess(m_session.io, m_session.usersFilePath());
    return readListFile(m_session.io, m_session.usersFilePath(), onName, kLongestName, onTooLong);
}

void CorrespondentFiles::makeFolder(const CorrespondentPaths& correspondent) const
{
    createDirectory(m_session.io, correspondent.folder());
    // A folder and key an older version left readable by others become private before a key is written or kept.
    removeOthersAccess(m_session.io, correspondent.folder());
    removeOthersAccess(m_session.io, correspondent.keyFile());
}

bool CorrespondentFiles::hasKey(const CorrespondentPaths& correspondent) const
{
    return fileExists(m_session.io, correspondent.keyFile());
}

bool CorrespondentFiles::writeGeneratedKey(const CorrespondentPaths& correspondent, bool replacing) const
{
    IoContext& io = m_session.io;
    TextFile file(io, TextFile::Reading::Text, kTextBufferSize, TextFile::Contents::Key);
    file.assign(correspondent.keyFile());
    if (replacing)
        file.rewrite();
    else
        file.rewriteAsNew();
    io.check();
    const SecretBytes key = generateKey();
    file.writeBytes(key.data(), key.size());
    io.check();
    return closeUnlessTaken(file);
}

CipherSetting CorrespondentFiles::cipherOf(const CorrespondentPaths& correspondent) const
{
    IoContext& io = m_session.io;
    TextFile file(io, TextFile::Reading::PlainBytes);
    file.assign(correspondent.cipherFile());
    file.reset();
    const int code = io.ioResult();
    if (code == IoCode::FileNotFound || code == IoCode::PathNotFound)
        return {Cipher::Classic, false};
    std::string content(16, '\0');
    content.resize(code == 0 ? file.readBytes(reinterpret_cast<unsigned char*>(content.data()), content.size()) : 0);
    const bool readWhole = code == 0 && io.ioResult() == 0;
    return {Cipher::Strong, !readWhole || (content != "strong\n" && content != "strong\r\n")};
}

void CorrespondentFiles::setCipher(const CorrespondentPaths& correspondent, Cipher cipher) const
{
    IoContext& io = m_session.io;
    const std::string& path = correspondent.cipherFile();
    if (cipher == Cipher::Strong) {
        TextFile file(io, TextFile::Reading::PlainBytes);
        rewriteChecked(file, path);
        file.writeString("strong\n");
        io.check();
        closeChecked(file);
        return;
    }
    FilePlace place;
    io.fail(io.locate(path, place));
    io.check();
    if (const int error = place.removeSibling(place.leaf()); error != 0 && error != ENOENT)
        throw EInOutError(ioCodeFromErrno(error, path));
}

FileIdentity CorrespondentFiles::list(const std::string& name) const
{
    return appendLineUnlessHeld(m_session.io, m_session.usersFilePath(), name);
}

std::optional<KeySummary> CorrespondentFiles::keySummary(const std::string& name) const
{
    CorrespondentKey key(m_session, name);
    if (!key.isOpen())
        return std::nullopt;
    KeySummary summary = key.summary();
    key.finish();
    return summary;
}

std::optional<std::string> CorrespondentFiles::keyFingerprint(const std::string& name) const
{
    std::optional<KeySummary> summary = keySummary(name);
    if (!summary)
        return std::nullopt;
    return std::move(summary->fingerprint);
}

std::optional<std::string> CorrespondentFiles::firstHolderOf(const std::string& fingerprint) const
{
    // The names first, so that the list is let go before any key is read: hashing a large key takes its time, and a
    // copy adding a name meanwhile should not wait for it.
    std::vector<std::string> names;
    // A list another copy holds is not an empty one.
    if (readNames([&](const std::string& name) { names.push_back(name); }) == IoCode::SharingViolation)
        throw EInOutError(IoCode::SharingViolation);
    std::optional<EKeyInUse> busy;
    for (const std::string& name : names) {
        // A name or a key that cannot be used holds no key; it does not end the search for the others. A key another
        // copy holds might be the one: that is said when no other is.
        try {
            requireFolderName(name);
            if (keyFingerprint(name) == fingerprint)
                return name;
        } catch (const EKeyInUse& error) {
            if (!busy)
                busy = error;
        } catch (const Error&) {
        }
    }
    if (busy)
        throw *busy;
    return std::nullopt;
}

std::string noKeyHolderText(const std::string& fingerprint)
{
    return "None of your correspondents holds the key this message was encrypted with (Key: " + fingerprint + ")";
}

std::string oddCipherFileText(const std::string& path)
{
    return path + " holds neither setting; strong encryption is used.";
}

const char* cipherWord(Cipher cipher)
{
    return cipher == Cipher::Strong ? "strong" : "classic";
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
    return m_io.ioResult() == 0;
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

std::optional<ImportedKey> KeyImport::copyAndFinish()
{
    m_key.assign(m_keyFile);
    m_key.rewriteAsNew();
    m_io.check();
    const std::uint64_t length = m_source.copyTo(m_key, std::numeric_limits<std::uint64_t>::max());
    m_io.check();
    const bool cut = static_cast<std::int64_t>(length) < m_source.sizeAtOpen() || m_source.atEndOfDataMark();
    const bool written = closeUnlessTaken(m_key);
    closeChecked(m_source);
    if (!written)
        return std::nullopt;
    return ImportedKey{length, cut};
}

} // namespace qb
