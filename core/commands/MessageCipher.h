#pragma once

#include "CorrespondentFiles.h"
#include "Session.h"
#include "Ui.h"

#include <cstddef>
#include <string>

namespace qb {

// Encrypt and Decrypt of the main window: the message combined with the selected correspondent's key file, by the
// classic cipher (exclusive-or, the key restarting from its first byte whenever it runs out) or, for a correspondent
// set to strong encryption, as a strong message. Decrypt reads both, whatever the setting.
class MessageCipher
{
public:
    // Beyond this many bytes the editor's text is encrypted as it gives it piece by piece, so that the bytes of the
    // whole message are never held beside the editor's own copy of it.
    static constexpr std::size_t kPiecewiseAbove = std::size_t(16) << 20;

    explicit MessageCipher(Session& session, MainView& view, std::size_t piecewiseAbove = kPiecewiseAbove);

    // Encrypts the editor's bytes into the path field's ".tmp" file, renames that over the path field's file once whole
    // on disk, and shows the ciphertext in the editor; the plain text is never written. Asks first when the editor
    // shows Encrypt's own result, or a classic Decrypt's, which the classic cipher would turn back.
    void Encrypt1Click();
    // Decrypts what the editor shows: the path field's file when the editor shows it unchanged (its bytes may be more
    // than the editor shows), else the editor's text. Mail text is decrypted from its block's bytes, and only with the
    // key its Key line names. The result replaces the path field's file and is shown in the editor.
    void Decrypt1Click();

private:
    // The path field's text; an empty one names no file, so the user is asked to pick a correspondent.
    std::string requireMessagePath();
    // The message in the path field's file, or in the text the editor shows: the bytes of the mail text it holds,
    // else all of it. `keyFingerprint` receives what the mail text's Key line names.
    // `mailText` says whether the message came from mail text.
    std::string fileMessage(const std::string& path, std::string& keyFingerprint, bool& mailText);
    std::string shownMessage(const Editor& editor, std::string& keyFingerprint, bool& mailText);
    // Encrypt and Decrypt write over the path field's file unasked only where it is the program's own working file (the
    // selected correspondent's newmail.txt, or Untitled) or the editor shows it unchanged: any other file that is there
    // is replaced only after a question naming it, No the default. `result` is "encrypted" or "decrypted".
    void requireReplaceConsent(const std::string& path, const char* result);
    // The cipher Encrypt uses for the selected correspondent, warning of a setting that holds neither.
    Cipher encryptingCipher();

    Session& m_session;
    MainView& m_view;
    std::size_t m_piecewiseAbove;
};

} // namespace qb
