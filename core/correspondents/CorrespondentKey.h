#pragma once

#include "CipherKey.h"
#include "CorrespondentPaths.h"
#include "Errors.h"
#include "KeyFingerprint.h"
#include "SecretBytes.h"
#include "Session.h"
#include "StrongCipher.h"
#include "TextFile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qb {

// What Encrypt and Decrypt say when no key can be named or opened.
extern const char* const kSelectCorrespondentWarning;

// A key too short to make strong messages with: a strong message is only as safe as the key it comes from.
class EKeyTooShort : public Error
{
public:
    EKeyTooShort(const std::string& name, std::uint64_t length);
};

// A correspondent's key file (DIR/NAME/NAME.key), opened once for a command and held, so no one else writes it, until
// finish. Read in text mode, as the cipher uses it, unless asked for its plain bytes.
class CorrespondentKey
{
public:
    // Opens the correspondent's key. One reached through a symbolic link raises "File access denied": it is there,
    // only never used; one another running copy holds past the wait for locks raises "I/O error 32". Any other
    // failure leaves the key closed, for the caller to say kSelectCorrespondentWarning.
    CorrespondentKey(IoContext& io, const CorrespondentPaths& correspondent,
                     TextFile::Reading reading = TextFile::Reading::Text);
    CorrespondentKey(Session& session, const std::string& name)
        : CorrespondentKey(session.io, session.correspondent(name))
    {
    }

    bool isOpen() const { return m_file.isOpen(); }
    TextFile& file() { return m_file; }
    // One pass over the key up to its end of data, at most `limit` bytes (more than a message's length would never be
    // used); checked.
    SecretBytes readPass(std::uint64_t limit);
    // The key as the cipher repeats it, read from this file as a message of at most `mostBytes` bytes needs it; the
    // key stays open while it is used.
    RepeatingKey repeating(std::uint64_t mostBytes) { return RepeatingKey(m_file, mostBytes); }
    // The key's fingerprint, read a piece at a time from where it stands to its end of data, and the length of what
    // was read; checked.
    KeySummary summary();
    // The key strong messages to and from the correspondent are made with, derived from this key's usable bytes (read
    // from where it stands to its end of data); checked. Raises EKeyTooShort for fewer than kStrongLeastKeyBytes.
    StrongKey strongKey();
    // Closes the key; checked.
    void finish() { closeChecked(m_file); }

private:
    // Hands the key's usable bytes from where it stands to its end of data to `add`, a piece at a time; checked.
    void readUsableBytes(const std::function<void(std::string_view)>& add);

    std::string m_name;
    TextFile m_file;
};

} // namespace qb
