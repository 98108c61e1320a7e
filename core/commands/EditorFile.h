#pragma once

#include "FileIdentity.h"
#include "IoContext.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qb {

class Editor;
class ShownTextScan;

// The editor's own file access: the file is held exclusively while it is read or written.

// Largest file the editor takes; a larger one raises "Text exceeds memo capacity" before anything changes.
constexpr std::int64_t kMemoCapacity = std::int64_t(256) << 20;
// Raises "Text exceeds memo capacity" for a file of `size` bytes that the editor could not take.
void requireEditorCapacity(std::int64_t size);

// Writes the editor's text as it gives it piece by piece (Editor::readTextPieces: lines separated by CR LF, nothing
// after the last) as the file's new content, replacing the old only once it is whole on disk. "Cannot create file %s"
// when it cannot be written there, "Stream write error" when writing fails; nothing is written when the name is empty.
void saveEditorPiecesAsFile(IoContext& io, const Editor& editor, const std::string& name);
// Writes `bytes` as the editor writes its text, with the same refusals.
void saveBytesAsEditorFile(IoContext& io, std::string_view bytes, const std::string& name);

// Reads the whole file, turns lone CR and lone LF into CR LF, and gives the editor the part before the
// first byte 0 unless the adjusted text equals the editor's text. "Cannot open file %s" on failure. Returns the
// identity the file had when it was opened.
FileIdentity loadEditorFromFile(IoContext& io, Editor& editor, const std::string& name);
// The same, reading into `storage` (whose contents are discarded) when its capacity suffices, so a
// caller done with a buffer of the file's size spares the allocation of another.
FileIdentity loadEditorFromFile(IoContext& io, Editor& editor, const std::string& name, std::string&& storage);
// What loadEditorFromFile does once it has read the file: `text` holds its bytes, which `shown` has scanned whole.
void showEditorText(Editor& editor, std::string&& text, const ShownTextScan& shown);
// Gives the editor every byte of a file's `bytes` shown (Editor::takeAllBytes), unless it already holds exactly these
// bytes: the way a ciphertext is shown, so that what is copied from the editor is what the file holds.
void showEditorBytes(Editor& editor, std::string&& bytes);
// An empty buffer for loading a file of `size` bytes: with room for the line breaks that the
// adjustment typically adds, so they go in without moving the text, and its memory made ready at once
// rather than page by page as it fills.
std::string editorLoadBuffer(std::size_t size);

} // namespace qb
