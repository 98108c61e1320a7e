#pragma once

#include "FileIdentity.h"
#include "IoContext.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qb {

class Editor;

// What the editor shows, as far as the commands know it: the unchanged content of a message file, and whether that
// is the ciphertext Encrypt made (with the fingerprint of its key). It holds from the editor revision at which a
// command left the text until the text next changes, whoever changes it; and the file's part only while the file has
// the identity it had when it was read or written, so a file another program changed meanwhile is not taken for what
// the editor shows.
class ShownMessage
{
public:
    // The editor now shows the unchanged content of `path`, which had `identity` then (none: not known, so the file
    // never counts as shown).
    void showFile(const Editor& editor, const std::string& path, std::optional<FileIdentity> identity);
    // ... and that content is Encrypt's result with the key of `keyFingerprint` (empty when it could not be read).
    void showCiphertext(const Editor& editor, const std::string& path, std::optional<FileIdentity> identity,
                        const std::string& keyFingerprint);
    // ... and that content is strong ciphertext.
    void showStrongCiphertext(const Editor& editor, const std::string& path, std::optional<FileIdentity> identity,
                              const std::string& keyFingerprint);
    // ... and that content is what a classic Decrypt made with the key of `keyFingerprint` of a text that was
    // ciphertext (mail text, or Encrypt's result shown) or not: Encrypt with that key would give that text back.
    void showClassicDecryption(const Editor& editor, const std::string& path, std::optional<FileIdentity> identity,
                               const std::string& keyFingerprint, bool fromCiphertext);
    // `from` was copied to `to`, which the path field names now: the editor shows `to`'s content if it showed `from`'s.
    void fileCopied(const IoContext& io, const Editor& editor, const std::string& from, const std::string& to);

    // The editor was emptied for a new message: it shows no file.
    void showNothing(const Editor& editor);
    // True when the user has changed the text (typing, pasting, cutting, undoing) since a command last left it: an
    // empty editor nothing has touched is unchanged.
    bool editedByUser(const Editor& editor) const;
    // True when the editor shows the content `path` holds now.
    bool showsFile(const IoContext& io, const Editor& editor, const std::string& path) const;
    // The key fingerprint of the ciphertext the editor shows, or std::nullopt when it does not show Encrypt's result.
    std::optional<std::string> ciphertextKey(const Editor& editor) const;
    // True when the editor shows Encrypt's strong result.
    bool showsStrongCiphertext(const Editor& editor) const { return current(editor) && m_strong; }

    struct ClassicDecryption
    {
        std::string keyFingerprint;
        bool fromCiphertext;
    };
    // What the shown classic Decrypt result was made of, or std::nullopt when the editor shows none.
    std::optional<ClassicDecryption> classicDecryption(const Editor& editor) const;

private:
    bool current(const Editor& editor) const;

    std::optional<std::uint64_t> m_revision;
    std::string m_path;
    std::optional<FileIdentity> m_identity;
    std::optional<std::string> m_ciphertextKey;
    bool m_strong = false;
    std::optional<ClassicDecryption> m_decryption;
};

} // namespace qb
