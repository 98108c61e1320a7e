#pragma once

#include "CommandLine.h"
#include "Ui.h"

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace qbtest {

// A message box the command showed, as the user saw it.
struct ShownBox
{
    std::string text;
    qb::MessageKind kind;
    qb::MessageButtons buttons;
    qb::DefaultButton defaultButton;
};

// Answers dialogs from queues the test fills in advance and records everything shown. A dialog the test did not
// expect (its queue is empty) answers as the close button would and is recorded as a problem, as are answers left
// unused; on destruction the problems go to the shared log (ScriptProblems.h) that the test runner checks.
class ScriptedDialogs : public qb::Dialogs
{
public:
    ScriptedDialogs() = default;
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Queue answers, in the order the dialogs will appear; an OK-only box needs answerMessage(Answer::Ok) too.
    // Each returns the dialogs, so one line can script a whole command: answerInput("bob").answerMessage(Ok).
    ScriptedDialogs& answerMessage(qb::Answer answer) { return queue(m_messageAnswers, answer); }
    ScriptedDialogs& answerInput(const std::string& text) { return queue(m_inputAnswers, {true, text}); }
    ScriptedDialogs& cancelInput() { return queue(m_inputAnswers, {false, {}}); }
    ScriptedDialogs& acceptOpen(const std::string& fileName) { return queue(m_openAnswers, {true, fileName}); }
    ScriptedDialogs& cancelOpen() { return queue(m_openAnswers, {false, {}}); }
    ScriptedDialogs& acceptSave(const std::string& fileName) { return queue(m_saveAnswers, {true, fileName}); }
    ScriptedDialogs& cancelSave() { return queue(m_saveAnswers, {false, {}}); }
    ScriptedDialogs& acceptExport(const std::string& fileName) { return queue(m_exportAnswers, {true, fileName}); }
    // The name an earlier accepted open dialog left behind, which a cancelled one keeps.
    ScriptedDialogs& keepOpenFileName(const std::string& fileName)
    {
        m_openFileName = fileName;
        return *this;
    }

    std::string inputBox(const std::string& caption, const std::string& prompt,
                         const std::string& defaultText) override;
    bool executeOpenDialog() override;
    std::string openDialogFileName() const override { return m_openFileName; }
    bool executeSaveDialog() override;
    std::string saveDialogFileName() const override { return m_saveFileName; }
    std::string chooseExportFile(const std::string& fileName) override;
    void showErrorBox(const std::string& text) override { m_errors.push_back(text); }

    const std::vector<ShownBox>& boxes() const { return m_boxes; }
    // Texts of the message boxes shown, in order.
    std::vector<std::string> boxTexts() const;
    const std::vector<std::string>& errors() const { return m_errors; }
    // Caption and prompt of each input box shown.
    const std::vector<std::pair<std::string, std::string>>& inputBoxes() const { return m_inputBoxes; }
    int openDialogsShown() const { return m_openShown; }
    int saveDialogsShown() const { return m_saveShown; }
    // The file names the export dialog proposed, in order.
    const std::vector<std::string>& exportProposals() const { return m_exportProposals; }
    // True when every queued answer was used.
    bool allAnswersUsed() const;
    // The dialogs that came with no answer queued, as "message box \"text\"", "input box \"caption\"",
    // "open dialog" or "save dialog".
    const std::vector<std::string>& unexpectedDialogs() const { return m_unexpected; }
    // One line for each unexpected dialog and one naming the answers left unused; empty when the script held.
    std::vector<std::string> problems() const;

protected:
    qb::Answer showMessageBox(const std::string& text, qb::MessageKind kind, qb::MessageButtons buttons,
                              qb::DefaultButton defaultButton) override;

private:
    struct FileAnswer
    {
        bool accepted;
        std::string text;
    };
    template <typename Answer> ScriptedDialogs& queue(std::deque<Answer>& answers, Answer answer)
    {
        answers.push_back(std::move(answer));
        return *this;
    }
    std::deque<qb::Answer> m_messageAnswers;
    std::deque<FileAnswer> m_inputAnswers;
    std::deque<FileAnswer> m_openAnswers;
    std::deque<FileAnswer> m_saveAnswers;
    std::deque<FileAnswer> m_exportAnswers;
    std::vector<std::string> m_exportProposals;
    std::vector<ShownBox> m_boxes;
    std::vector<std::string> m_errors;
    std::vector<std::pair<std::string, std::string>> m_inputBoxes;
    std::vector<std::string> m_unexpected;
    std::string m_openFileName;
    std::string m_saveFileName;
    int m_openShown = 0;
    int m_saveShown = 0;
};

class FakeEditor : public qb::Editor
{
public:
    std::string text() const override { return m_text; }
    bool isEmpty() const override { return m_text.empty(); }
    void setText(const std::string& text) override;
    std::size_t textSize() const override { return m_text.size(); }
    void readText(const std::function<void(std::string_view)>& reader) const override { reader(m_text); }
    // In pieces of an odd size, as an editor that converts its text a run at a time gives them.
    void readTextPieces(const std::function<void(std::string_view)>& reader) const override
    {
        for (std::size_t at = 0; at < m_text.size(); at += 9999)
            reader(std::string_view(m_text).substr(at, 9999));
    }
    // Set, the editor says it holds characters that text() converts, as the window's editor does.
    std::size_t approximateTextSize() const override { return holdsCharacters ? m_text.size() : 0; }
    bool holdsCharacters = false;
    void takeText(std::string&& text) override;
    void takeAllBytes(std::string&& bytes) override;
    // Gives the memory back, as a real editor does (the benchmark measures peak memory through it).
    void clear() override
    {
        std::string().swap(m_text);
        m_allBytes = false;
        ++m_revision;
    }
    bool isModified() const override { return m_modified; }
    void setModified(bool modified) override { m_modified = modified; }
    void setFocus() override { ++m_focusRequests; }
    std::uint64_t revision() const override { return m_revision; }

    // Typing: sets the text and fires the change notification, as setText does.
    void type(const std::string& text) { setText(text); }
    int changeNotifications() const { return m_operations; }
    int focusRequests() const { return m_focusRequests; }
    // The text was last given with every byte shown (takeAllBytes).
    bool showsAllBytes() const { return m_allBytes; }

private:
    std::string m_text;
    std::uint64_t m_revision = 0;
    bool m_allBytes = false;
    bool m_modified = false;
    int m_operations = 0;
    int m_focusRequests = 0;
};

class FakeLineEdit : public qb::LineEdit
{
public:
    std::string text() const override { return m_text; }
    void setText(const std::string& text) override { m_text = text; }

private:
    std::string m_text;
};

// Keeps entries sorted by byte order when sorting is on; selection is set by the test.
class FakeList : public qb::ListControl
{
public:
    void clear() override;
    void add(const std::string& entry) override;
    void setSorted(bool sorted) override;
    int count() const override { return static_cast<int>(m_entries.size()); }
    int itemIndex() const override { return m_selected; }
    std::string item(int index) const override;
    void setItemIndex(int index) override { m_selected = index; }

    void select(int index) { m_selected = index; }
    // Selects the first entry equal to `entry`; returns false when there is none.
    bool selectText(const std::string& entry);
    const std::vector<std::string>& entries() const { return m_entries; }
    bool sorted() const { return m_sorted; }

private:
    std::vector<std::string> m_entries;
    bool m_sorted = false;
    int m_selected = -1;
};

// Records every progress position unless told to keep only the last one (for large runs).
class FakeProgress : public qb::ProgressControl
{
public:
    explicit FakeProgress(bool recordPositions = true) : m_record(recordPositions) {}
    void setMaximum(std::int64_t maximum) override { m_maximum = maximum; }
    void setPosition(std::int64_t position) override;
    void stepPositions(std::int64_t first, std::int64_t last) override;

    std::int64_t maximum() const { return m_maximum; }
    std::int64_t position() const { return m_position; }
    const std::vector<std::int64_t>& positions() const { return m_positions; }
    // Calls of stepPositions: how many batches a command reported.
    std::int64_t stepCalls() const { return m_stepCalls; }

private:
    bool m_record;
    std::int64_t m_maximum = 100;
    std::int64_t m_position = 0;
    std::vector<std::int64_t> m_positions;
    std::int64_t m_stepCalls = 0;
};

class FakeWindow : public qb::Window
{
public:
    void setCaption(const std::string& caption) override { m_caption = caption; }
    void repaintNow() override { ++m_repaints; }
    const std::string& caption() const { return m_caption; }
    int repaints() const { return m_repaints; }

private:
    std::string m_caption = "Quillbox 97";
    int m_repaints = 0;
};

class FakeClipboard : public qb::Clipboard
{
public:
    void setText(const std::string& text) override
    {
        m_text = text;
        ++m_sets;
    }
    const std::string& text() const { return m_text; }
    int sets() const { return m_sets; }

private:
    std::string m_text;
    int m_sets = 0;
};

// The main window made of the fakes above.
class ScriptedMainView : public qb::MainView
{
public:
    explicit ScriptedMainView(bool recordProgress = true) : progress(recordProgress) {}

    qb::Dialogs& dialogs() override { return scripted; }
    qb::Editor& memo1() override { return editor; }
    qb::LineEdit& edit2() override { return pathField; }
    qb::ListControl& listBox1() override { return correspondents; }
    qb::ProgressControl& progressBar3() override { return progress; }
    qb::Window& window() override { return mainWindow; }
    qb::Clipboard& clipboard() override { return systemClipboard; }
    void showStatusMessage(const std::string& text) override { statusMessages.push_back(text); }

    ScriptedDialogs scripted;
    FakeEditor editor;
    FakeLineEdit pathField;
    FakeList correspondents;
    FakeProgress progress;
    FakeWindow mainWindow;
    FakeClipboard systemClipboard;
    std::vector<std::string> statusMessages;
};

class ScriptedMailProgramsView : public qb::MailProgramsView
{
public:
    qb::ListControl& listBox1() override { return programs; }
    void close() override { ++closed; }

    FakeList programs;
    int closed = 0;
};

// Records programs and pages instead of starting processes; a program in `refused` does not start, for that reason.
class RecordingProcessStarter : public qb::ProcessStarter
{
public:
    std::string start(const qb::CommandLine& command) override
    {
        std::string line = command.program;
        for (const std::string& argument : command.arguments)
            line += " " + argument;
        started.push_back(line);
        return command.program == refused ? refusal : std::string();
    }
    std::string refused;
    std::string refusal;
    void openUrl(const std::string& url) override { opened.push_back(url); }
    std::vector<std::string> started;
    std::vector<std::string> opened;
};

} // namespace qbtest
