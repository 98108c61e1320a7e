#pragma once

#include "ListLines.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

// What the commands need of the windowing toolkit: dialogs and control operations. The Qt windows
// implement these with real widgets; tests use a scripted implementation.
namespace qb {

enum class MessageKind { Warning, Information, Confirmation };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };
// The button Return presses: OK if the box has one, else Yes; or No, for a question whose Yes destroys data.
enum class DefaultButton { OkOrYes, No };

class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // Captions "Warning", "Information", "Confirm". Default button OK if present, else Yes; Esc answers
    // Cancel if present, else No, else OK; the title-bar close answers Cancel.
    Answer messageBox(const std::string& text, MessageKind kind, MessageButtons buttons)
    {
        return showMessageBox(text, kind, buttons, DefaultButton::OkOrYes);
    }
    // A confirmation whose Yes destroys data (or sends it out unprotected), with No as its default button: Return
    // keeps the data.
    Answer confirmDestroying(const std::string& text, MessageButtons buttons)
    {
        return showMessageBox(text, MessageKind::Confirmation, buttons, DefaultButton::No);
    }

    // One edit of at most 255 characters preset to `defaultText`; OK returns the text untrimmed,
    // Cancel, Esc or close return `defaultText`.
    virtual std::string inputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& defaultText) = 0;

    // The main window's OpenDialog1 and SaveDialog1: true when accepted. The file name is the last
    // accepted one (kept after a cancel, empty if none).
    virtual bool executeOpenDialog() = 0;
    virtual std::string openDialogFileName() const = 0;
    virtual bool executeSaveDialog() = 0;
    virtual std::string saveDialogFileName() const = 0;
    // A save dialog of its own for handing a key over, proposing `fileName` in the folder it showed last (at first
    // the home folder): the path chosen, or empty when cancelled.
    virtual std::string chooseExportFile(const std::string& fileName) = 0;

    // The standard error box: stop icon, the application title as caption, OK. `text` is final
    // (see standardErrorText).
    virtual void showErrorBox(const std::string& text) = 0;

protected:
    // The message box itself; Esc and the title-bar close answer as messageBox says whatever the default button.
    virtual Answer showMessageBox(const std::string& text, MessageKind kind, MessageButtons buttons,
                                  DefaultButton defaultButton) = 0;
};

// Editor text is held as bytes (windows-1252); lines are separated by CR LF. An editor may also show control bytes
// as their Unicode Control Pictures (see EditorText.h): text() gives such a character back as its byte.
class Editor
{
public:
    virtual ~Editor() = default;
    virtual std::string text() const = 0;
    virtual bool isEmpty() const = 0;
    // Replaces the text and fires the change notification (which marks the editor modified).
    virtual void setText(const std::string& text) = 0;

    // Large texts: editors that hold the bytes themselves override these to spare a copy of the text.
    // Length of text() in bytes.
    virtual std::size_t textSize() const { return text().size(); }
    // Calls `reader` once with the whole text, valid only during the call.
    virtual void readText(const std::function<void(std::string_view)>& reader) const { reader(text()); }
    // Calls `reader` with the bytes of text() a piece at a time, in order, each valid only during its call: an editor
    // that holds characters need not hold the bytes of all of them at once. Raises as text() does, perhaps after some
    // pieces.
    virtual void readTextPieces(const std::function<void(std::string_view)>& reader) const { readText(reader); }
    // For an editor that holds its text as characters, which text() converts into a second copy of the whole: about
    // textSize(), found without converting, so that a large text can be taken piece by piece instead. 0 for an
    // editor that holds the bytes themselves.
    virtual std::size_t approximateTextSize() const { return 0; }
    // As text(), but a character without a byte is left out rather than raising, and `complete` says whether any
    // was: for looking for mail text, which is ASCII, in a text that as a whole might not save.
    virtual std::string lenientText(bool& complete) const
    {
        complete = true;
        return text();
    }
    // As setText, taking the string over.
    virtual void takeText(std::string&& text) { setText(text); }
    // As takeText, but every byte stays visible and text() gives back exactly `bytes`: a CR LF pair is a line
    // break, every other control byte is shown as its Control Picture. Nothing is cut at a byte 0.
    virtual void takeAllBytes(std::string&& bytes) = 0;
    // Empties the editor without a change notification.
    virtual void clear() = 0;
    virtual bool isModified() const = 0;
    virtual void setModified(bool modified) = 0;
    virtual void setFocus() = 0;
    // Changes whenever the text changes (typing, pasting, loading, clearing): the same number, the same text.
    virtual std::uint64_t revision() const = 0;
};

