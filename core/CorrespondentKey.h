#pragma once

#include "CipherKey.h"
#include "SecretBytes.h"
#include "Session.h"
#include "TextFile.h"

#include <cstdint>
#include <string>

namespace qb {

// What Encrypt and Decrypt say when no key can be named or opened.
extern const char* const kSelectRecipientWarning;

// A correspondent's key file (DIR/NAME/NAME.key, text mode), opened once for a command and held, so no one else
// writes it, until finish.
class CorrespondentKey
{
public:
    // Opens NAME's key. One reached through a symbolic link raises "File access denied": it is there, only never
    // used. Any other failure leaves the key closed, for the caller to say kSelectRecipientWarning.
    CorrespondentKey(Session& session, const std::string& name);

    bool isOpen() const { return m_file.isOpen(); }
    // One pass over the key up to its end of data, at most `limit` bytes (more than a message's length would never be
    // used); checked.
    SecretBytes readPass(std::uint64_t limit);
    // The key as the cipher repeats it, read from this file as a message of at most `mostBytes` bytes needs it; the
    // key stays open while it is used.
    RepeatingKey repeating(std::uint64_t mostBytes) { return RepeatingKey(m_file, mostBytes); }
    // Closes the key; checked.
    void finish() { closeChecked(m_file); }

private:
    TextFile m_file;
};

} // namespace qb
