#pragma once

#include "IoContext.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qb {

class Editor;

// Path building: the data directory and a name joined with "/".
std::string joinPath(const std::string& directory, const std::string& name);

// The message path with its extension replaced by ".tmp" (appended when the last component has none).
std::string tempPathFor(const std::string& messagePath);

// True only for an existing entry that is not a folder; "*" and "?" in the last component match any file.
bool fileExists(const std::string& name);

// Size in bytes as a file of 1-byte records opened for reading and writing; each step is checked,
// so a missing file raises "File not found" and a read-only one "File access denied".
std::int64_t fileSizeChecked(IoContext& io, const std::string& name);

// Append-probe: open for appending, close, take the code. Non-zero: missing or not writable.
int appendProbe(IoContext& io, const std::string& name);
// Reset-probe: open for reading, close, take the code. Non-zero: missing.
int resetProbe(IoContext& io, const std::string& name);

// Reads a list file a line at a time, each line before the end-of-data test, so an empty file gives one empty
// line. Returns false, having read nothing, when the file cannot be opened; read errors are checked.
bool readListFile(IoContext& io, const std::string& name, const std::function<void(const std::string&)>& onLine);

// Folder creation, one level, outcome not reported.
void createDirectory(const std::string& path);

// Removes, on destruction, a file the running command created, unless the command completed it. Armed only once
// the command has created the file, so a file it merely failed to open is never removed.
class CreatedFileGuard
{
public:
    explicit CreatedFileGuard(std::string path);
    ~CreatedFileGuard();
    CreatedFileGuard(const CreatedFileGuard&) = delete;
    CreatedFileGuard& operator=(const CreatedFileGuard&) = delete;

    void arm() { m_armed = true; }
    void keep() { m_armed = false; }

private:
    std::string m_path;
    bool m_armed = false;
};

// Removes a file; checked (raises EInOutError).
void eraseFileChecked(IoContext& io, const std::string& name);

// The editor's own file access.
// Largest adjusted text the editor takes; a larger file raises "Text exceeds memo capacity".
constexpr std::int64_t kMemoCapacity = std::int64_t(256) << 20;

// Writes the editor's text (lines separated by CR LF, nothing after the last) to a new or truncated
// file; "Cannot create file %s" when it cannot be created. Nothing is created when the name is empty.
void saveEditorToFile(IoContext& io, Editor& editor, const std::string& name);

// Writes `bytes` as the editor writes its text, with the same refusals.
void saveBytesAsEditorFile(IoContext& io, std::string_view bytes, const std::string& name);

// Reads the whole file, turns lone CR and lone LF into CR LF, and gives the editor the part before the
// first byte 0 unless the adjusted text equals the editor's text. "Cannot open file %s" on failure.
void loadEditorFromFile(IoContext& io, Editor& editor, const std::string& name);
// The same, reading into `storage` (whose contents are discarded) when its capacity suffices, so a
// caller done with a buffer of the file's size spares the allocation of another.
void loadEditorFromFile(IoContext& io, Editor& editor, const std::string& name, std::string&& storage);
// Reads the whole file as the editor does and gives it every byte shown (Editor::takeAllBytes), unless it already
// holds exactly these bytes: the way a ciphertext is shown, so that what is copied from the editor is what the file
// holds.
void loadEditorWithAllBytes(IoContext& io, Editor& editor, const std::string& name);
// An empty buffer for loading a file of `size` bytes: with room for the line breaks that the
// adjustment typically adds, so they go in without moving the text, and its memory made ready at once
// rather than page by page as it fills.
std::string editorLoadBuffer(std::size_t size);

// Every lone CR and every lone LF becomes CR LF; CR LF stays one break (so LF CR becomes two).
std::string normalizeLineBreaks(const std::string& bytes);

} // namespace qb
