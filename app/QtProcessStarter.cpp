#include "QtProcessStarter.h"

#include "CommandLine.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QUrl>

namespace qb {

void QtProcessStarter::start(const std::string& commandLine)
{
    const std::optional<CommandLine> parts = splitCommandLine(commandLine);
    if (!parts)
        return;
    // The parts name files by their bytes on disk, so they are decoded as the file system encodes names.
    QStringList arguments;
    for (const std::string& argument : parts->arguments)
        arguments << QFile::decodeName(QByteArray::fromStdString(argument));
    QProcess::startDetached(QFile::decodeName(QByteArray::fromStdString(parts->program)), arguments);
}

void QtProcessStarter::openUrl(const std::string& url)
{
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

} // namespace qb
