#include "ShownMessage.h"

#include "Ui.h"

namespace qb {

void ShownMessage::showFile(const Editor& editor, const std::string& path, std::optional<FileIdentity> identity)
{
    m_revision = editor.revision();
    m_path = path;
    m_identity = identity;
    m_ciphertextKey.reset();
    m_strong = false;
    m_decryption.reset();
}

void ShownMessage::showCiphertext(const Editor& editor, const std::string& path, std::optional<FileIdentity> identity,
                                  const std::string& keyFingerprint)
{
    showFile(editor, path, identity);
    m_ciphertextKey = keyFingerprint;
}

void ShownMessage::showStrongCiphertext(const Editor& editor, const std::string& path,
                                        std::optional<FileIdentity> identity, const std::string& keyFingerprint)
{
    showCiphertext(editor, path, identity, keyFingerprint);
    m_strong = true;
}

void ShownMessage::showClassicDecryption(const Editor& editor, const std::string& path,
                                         std::optional<FileIdentity> identity, const std::string& keyFingerprint,
                                         bool fromCiphertext)
{
    showFile(editor, path, identity);
    m_decryption = ClassicDecryption{keyFingerprint, fromCiphertext};
}

std::optional<ShownMessage::ClassicDecryption> ShownMessage::classicDecryption(const Editor& editor) const
{
    return current(editor) ? m_decryption : std::nullopt;
}

void ShownMessage::fileCopied(const IoContext& io, const Editor& editor, const std::string& from, const std::string& to)
{
    if (!showsFile(io, editor, from))
        return;
    m_path = to;
    m_identity = currentIdentity(io, to);
}

void ShownMessage::showNothing(const Editor& editor)
{
    showFile(editor, std::string(), std::nullopt);
}

bool ShownMessage::editedByUser(const Editor& editor) const
{
    return m_revision ? !current(editor) : !editor.isEmpty();
}

bool ShownMessage::current(const Editor& editor) const
{
    return m_revision == editor.revision();
}

bool ShownMessage::showsFile(const IoContext& io, const Editor& editor, const std::string& path) const
{
    return current(editor) && m_path == path && m_identity && currentIdentity(io, path) == m_identity;
}

std::optional<std::string> ShownMessage::ciphertextKey(const Editor& editor) const
{
    return current(editor) ? m_ciphertextKey : std::nullopt;
}

} // namespace qb
