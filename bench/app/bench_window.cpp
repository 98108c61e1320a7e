// The main window's commands against their floor, in pairs: each window run is followed by the same command on the
// scripted view plus a bare QPlainTextEdit (same size and font, holding what the window held) given the text the window
// ends up showing with setPlainText and painted; painted means what the command changed has been painted. A ratio is
// the window's time over its floor, the median of the pairs' ratios. Also typing in a large message against the bare
// editor, Encrypt's peak memory, New Recipiant with a large list, and File > Open against setPlainText. Prints a table
// and a line of the ratios; not a test.
#include "ListBoxWidget.h"
#include "QtControls.h"
#include "ScriptedUi.h"
#include "Unit1.h"

#include "CorrespondentPaths.h"
#include "MessageCipher.h"
#include "Session.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPairs = 5;

double seconds(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The value below which `share` of the values lie.
double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// Printable text in lines of about `lineLength` characters, CR LF between them; or one line when lineLength is 0.
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

double statusBytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size(), field) == 0)
            return std::stod(line.substr(field.size())) * 1024; // given in kB
    }
    return 0;
}

// Peak resident memory since construction, from the kernel's high-water mark.
class PeakMemory
{
public:
    // Writing 5 sets the high-water mark to the current resident size.
    PeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }
    double peak() const { return statusBytes("VmHWM:"); }
};

double residentNow()
{
    malloc_trim(0);
    return statusBytes("VmRSS:");
}

// Answers the next modal window from a zero-delay timer: a file dialog with `path`, an input box with `text`, a
// message box with its default button. `answered` is set to the time of the answer.
void answerNextModal(const QString& text, Clock::time_point& answered)
{
    QTimer::singleShot(0, [text, &answered] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(text);
            answered = Clock::now();
            static_cast<QDialog*>(files)->accept();
        } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            input->setTextValue(text);
            answered = Clock::now();
            input->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            answered = Clock::now();
            box->defaultButton()->click();
        } else {
            answerNextModal(text, answered);
        }
    });
}

// Paints what the last command changed, as the event loop would once the command returns: the updates Qt has gathered
// meanwhile, and no more. A command that changes only the editor and the status line repaints only those.
void paintChanges()
{
    QCoreApplication::sendPostedEvents();
}

struct Row
{
    std::string what;
    double window;
    double floor;
    double ratio; // median of the pairs' ratios
};

void printRow(const Row& row)
{
    std::printf("%-48s %10.4f %10.4f %8.2fx\n", row.what.c_str(), row.window, row.floor, row.ratio);
}

