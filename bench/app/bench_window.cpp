// Encrypt through the real main window (offscreen) against the same command on the scripted view, File > Open of a
// large message against the editor widget's own setPlainText, and what very long lines cost the editor. Prints a
// table and a line of the ratios; not a test.
#include "QtControls.h"
#include "ScriptedUi.h"
#include "Unit1.h"

#include "MessageCipher.h"
#include "Session.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
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

// Peak resident memory since `reset`, in bytes, from the kernel's high-water mark.
class PeakMemory
{
public:
    PeakMemory()
    {
        // Writing 5 sets the high-water mark to the current resident size.
        std::ofstream("/proc/self/clear_refs") << "5";
        m_start = statusBytes("VmRSS:");
    }

    // Bytes resident at the peak beyond those resident at the start.
    double added() const { return statusBytes("VmHWM:") - m_start; }

private:
    static double statusBytes(const std::string& field)
    {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.compare(0, field.size(), field) == 0)
                return std::stod(line.substr(field.size())) * 1024; // given in kB
        }
        return 0;
    }

    double m_start = 0;
};

// Answers the next file dialog with `path`, as typed by the user; `accepted` is set to the time of the answer.
void answerFileDialog(const QString& path, Clock::time_point& accepted)
{
    QTimer::singleShot(0, [path, &accepted] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            answerFileDialog(path, accepted);
            return;
        }
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
        accepted = Clock::now();
        static_cast<QDialog*>(dialog)->accept();
    });
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

double ratio(const Row& row)
{
    return row.window / row.scripted;
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
        view.pathField.setText(m_session.correspondent("bob").messageFile());
        qb::MessageCipher cipher(m_session, view);
        const double scripted = median([&] { view.editor.setText(message); }, [&] { cipher.Encrypt1Click(); });
        return {what, window, scripted};
    }

    // File > Open of `message` from the moment the file is chosen until it is on screen, against a bare editor
    // widget of the same size and font given the same text by its own setPlainText and painted.
    Row open(const std::string& what, const std::string& message)
    {
        const QString path = m_dir.path() + QStringLiteral("/letter.txt");
        writeFile(path, QByteArray::fromStdString(message));
        QAction* open1 = m_form->findChild<QAction*>(QStringLiteral("Open1"));
        Clock::time_point accepted;
        std::vector<double> times;
        for (int run = 0; run < kRuns; ++run) {
            // An editor that already holds the file's text would keep it rather than load it again.
            m_form->view().memo1().clear();
            m_form->repaint();
            answerFileDialog(path, accepted);
            open1->trigger();
            m_form->repaint();
            times.push_back(std::chrono::duration<double>(Clock::now() - accepted).count());
        }
        std::sort(times.begin(), times.end());
        const double window = times[times.size() / 2];

        QPlainTextEdit bare;
        bare.setFont(m_memo->font());
        bare.resize(m_memo->size());
        bare.show();
        const QString text = qb::textFromCp1252(message);
        const double reference = median([&] { bare.clear(); },
                                        [&] {
                                            bare.setPlainText(text);
                                            bare.repaint();
                                        });
        return {what, window, reference};
    }

    // Memory added at the peak of a File > Open of `message`, per byte of the message.
    double openPeakPerByte(const std::string& message)
    {
        const QString path = m_dir.path() + QStringLiteral("/letter.txt");
        writeFile(path, QByteArray::fromStdString(message));
        m_form->view().memo1().clear();
        m_form->repaint();
        QAction* open1 = m_form->findChild<QAction*>(QStringLiteral("Open1"));
        Clock::time_point accepted;
        const PeakMemory peak;
        answerFileDialog(path, accepted);
        open1->trigger();
        m_form->repaint();
        return peak.added() / static_cast<double>(message.size());
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
    Row openRow;
    double openBytesPerByte = 0;
    {
        Bench bench;
        {
            // First, while the process is small: the peak is measured against what is resident before the open.
            const std::string fiftyMiB = typedMessage(std::size_t(50) << 20, 70);
            openBytesPerByte = bench.openPeakPerByte(fiftyMiB);
            openRow = bench.open("File > Open 50 MiB (against setPlainText)", fiftyMiB);
        }
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
    std::printf("File > Open 50 MiB against setPlainText: %.3f s, %.3f s; peak memory added %.2f bytes a byte\n",
                openRow.window, openRow.scripted, openBytesPerByte);
    std::printf("window ratios: window_1mib=%.2f window_10mib=%.2f window_line=%.2f open_50mib=%.2f "
                "open_bytes_per_byte=%.2f\n",
                ratio(rows[0]), ratio(rows[1]), ratio(rows[2]), ratio(openRow), openBytesPerByte);
    return 0;
}
