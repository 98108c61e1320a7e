#pragma once

#include "CipherKey.h"
#include "CorrespondentKey.h"
#include "Session.h"

#include <cstdint>
#include <string>

namespace qbcli {

// The key of a correspondent named on the command line, opened and held until finish: only a name listed in users.cfg
// has one ("unknown recipient NAME" otherwise), and a listed name whose key cannot be opened says why
// ("no key for NAME (PATH: reason)").
class ListedKey
{
public:
    ListedKey(qb::Session& session, const std::string& name);

    // The key for a message of at most `mostBytes` bytes, read as the message needs it.
    qb::RepeatingKey read(std::uint64_t mostBytes) { return m_file.repeating(mostBytes); }
    // The key strong messages are made with, read from the key's start; raises qb::EKeyTooShort for a short key.
    qb::StrongKey strongKey()
    {
        m_file.file().rewind();
        return m_file.strongKey();
    }
    void finish() { m_file.finish(); }

private:
    static const std::string& listedName(qb::Session& session, const std::string& name);

    qb::CorrespondentKey m_file;
};

// "NAME's key is in use by another Quillbox": another running copy held it past the wait for locks.
std::string keyInUseText(const std::string& name);

// "no key for NAME (PATH: reason)": why a listed correspondent's key cannot be used.
std::string noKeyText(qb::Session& session, const std::string& name);

// Raises "unknown recipient NAME" unless the name is listed in users.cfg, and "NAME: Invalid filename" for one that is
// not one folder name.
void requireListed(qb::Session& session, const std::string& name);

} // namespace qbcli
