#include "QtProcessStarter.h"

#include "CommandLine.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QUrl>

namespace qb {

std::string QtProcessStarter::start(const CommandLine& command)
{
    // The parts name files by their bytes on disk, so they are decoded as the file system encodes names.
    QStringList arguments;
    for (const std::string& argument : command.arguments)
        arguments << QFile::decodeName(QByteArray::fromStdString(argument));
    QProcess process;
    process.setProgram(QFile::decodeName(QByteArray::fromStdString(command.program)));
    process.setArguments(arguments);
    if (process.startDetached())
        return {};
    return process.errorString().toStdString();
}

void QtProcessStarter::openUrl(const std::string& url)
{
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

} // namespace qb