enum class Command { Encrypt, Decrypt };

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
        m_form->findChild<qb::ListBoxWidget*>(QStringLiteral("ListBox1"))->setCurrentRow(0);
        m_memo = m_form->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        m_bare.resize(m_memo->size());
        m_bare.show();
        // Shown on screen before its first timed paint: a window not yet exposed skips painting.
        QApplication::processEvents();
    }

    // `command` on `message` typed into the window, paired with its floor.
    Row command(const std::string& what, const std::string& message, Command command)
    {
        QAction* encrypt1 = m_form->findChild<QAction*>(QStringLiteral("Encrypt1"));
        QAction* decrypt1 = m_form->findChild<QAction*>(QStringLiteral("Decrypt1"));
        qbtest::ScriptedMainView view(false);
        view.pathField.setText(qb::CorrespondentPaths(m_session.currentdirectory, "bob").messageFile());
        qb::MessageCipher cipher(m_session, view);
        useWorkingFile();
        std::vector<double> windows, floors, ratios;
        // A first pair uncounted: the first run of a command, in either, meets caches the other has not yet warmed.
        for (int pair = -1; pair < kPairs; ++pair) {
            // Decrypt works on what Encrypt left: the message file and the editor showing it.
            m_form->view().memo1().setText(message);
            if (command == Command::Decrypt)
                encrypt1->trigger();
            m_form->repaint();
            paintChanges();
            QString before = m_memo->toPlainText();
            const double window = seconds([&] {
                (command == Command::Encrypt ? encrypt1 : decrypt1)->trigger();
                paintChanges();
            });
            const QString shown = m_memo->toPlainText();

            view.editor.setText(message);
            if (command == Command::Decrypt)
                cipher.Encrypt1Click();
            const double scripted = seconds([&] {
                if (command == Command::Encrypt)
                    cipher.Encrypt1Click();
                else
                    cipher.Decrypt1Click();
            });
            // The same font as the window shows the result in.
            // Holding what the window held, so that setPlainText replaces it as the command replaced the window's.
            m_bare.setFont(m_memo->document()->defaultFont());
            m_bare.setPlainText(before);
            // The bare editor alone holds its old text, as the window holds its own, so that replacing it frees it.
            before = QString();
            m_bare.repaint();
            paintChanges();
            const double bare = seconds([&] {
                m_bare.setPlainText(shown);
                paintChanges();
            });
            if (pair < 0)
                continue;
            windows.push_back(window);
            floors.push_back(scripted + bare);
            ratios.push_back(window / (scripted + bare));
        }
        return {what, medianOf(windows), medianOf(floors), medianOf(ratios)};
    }

    // Keys typed at the start of `message`, each until painted, in the window against the bare editor holding the
    // same text: the 99th percentile of each.
    Row typing(const std::string& what, const std::string& message)
    {
        constexpr int kKeys = 300;
        m_form->view().memo1().setText(message);
        m_bare.setFont(m_memo->document()->defaultFont());
        m_bare.setPlainText(m_memo->toPlainText());
        std::vector<double> windowKeys, bareKeys;
        for (QPlainTextEdit* editor : {m_memo, &m_bare}) {
            editor->setFocus();
            editor->moveCursor(QTextCursor::Start);
            editor->repaint();
            QApplication::processEvents();
            std::vector<double>& keys = editor == m_memo ? windowKeys : bareKeys;
            for (int key = 0; key < kKeys; ++key) {
                keys.push_back(seconds([editor] {
                    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
                    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
                    QApplication::sendEvent(editor, &press);
                    QApplication::sendEvent(editor, &release);
                    QApplication::processEvents();
                    editor->viewport()->repaint();
                }));
            }
        }
        const double window = percentile(windowKeys, 0.99);
        const double bare = percentile(bareKeys, 0.99);
        m_bare.clear();
        return {what, window, bare, window / bare};
    }

    // The path field on bob's working message, which Encrypt and Decrypt replace unasked (File > Open leaves it on
    // the file opened, which they would ask about).
    void useWorkingFile()
    {
        // New Recipiant chooses the name it registers: the commands measured work with bob's key again.
        m_session.currentuser = "bob";
        m_form->view().edit2().setText(qb::CorrespondentPaths(m_session.currentdirectory, "bob").messageFile());
    }

    // Sets bob to strong encryption, or back to classic.
    void setStrong(bool strong)
    {
        const qb::CorrespondentPaths bob(m_session.currentdirectory, "bob");
        if (strong)
            writeFile(QString::fromStdString(bob.cipherFile()), "strong\n");
        else
            QFile::remove(QString::fromStdString(bob.cipherFile()));
    }

    // Encrypt's peak resident memory beyond the window holding no text, per message byte.
    double encryptPeakPerByte(const std::string& message)
    {
        useWorkingFile();
        m_form->view().memo1().clear();
        m_form->repaint();
        const double before = residentNow();
        m_form->view().memo1().setText(message);
        m_form->repaint();
        const PeakMemory peak;
        m_form->findChild<QAction*>(QStringLiteral("Encrypt1"))->trigger();
        m_form->repaint();
        const double perByte = (peak.peak() - before) / static_cast<double>(message.size());
        m_form->view().memo1().clear();
        return perByte;
    }

    // New Recipiant from the name typed until the list is painted again, with `names` names listed before, against
    // the same with 10 names, in pairs. Each side first shows its list as the program does before a name is typed:
    // loaded (here by a registration of its own) and laid out while the program waits for input.
    Row newCorrespondent(const std::string& what, int names)
    {
        // The input box, then the box that announces the key, each answered at once; until the list is painted again.
        const auto registerOne = [this] {
            Clock::time_point answered;
            // A name of its own each time: a name that has a key would stop at the question whether to replace it.
            answerNextModal(QStringLiteral("newcomer%1").arg(m_newcomers++), answered);
            QTimer::singleShot(0, [&answered] { answerNextModal(QString(), answered); });
            m_form->findChild<QAction*>(QStringLiteral("NewKey1"))->trigger();
            paintChanges();
        };
        const auto usersOf = [](int listed) {
            QByteArray users;
            for (int index = 0; index < listed; ++index)
                users += "person" + QByteArray::number(index) + "\r\n";
            return users;
        };
        const QByteArray large = usersOf(names);
        const QByteArray small = usersOf(10);
        const auto registeredAfterListing = [&](const QByteArray& users) {
            writeFile(m_dir.path() + "/users.cfg", users);
            registerOne();
            QElapsedTimer idle;
            idle.start();
            while (idle.elapsed() < 1000)
                QApplication::processEvents(QEventLoop::AllEvents, 50);
            return seconds(registerOne);
        };
        std::vector<double> larges, smalls, ratios;
        for (int pair = 0; pair < kPairs; ++pair) {
            larges.push_back(registeredAfterListing(large));
            smalls.push_back(registeredAfterListing(small));
            ratios.push_back(larges.back() / smalls.back());
        }
        writeFile(m_dir.path() + "/users.cfg", "bob\r\n");
        return {what, medianOf(larges), medianOf(smalls), medianOf(ratios)};
    }

    // File > Open of `message` from the moment the file is chosen until it is on screen, against the bare editor
    // given the same text by its own setPlainText and painted.
    Row open(const std::string& what, const std::string& message)
    {
        const QString path = m_dir.path() + QStringLiteral("/letter.txt");
        writeFile(path, QByteArray::fromStdString(message));
        QAction* open1 = m_form->findChild<QAction*>(QStringLiteral("Open1"));
        const QString text = qb::textFromCp1252(message);
        std::vector<double> windows, bares, ratios;
        for (int pair = 0; pair < kPairs; ++pair) {
            // An editor that already holds the file's text would keep it rather than load it again.
            m_form->view().memo1().clear();
            m_form->repaint();
            paintChanges();
            Clock::time_point accepted;
            answerNextModal(path, accepted);
            open1->trigger();
            paintChanges();
            windows.push_back(std::chrono::duration<double>(Clock::now() - accepted).count());
            m_bare.setFont(m_memo->document()->defaultFont());
            m_bare.clear();
            paintChanges();
            bares.push_back(seconds([&] {
                m_bare.setPlainText(text);
                paintChanges();
            }));
            ratios.push_back(windows.back() / bares.back());
        }
        m_bare.clear();
        m_form->view().memo1().clear();
        return {what, medianOf(windows), medianOf(bares), medianOf(ratios)};
    }

    // Memory added at the peak of a File > Open of `message`, per byte of the message.
    double openPeakPerByte(const std::string& message)
    {
        const QString path = m_dir.path() + QStringLiteral("/letter.txt");
        writeFile(path, QByteArray::fromStdString(message));
        m_form->view().memo1().clear();
        m_form->repaint();
        const double before = residentNow();
        const PeakMemory peak;
        Clock::time_point accepted;
        answerNextModal(path, accepted);
        m_form->findChild<QAction*>(QStringLiteral("Open1"))->trigger();
        m_form->repaint();
        const double perByte = (peak.peak() - before) / static_cast<double>(message.size());
        m_form->view().memo1().clear();
        return perByte;
    }

