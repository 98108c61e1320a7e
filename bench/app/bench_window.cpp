// Encrypt through the real main window (offscreen) against the same command on the scripted view, and what
// very long lines cost the editor. Prints a table; not a test.
#include "QtControls.h"
#include "ScriptedUi.h"
#include "Unit1.h"

#include "MessageCipher.h"
#include "Session.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 5;

double seconds(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The median of kRuns runs, each after `prepare`, which is not timed.
double median(const std::function<void()>& prepare, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        prepare();
        times.push_back(seconds(work));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Printable text in lines of about 70 characters, CR LF between them; or one line when lineLength is 0.
std::string typedMessage(std::size_t bytes, std::size_t lineLength)
{
    static const char words[] = "the quick brown fox jumps over a lazy dog while encrypted mail waits ";
    std::string text;
    text.reserve(bytes);
    std::size_t column = 0;
    for (std::size_t i = 0; text.size() < bytes; ++i) {
        if (lineLength && column >= lineLength && text.back() == ' ') {
            text.back() = '\r';
            text += '\n';
            column = 0;
            continue;
        }
        text += words[i % (sizeof words - 1)];
        ++column;
    }
    text.resize(bytes);
    return text;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

QByteArray generatedKey()
{
    QByteArray key;
    unsigned state = 12345;
    for (int i = 0; i < 1000; ++i) {
        state = state * 134775813u + 1u;
        key += char((static_cast<unsigned long long>(state) * 10u) >> 32);
    }
    return key;
}

struct Row
{
    std::string what;
    double window;
    double scripted;
};

void printRow(const Row& row)
{
    if (row.scripted > 0)
        std::printf("%-46s %10.3f %10.3f %8.2fx\n", row.what.c_str(), row.window, row.scripted,
                    row.window / row.scripted);
    else
        std::printf("%-46s %10.3f %10s %9s\n", row.what.c_str(), row.window, "-", "-");
}

class Bench
{
public:
    Bench()
    {
        writeFile(m_dir.path() + "/users.cfg", "bob\r\n");
        writeFile(m_dir.path() + "/bob/bob.key", generatedKey());
        QDir::setCurrent(m_dir.path());
        m_form = std::make_unique<TForm1>(m_session);
        m_form->show();
        QApplication::processEvents();
        m_form->findChild<QListWidget*>(QStringLiteral("ListBox1"))->setCurrentRow(0);
        m_memo = m_form->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    }

    // Encrypt of `message` typed into the window, and on the scripted view.
    Row encrypt(const std::string& what, const std::string& message)
    {
        QAction* encrypt1 = m_form->findChild<QAction*>(QStringLiteral("Encrypt1"));
        // The typed message is on screen when Encrypt is chosen.
        const double window = median(
            [&] {
                m_form->view().memo1().setText(message);
                m_form->repaint();
            },
            [&] {
                encrypt1->trigger();
                m_form->repaint();
            });

        qbtest::ScriptedMainView view(false);
        view.pathField.setText(m_session.messageFilePath("bob"));
        qb::MessageCipher cipher(m_session, view);
        const double scripted = median([&] { view.editor.setText(message); }, [&] { cipher.Encrypt1Click(); });
        return {what, window, scripted};
    }

    // Putting `message` into the editor and painting it, with the given wrapping.
    Row show(const std::string& what, const std::string& message, QPlainTextEdit::LineWrapMode wrap,
             QTextOption::WrapMode wordWrap)
    {
        m_memo->setLineWrapMode(wrap);
        m_memo->setWordWrapMode(wordWrap);
        const double shown = median([&] { m_form->view().memo1().clear(); },
                                    [&] {
                                        m_form->view().memo1().setText(message);
                                        m_form->repaint();
                                    });
        m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        m_memo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        return {what, shown, 0};
    }

    // Typing one character at the end of `message`: the whole paragraph is laid out again.
    Row typeAtEnd(const std::string& what, const std::string& message)
    {
        m_form->view().memo1().setText(message);
        m_form->repaint();
        const double typed = median([&] { m_memo->moveCursor(QTextCursor::End); },
                                    [&] {
                                        m_memo->insertPlainText(QStringLiteral("x"));
                                        m_form->repaint();
                                    });
        return {what, typed, 0};
    }

    // Making the window wider and back again with `message` in the editor.
    Row resize(const std::string& what, const std::string& message)
    {
        m_form->view().memo1().setText(message);
        m_form->repaint();
        const QSize size = m_form->size();
        const double resized = median([] {},
                                      [&] {
                                          m_form->resize(size.width() + 200, size.height());
                                          m_form->repaint();
                                          m_form->resize(size);
                                          m_form->repaint();
                                      });
        return {what, resized / 2, 0};
    }

private:
    QTemporaryDir m_dir;
    qb::Session m_session;
    std::unique_ptr<TForm1> m_form;
    QPlainTextEdit* m_memo = nullptr;
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString previous = QDir::currentPath();
    std::vector<Row> rows;
    {
        Bench bench;
        const std::string oneMiB = typedMessage(std::size_t(1) << 20, 70);
        const std::string tenMiB = typedMessage(std::size_t(10) << 20, 70);
        const std::string longLine = typedMessage(std::size_t(256) << 10, 0);
        rows.push_back(bench.encrypt("Encrypt 1 MiB, 70-character lines", oneMiB));
        rows.push_back(bench.encrypt("Encrypt 10 MiB, 70-character lines", tenMiB));
        rows.push_back(bench.encrypt("Encrypt 256 KiB, one line", longLine));
        rows.push_back(bench.show("Show 1 MiB of lines (wrapped, as shipped)", oneMiB, QPlainTextEdit::WidgetWidth,
                                  QTextOption::WrapAtWordBoundaryOrAnywhere));
        rows.push_back(bench.show("Show 256 KiB line (wrapped, as shipped)", longLine, QPlainTextEdit::WidgetWidth,
                                  QTextOption::WrapAtWordBoundaryOrAnywhere));
        rows.push_back(bench.show("Show 256 KiB line (wrapped anywhere)", longLine, QPlainTextEdit::WidgetWidth,
                                  QTextOption::WrapAnywhere));
        rows.push_back(
            bench.show("Show 256 KiB line (not wrapped)", longLine, QPlainTextEdit::NoWrap, QTextOption::NoWrap));
        rows.push_back(bench.typeAtEnd("Type a character after the 256 KiB line", longLine));
        rows.push_back(bench.resize("Resize the window, 256 KiB line", longLine));
        rows.push_back(bench.typeAtEnd("Type a character after 1 MiB of lines", oneMiB));
        rows.push_back(bench.resize("Resize the window, 1 MiB of lines", oneMiB));
    }
    QDir::setCurrent(previous);

    const std::string heading = "median of " + std::to_string(kRuns) + ", seconds";
    std::printf("%-46s %10s %10s %9s\n", heading.c_str(), "window", "scripted", "ratio");
    for (const Row& row : rows)
        printRow(row);
    return 0;
}