class LineEdit
{
public:
    virtual ~LineEdit() = default;
    virtual std::string text() const = 0;
    virtual void setText(const std::string& text) = 0;
};

class ListControl
{
public:
    virtual ~ListControl() = default;
    virtual void clear() = 0;
    // A sorted list inserts in sort order.
    virtual void add(const std::string& entry) = 0;
    // As add for each entry in turn; a list may take them in one go.
    virtual void addAll(ListLines entries)
    {
        for (std::size_t index = 0; index < entries.size(); ++index)
            add(std::string(entries[index]));
    }
    // Entries that follow those given last, as add for each in turn. The selection stays on its entry: rows going in
    // around it are no new choice.
    virtual void addMore(ListLines entries) { addAll(std::move(entries)); }
    virtual void setSorted(bool sorted) = 0;
    virtual int count() const = 0;
    // -1 when nothing is selected.
    virtual int itemIndex() const = 0;
    // Raises EListError("List index out of bounds (%d)") for an index it does not have.
    virtual std::string item(int index) const = 0;
    // Selects entry `index` (-1: none) and brings it into view, without the selection-change notification: the
    // selection a reload takes back is not a new choice.
    virtual void setItemIndex(int index) = 0;
};

class ProgressControl
{
public:
    virtual ~ProgressControl() = default;
    virtual void setMaximum(std::int64_t maximum) = 0;
    virtual void setPosition(std::int64_t position) = 0;
    // Positions first..last were set one after another, each followed by an immediate repaint of the
    // window. Lets a long run report every byte without a call per byte.
    virtual void stepPositions(std::int64_t first, std::int64_t last) = 0;
};

class Window
{
public:
    virtual ~Window() = default;
    virtual void setCaption(const std::string& caption) = 0;
    // Repaints at once (used while a long command runs on the one thread).
    virtual void repaintNow() = 0;
};

// The system clipboard, for text a command composes itself (the editor's own Cut, Copy and Paste use it directly).
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    // `text`: windows-1252 bytes, lines separated by LF.
    virtual void setText(const std::string& text) = 0;
};

struct CommandLine;

// Starts programs as new processes with a normal window.
class ProcessStarter
{
public:
    virtual ~ProcessStarter() = default;
    // Starts the program file with its arguments: empty when it started, else why it did not. What it does afterwards
    // is not watched.
    virtual std::string start(const CommandLine& command) = 0;
    // Opens `url` in the desktop's default browser; the outcome is not reported.
    virtual void openUrl(const std::string& url) = 0;
};

// The main window Form1 as its commands see it.
class MainView
{
public:
    virtual ~MainView() = default;
    virtual Dialogs& dialogs() = 0;
    virtual Editor& memo1() = 0;
    virtual LineEdit& edit2() = 0;
    virtual ListControl& listBox1() = 0;
    virtual ProgressControl& progressBar3() = 0;
    virtual Window& window() = 0;
    virtual Clipboard& clipboard() = 0;
    // Tells the user, for a few seconds in the status line, that a command did what was asked.
    virtual void showStatusMessage(const std::string& text) = 0;
};

// The Mail Programs window Form4 as its commands see it.
class MailProgramsView
{
public:
    virtual ~MailProgramsView() = default;
    virtual ListControl& listBox1() = 0;
    virtual void close() = 0;
};

} // namespace qb
