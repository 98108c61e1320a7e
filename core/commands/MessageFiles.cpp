#include "MessageFiles.h"

#include "EditorFile.h"
#include "Errors.h"
#include "ProductInfo.h"
#include "Session.h"
#include "StoredFiles.h"
#include "TextFile.h"
#include "Ui.h"

#include <vector>

namespace qb {
namespace {

constexpr const char* kUntitled = "Untitled";
// Message files may be large; the copy moves them in blocks, not a byte per call.
constexpr std::size_t kCopyBufferSize = std::size_t(64) << 10;

// Copies `sourceName` to `targetName` byte for byte, byte 26 and all after it included; the target's old content
// is replaced only once the copy is whole. The source is opened first, so a missing or empty source name, or a target
// that is the source under any spelling (the open-file table refuses it with code 32), fails before the target is
// created or truncated. Both files are closed on every path.
void copyMessageFile(IoContext& io, const std::string& sourceName, const std::string& targetName)
{
    TextFile source(io, TextFile::Reading::PlainBytes, kCopyBufferSize);
    resetChecked(source, sourceName);

    TextFile target(io, TextFile::Reading::PlainBytes, kCopyBufferSize);
    rewriteChecked(target, targetName);

    std::vector<unsigned char> block(kCopyBufferSize);
    for (;;) {
        const std::size_t count = source.readBytes(block.data(), block.size());
        io.check();
        if (count == 0)
            break;
        target.writeBytes(block.data(), count);
        io.check();
    }

    closeChecked(source);
    closeChecked(target);
}

} // namespace

MessageFiles::MessageFiles(Session& session, MainView& view) : m_session(session), m_view(view) {}

void MessageFiles::NewMail1Click()
{
    Checkfilesave();
    m_view.edit2().setText(kUntitled);
    m_view.window().setCaption(std::string(kApplicationTitle) + " - [" + kUntitled + "]");
    m_view.memo1().clear();
    m_session.shownMessage.showNothing(m_view.memo1());
    // The user has saved or declined to save what was there; an empty new message asks nothing on exit.
    m_view.memo1().setModified(false);
}

void MessageFiles::Open1Click()
{
    Dialogs& dialogs = m_view.dialogs();
    if (dialogs.executeOpenDialog())
        openfile(dialogs.openDialogFileName());
}

void MessageFiles::openfile(const std::string& fileName)
{
    Editor& editor = m_view.memo1();
    const FileIdentity identity = loadEditorFromFile(m_session.io, editor, fileName);
    m_view.edit2().setText(fileName);
    m_session.shownMessage.showFile(editor, fileName, identity);
    editor.setFocus();
    editor.setModified(false);
}

bool MessageFiles::saveMessageAs()
{
    Dialogs& dialogs = m_view.dialogs();
    if (!dialogs.executeSaveDialog())
        return false;
    const std::string target = dialogs.saveDialogFileName();
    if (fileExists(m_session.io, target) &&
        dialogs.confirmDestroying("OK to overwrite " + target, MessageButtons::YesNoCancel) != Answer::Yes)
        return false;

    // What is on screen is what gets saved: text the user changed is written as Encrypt would take it; otherwise the
    // message file is copied whole, since a file may hold more than the editor shows.
    Editor& editor = m_view.memo1();
    const std::string source = m_view.edit2().text();
    if (m_session.shownMessage.editedByUser(editor)) {
        saveEditorPiecesAsFile(m_session.io, editor, target);
        m_session.shownMessage.showFile(editor, target, currentIdentity(m_session.io, target));
    } else {
        copyMessageFile(m_session.io, source, target);
        m_session.shownMessage.fileCopied(m_session.io, editor, source, target);
    }
    editor.setModified(false);
    m_view.edit2().setText(target);
    return true;
}

void MessageFiles::SaveAs1Click()
{
    saveMessageAs();
}

void MessageFiles::Save1Click()
{
    SaveAs1Click();
    m_view.memo1().setModified(false);
}

void MessageFiles::Checkfilesave()
{
    if (!m_view.memo1().isModified())
        return;
    switch (m_view.dialogs().messageBox("Save message?", MessageKind::Confirmation, MessageButtons::YesNoCancel)) {
    case Answer::Yes:
        // A save turned down at the dialog or the overwrite question has saved nothing: calling off the
        // caller keeps the message instead of clearing it or closing over it.
        if (!saveMessageAs())
            Abort();
        return;
    case Answer::No:
        return;
    default:
        Abort();
    }
}

} // namespace qb
