#include "ScriptedUi.h"

#include "Errors.h"
#include "ScriptProblems.h"

#include <algorithm>

namespace qbtest {

ScriptedDialogs::~ScriptedDialogs()
{
    leaveScriptProblems(problems());
}

qb::Answer ScriptedDialogs::showMessageBox(const std::string& text, qb::MessageKind kind, qb::MessageButtons buttons,
                                           qb::DefaultButton defaultButton)
{
    m_boxes.push_back({text, kind, buttons, defaultButton});
    if (m_messageAnswers.empty()) {
        m_unexpected.push_back("message box \"" + text + "\"");
        return qb::Answer::Cancel;
    }
    const qb::Answer answer = m_messageAnswers.front();
    m_messageAnswers.pop_front();
    return answer;
}

std::string ScriptedDialogs::inputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultText)
{
    m_inputBoxes.emplace_back(caption, prompt);
    if (m_inputAnswers.empty()) {
        m_unexpected.push_back("input box \"" + caption + "\"");
        return defaultText;
    }
    const FileAnswer answer = m_inputAnswers.front();
    m_inputAnswers.pop_front();
    return answer.accepted ? answer.text.substr(0, 255) : defaultText;
}

namespace {

// Takes the next queued answer of a file dialog; an accepted name becomes the dialog's kept name. With none
// queued the dialog goes into `unexpected` and counts as cancelled.
template <typename Queue>
bool takeFileAnswer(Queue& answers, std::string& keptName, const char* dialog, std::vector<std::string>& unexpected)
{
    if (answers.empty()) {
        unexpected.push_back(std::string(dialog) + " dialog");
        return false;
    }
    const auto answer = answers.front();
    answers.pop_front();
    if (answer.accepted)
        keptName = answer.text;
    return answer.accepted;
}

} // namespace

bool ScriptedDialogs::executeOpenDialog()
{
    ++m_openShown;
    return takeFileAnswer(m_openAnswers, m_openFileName, "open", m_unexpected);
}

bool ScriptedDialogs::executeSaveDialog()
{
    ++m_saveShown;
    return takeFileAnswer(m_saveAnswers, m_saveFileName, "save", m_unexpected);
}

std::string ScriptedDialogs::chooseExportFile(const std::string& fileName)
{
    m_exportProposals.push_back(fileName);
    std::string chosen;
    return takeFileAnswer(m_exportAnswers, chosen, "export", m_unexpected) ? chosen : std::string();
}

std::vector<std::string> ScriptedDialogs::boxTexts() const
{
    std::vector<std::string> texts;
    for (const ShownBox& box : m_boxes)
        texts.push_back(box.text);
    return texts;
}

bool ScriptedDialogs::allAnswersUsed() const
{
    return m_messageAnswers.empty() && m_inputAnswers.empty() && m_openAnswers.empty() && m_saveAnswers.empty() &&
           m_exportAnswers.empty();
}

std::vector<std::string> ScriptedDialogs::problems() const
{
    std::vector<std::string> found;
    for (const std::string& dialog : m_unexpected)
        found.push_back("unexpected " + dialog);
    if (!allAnswersUsed()) {
        const std::pair<std::size_t, const char*> left[] = {{m_messageAnswers.size(), "message box"},
                                                            {m_inputAnswers.size(), "input box"},
                                                            {m_openAnswers.size(), "open dialog"},
                                                            {m_saveAnswers.size(), "save dialog"},
                                                            {m_exportAnswers.size(), "export dialog"}};
        std::string unused = "answers never asked for:";
        const char* separator = " ";
        for (const auto& [count, dialog] : left) {
            if (count > 0) {
                unused += separator + std::to_string(count) + " " + dialog;
                separator = ", ";
            }
        }
        found.push_back(unused);
    }
    return found;
}

void FakeEditor::setText(const std::string& text)
{
    takeText(std::string(text));
}

void FakeEditor::takeText(std::string&& text)
{
    m_text = std::move(text);
    m_allBytes = false;
    ++m_revision;
    ++m_operations;
    m_modified = true;
}

void FakeEditor::takeAllBytes(std::string&& bytes)
{
    takeText(std::move(bytes));
    m_allBytes = true;
}

void FakeList::clear()
{
    m_entries.clear();
    m_selected = -1;
}

void FakeList::add(const std::string& entry)
{
    if (m_sorted)
        m_entries.insert(std::upper_bound(m_entries.begin(), m_entries.end(), entry), entry);
    else
        m_entries.push_back(entry);
}

void FakeList::setSorted(bool sorted)
{
    m_sorted = sorted;
    if (sorted)
        std::stable_sort(m_entries.begin(), m_entries.end());
}

std::string FakeList::item(int index) const
{
    if (index < 0 || index >= count())
        throw qb::EListError(index);
    return m_entries[static_cast<std::size_t>(index)];
}

bool FakeList::selectText(const std::string& entry)
{
    const auto found = std::find(m_entries.begin(), m_entries.end(), entry);
    if (found == m_entries.end())
        return false;
    m_selected = static_cast<int>(found - m_entries.begin());
    return true;
}

void FakeProgress::setPosition(std::int64_t position)
{
    m_position = position;
    if (m_record)
        m_positions.push_back(position);
}

void FakeProgress::stepPositions(std::int64_t first, std::int64_t last)
{
    for (std::int64_t position = first; m_record && position <= last; ++position)
        m_positions.push_back(position);
    if (last >= first)
        m_position = last;
    ++m_stepCalls;
}

} // namespace qbtest