private:
    QTemporaryDir m_dir;
    qb::Session m_session;
    std::unique_ptr<TForm1> m_form;
    QPlainTextEdit* m_memo = nullptr;
    QPlainTextEdit m_bare;
    int m_newcomers = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The correspondents listed for New Recipiant: a million by default.
    const int listed = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const QString previous = QDir::currentPath();
    std::vector<Row> rows;
    double openBytesPerByte = 0;
    double encryptBytesPerByte = 0;
    {
        Bench bench;
        {
            // First, while the process is small: the peaks are measured against what is resident before.
            const std::string fiftyMiB = typedMessage(std::size_t(50) << 20, 70);
            openBytesPerByte = bench.openPeakPerByte(fiftyMiB);
            encryptBytesPerByte = bench.encryptPeakPerByte(fiftyMiB);
            rows.push_back(bench.open("File > Open 50 MiB (floor: setPlainText)", fiftyMiB));
        }
        const std::string mail = typedMessage(std::size_t(4) << 10, 100);
        const std::string oneMiB = typedMessage(std::size_t(1) << 20, 70);
        const std::string tenMiB = typedMessage(std::size_t(10) << 20, 70);
        const std::string longLine = typedMessage(std::size_t(256) << 10, 0);
        for (const auto& [name, message] : {std::pair<const char*, const std::string&>{"4 KiB mail, 40 lines", mail},
                                            {"1 MiB, 70-character lines", oneMiB},
                                            {"10 MiB, 70-character lines", tenMiB},
                                            {"256 KiB, one line", longLine}}) {
            rows.push_back(bench.command(std::string("Encrypt ") + name, message, Command::Encrypt));
            rows.push_back(bench.command(std::string("Decrypt ") + name, message, Command::Decrypt));
        }
        rows.push_back(bench.typing("Typing in 10 MiB, 99th percentile (floor: bare)", tenMiB));
        rows.push_back(
            bench.newCorrespondent("New Recipiant, " + std::to_string(listed) + " listed (floor: 10)", listed));
        // The same mail as a strong message, for a correspondent set to strong encryption.
        bench.setStrong(true);
        rows.push_back(bench.command("Encrypt 4 KiB mail, strong", mail, Command::Encrypt));
        rows.push_back(bench.command("Decrypt 4 KiB mail, strong", mail, Command::Decrypt));
        bench.setStrong(false);
    }
    QDir::setCurrent(previous);

    std::printf("%-48s %10s %10s %9s\n", "seconds: medians of pairs", "window", "floor", "ratio");
    for (const Row& row : rows)
        printRow(row);
    std::printf("peak memory per message byte: Encrypt 50 MiB %.2f, File > Open 50 MiB %.2f\n", encryptBytesPerByte,
                openBytesPerByte);
    const auto ratio = [&rows](std::size_t index) { return rows[index].ratio; };
    std::printf("window ratios: window_mail_encrypt=%.2f window_mail_decrypt=%.2f window_1mib=%.2f "
                "window_1mib_decrypt=%.2f window_10mib=%.2f window_10mib_decrypt=%.2f window_line=%.2f "
                "window_line_decrypt=%.2f typing_p99=%.2f encrypt_bytes_per_byte=%.2f list_1m_add=%.2f "
                "open_50mib=%.2f open_bytes_per_byte=%.2f window_mail_strong_encrypt=%.2f "
                "window_mail_strong_decrypt=%.2f\n",
                ratio(1), ratio(2), ratio(3), ratio(4), ratio(5), ratio(6), ratio(7), ratio(8), ratio(9),
                encryptBytesPerByte, ratio(10), ratio(0), openBytesPerByte, ratio(11), ratio(12));
    return 0;
}
