#include "EditorFile.h"

#include "Errors.h"
#include "IoCodes.h"
#include "LineBreaks.h"
#include "Replacement.h"
#include "Ui.h"

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <sys/mman.h>
#include <unistd.h>

namespace qb {

namespace {

// Reads the whole file into `bytes`, reusing its memory when it is large enough, in pieces that
// `scan`, if given, looks at as they arrive.
void readWholeFile(PosixFile& file, std::int64_t size, std::string& bytes, ShownTextScan* scan)
{
    const std::size_t expected = size > 0 ? static_cast<std::size_t>(size) : 0;
    if (bytes.capacity() < expected)
        bytes = editorLoadBuffer(expected);
    // Bytes the buffer already holds are overwritten in place; past them it grows by appending, which
    // spares filling memory with zeros only for the read to overwrite them.
    constexpr std::size_t kPiece = 256 * 1024;
    std::string piece;
    std::size_t done = 0;
    for (;;) {
        std::size_t got = 0;
        if (done < bytes.size()) {
            file.readSome(&bytes[done], std::min(bytes.size() - done, kPiece), got);
        } else {
            piece.resize(kPiece);
            file.readSome(&piece[0], kPiece, got);
            bytes.append(piece, 0, got);
        }
        if (got == 0)
            break;
        done += got;
        if (scan)
            scan->advance(bytes.data(), done, false);
    }
    bytes.resize(done);
    if (scan)
        scan->advance(bytes.data(), done, true);
}

// Opens `name` as the editor does (exclusively: "Cannot open file %s"), checks its size against the editor's
// capacity, and reads all of it into `text`; returns the identity the file had when it was opened.
FileIdentity readEditorFile(IoContext& io, const std::string& name, std::string& text, ShownTextScan* scan)
{
    FilePlace place;
    if (io.locate(name, place) != 0)
        throw EFOpenError(name);
    PosixFile file;
    struct stat info
    {
    };
    if (place.openRegular(O_RDONLY, file, info) != 0 || io.openFiles().contains({info.st_dev, info.st_ino}) ||
        file.lock(false, io.lockWait()) != 0)
        throw EFOpenError(name);
    requireEditorCapacity(info.st_size);
    readWholeFile(file, info.st_size, text, scan);
    return identityOf(info);
}

} // namespace

void requireEditorCapacity(std::int64_t size)
{
    if (size > kMemoCapacity)
        throw EOutOfResources();
}

namespace {

// Gives a replacement of `name` to `write`, which returns an errno-style result, and puts it in place.
void saveAsEditorFile(IoContext& io, const std::string& name, const std::function<int(PosixFile&)>& write)
{
    if (nameCode(name) != 0)
        throw EFCreateError(name);
    FilePlace place;
    if (io.locate(name, place) != 0)
        throw EFCreateError(name);
    // A full disk or too many open files is said as such, not as a fault of this file or of the writing.
    const auto raiseShortage = [&name](int error) {
        if (isResourceShortage(error))
            throw EInOutError(ioCodeFromErrno(error, name));
    };
    Replacement replacement(io);
    if (const int error = replacement.begin(std::move(place), Replacement::Hold::Target)) {
        raiseShortage(error);
        throw EFCreateError(name);
    }
    int error = write(replacement.file());
    if (error == 0)
        error = replacement.commit();
    if (error != 0) {
        raiseShortage(error);
        throw EWriteError();
    }
}

} // namespace

void saveBytesAsEditorFile(IoContext& io, std::string_view bytes, const std::string& name)
{
    saveAsEditorFile(io, name, [&io, bytes](PosixFile& file) { return file.writeAll(bytes.data(), bytes.size()); });
}

void saveEditorPiecesAsFile(IoContext& io, const Editor& editor, const std::string& name)
{
    saveAsEditorFile(io, name, [&io, &editor](PosixFile& file) {
        int error = 0;
        editor.readTextPieces([&](std::string_view piece) {
            if (error == 0)
                error = file.writeAll(piece.data(), piece.size());
        });
        return error;
    });
}

std::string editorLoadBuffer(std::size_t size)
{
    std::string buffer;
    // Ciphertext from a generated key gains well under 1 %, text with LF-only line ends a few per cent.
    buffer.reserve(size + size / 8 + 64);
    // One call maps all the pages the text will fill instead of a fault for each; where the call is
    // not known the pages are mapped as they are touched.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::uintptr_t first = (start + page - 1) & ~(page - 1);
    const std::uintptr_t last = (start + size) & ~(page - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
    return buffer;
}

FileIdentity loadEditorFromFile(IoContext& io, Editor& editor, const std::string& name)
{
    return loadEditorFromFile(io, editor, name, std::string());
}

FileIdentity loadEditorFromFile(IoContext& io, Editor& editor, const std::string& name, std::string&& storage)
{
    std::string text = std::move(storage);
    ShownTextScan shown;
    const FileIdentity identity = readEditorFile(io, name, text, &shown);
    showEditorText(editor, std::move(text), shown);
    return identity;
}

void showEditorText(Editor& editor, std::string&& text, const ShownTextScan& shown)
{
    // The adjusted text is longer than the file by one byte per lone break, so it can equal the editor's text only
    // where the editor's length lies between the file's and twice it.
    const std::size_t length = text.size();
    const std::size_t editorLength = editor.textSize();
    if (editorLength >= length && editorLength - length <= length) {
        const std::size_t adjusted = length + countLoneBreaks(text);
        if (adjusted == editorLength && normalizeLineBreaks(text) == editor.text())
            return;
    }
    // The editor receives only the part before the first byte 0; a 0 is no line break, so cutting
    // before adjusting gives the same text.
    text.resize(shown.length());
    widenLoneBreaks(text, shown.lone());
    editor.takeText(std::move(text));
}

void showEditorBytes(Editor& editor, std::string&& bytes)
{
    if (bytes.size() == editor.textSize() && bytes == editor.text())
        return;
    editor.takeAllBytes(std::move(bytes));
}

} // namespace qb
