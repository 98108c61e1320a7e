// Start-up of the program against a bare Qt window (a menu bar, an editor and a list), each a whole process run in
// turn until its first window is painted: the ratio per pair, the median of the pairs. Also the start with a million
// correspondents against the start with none, and the main window's first paint once the welcome window is closed
// against the bare window's. Prints a table and a line of the ratios; not a test.
//   bench_startup                 runs the pairs
//   bench_startup program DIR     the program's start in DIR, until the welcome window is painted
//   bench_startup main DIR        the same, then the welcome window closed: prints the main window's time to paint
//   bench_startup bare            the bare window, until painted: prints its time to paint
#include "Pictures.h"
#include "QtProcessStarter.h"
#include "Unit1.h"
#include "Unit2.h"

#include "ProductInfo.h"
#include "Session.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPairs = 5;

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Calls `painted` once, after the first paint of `window` has been delivered.
class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget* window, std::function<void()> painted) : m_window(window), m_painted(std::move(painted))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint) {
            m_window->removeEventFilter(this);
            QTimer::singleShot(0, m_window, m_painted);
        }
        return false;
    }

private:
    QWidget* m_window;
    std::function<void()> m_painted;
};

// What main.cpp does, in the working directory.
int runProgram(int argc, char* argv[], bool untilMainWindow)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(qb::kApplicationTitle));
    QApplication::setWindowIcon(qb::padlockIcon());
    qb::Session session;
    qb::QtProcessStarter starter;
    auto form1 = std::make_unique<TForm1>(session);
    form1->createForms(starter);
    auto* form2 = form1->findChild<TForm2*>();
    Clock::time_point closed;
    const FirstPaint mainPainted(form1.get(), [&closed] {
        std::printf("%.6f\n", since(closed));
        std::fflush(stdout);
        _exit(0);
    });
    const FirstPaint welcomePainted(form2, [&] {
        if (!untilMainWindow)
            _exit(0);
        closed = Clock::now();
        form2->Button1Click();
    });
    form1->show();
    return QApplication::exec();
}

int runBare(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const auto start = Clock::now();
    QMainWindow window;
    for (const char* menu : {"&File", "&Edit", "&Encrypt/Decrypt", "&Mail Programs"})
        window.menuBar()->addMenu(QString::fromLatin1(menu))->addAction(QStringLiteral("Item"));
    auto* client = new QWidget(&window);
    auto* layout = new QHBoxLayout(client);
    layout->addWidget(new QPlainTextEdit(client), 1);
    layout->addWidget(new QListWidget(client));
    window.setCentralWidget(client);
    window.resize(583, 361);
    const FirstPaint painted(&window, [start] {
        std::printf("%.6f\n", since(start));
        std::fflush(stdout);
        _exit(0);
    });
    window.show();
    return QApplication::exec();
}

// Runs this program with `arguments` to its end: the wall time, and the number it printed.
std::pair<double, double> child(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto start = Clock::now();
    process.start(QCoreApplication::applicationFilePath(), arguments);
    process.waitForFinished(-1);
    const double wall = since(start);
    return {wall, process.readAllStandardOutput().trimmed().toDouble()};
}

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Row
{
    const char* what;
    double measured;
    double floor;
    double ratio;
};

// Pairs of `measured` followed by `floor`, each as whole processes or by the time they print.
Row pairs(const char* what, const QStringList& measured, const QStringList& floor, bool printedTimes)
{
    std::vector<double> measuredTimes, floorTimes, ratios;
    child(measured); // the first start pays for the page cache
    for (int pair = 0; pair < kPairs; ++pair) {
        const auto a = child(measured);
        const auto b = child(floor);
        measuredTimes.push_back(printedTimes ? a.second : a.first);
        floorTimes.push_back(printedTimes ? b.second : b.first);
        ratios.push_back(measuredTimes.back() / floorTimes.back());
        std::fprintf(stderr, "%s: %.4f / %.4f\n", what, measuredTimes.back(), floorTimes.back());
    }
    return {what, medianOf(measuredTimes), medianOf(floorTimes), medianOf(ratios)};
}

void writeUsers(const QString& path, int names)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QByteArray users;
    for (int index = 0; index < names; ++index)
        users += "person" + QByteArray::number(static_cast<qint64>(index) * 7919 % names) + "\r\n";
    file.write(users);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if ((mode == "program" || mode == "main") && argc > 2 && QDir::setCurrent(QString::fromLocal8Bit(argv[2])))
        return runProgram(argc, argv, mode == "main");
    if (mode == "bare")
        return runBare(argc, argv);

    QCoreApplication application(argc, argv);
    QTemporaryDir none;
    QTemporaryDir million;
    writeUsers(million.filePath("users.cfg"), 1000000);
    const Row rows[] = {
        pairs("Start to the welcome window painted (floor: bare)", {"program", none.path()}, {"bare"}, false),
        pairs("Main window painted after the welcome (floor: bare)", {"main", none.path()}, {"bare"}, true),
        pairs("Start with 1 million correspondents (floor: none)", {"program", million.path()},
              {"program", none.path()}, false),
    };
    std::printf("%-52s %10s %10s %9s\n", "seconds: medians of pairs", "measured", "floor", "ratio");
    for (const Row& row : rows)
        std::printf("%-52s %10.4f %10.4f %8.2fx\n", row.what, row.measured, row.floor, row.ratio);
    std::printf("start-up ratios: startup=%.2f startup_main=%.2f list_1m=%.2f\n", rows[0].ratio, rows[1].ratio,
                rows[2].ratio);
    return 0;
}
