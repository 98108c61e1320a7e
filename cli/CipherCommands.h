#pragma once

#include "Session.h"

#include <string>

namespace qbcli {

struct CipherRequest
{
    std::string recipient; // decrypt: may be empty, the Key line of the mail text naming it
    std::string input;     // empty or "-": standard input
    std::string output;    // empty or "-": standard output
    bool armor = false;    // encrypt: write mail text; decrypt: take only mail text
    bool text = false;     // UTF-8 text outside, the window's windows-1252 with CR LF inside
};

// The window's Encrypt on a stream: the bytes combined with the recipient's key, as they are or as mail text.
void encryptStream(qb::Session& session, const CipherRequest& request);
// The window's Decrypt on a stream: raw bytes, or the block of mail text the input holds, combined with the key.
// Damaged mail text, or mail text whose key is not the named one or not at hand, is refused with nothing written.
void decryptStream(qb::Session& session, const CipherRequest& request);

} // namespace qbcli
