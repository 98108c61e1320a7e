#include "ShownMessage.h"

#include "Ui.h"

namespace qb {

void ShownMessage::showFile(const Editor& editor, const std::string& path)
{
    m_revision = editor.revision();
    m_path = path;
    m_ciphertextKey.reset();
}

void ShownMessage::showCiphertext(const Editor& editor, const std::string& path, const std::string& keyFingerprint)
{
    showFile(editor, path);
    m_ciphertextKey = keyFingerprint;
}

void ShownMessage::fileCopied(const Editor& editor, const std::string& from, const std::string& to)
{
    if (showsFile(editor, from))
        m_path = to;
}

bool ShownMessage::current(const Editor& editor) const
{
    return m_revision == editor.revision();
}

bool ShownMessage::showsFile(const Editor& editor, const std::string& path) const
{
    return current(editor) && m_path == path;
}

std::optional<std::string> ShownMessage::ciphertextKey(const Editor& editor) const
{
    return current(editor) ? m_ciphertextKey : std::nullopt;
}

} // namespace qb
