#pragma once

#include "Errors.h"
#include "ListBoxWidget.h"
#include "TempDir.h"

#include <QFile>
#include <QtTest>

#include <string>
#include <vector>

namespace qbtest {

// Qt-typed forms of the shared file helpers (TempDir.h). A missing file reads as "<missing>", which a comparison
// shows, where an exception would end the whole test program.
inline QByteArray readFile(const QString& path)
{
    return QFile::exists(path) ? QByteArray::fromStdString(readBytes(QFile::encodeName(path).toStdString()))
                               : QByteArray("<missing>");
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    writeBytes(QFile::encodeName(path).toStdString(), bytes.toStdString());
}

// For QCOMPARE, which prints a QStringList that differs but not a std::vector.
inline QStringList qStrings(const std::vector<std::string>& texts)
{
    QStringList strings;
    for (const std::string& text : texts)
        strings << QString::fromStdString(text);
    return strings;
}

inline QStringList entries(const qb::ListBoxWidget& list)
{
    QStringList shown;
    for (int row = 0; row < list.count(); ++row)
        shown << list.text(row);
    return shown;
}

// A named child that must exist: a missing one is a broken window, not a failed check.
template <typename T = QWidget> T* child(const QObject& parent, const QString& name)
{
    T* found = parent.findChild<T*>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

// The message of the `E` that `call` throws, or "<no error>".
template <typename E = qb::Error, typename Call> QString errorFrom(Call&& call)
{
    try {
        call();
    } catch (const E& error) {
        return QString::fromUtf8(error.what());
    }
    return QStringLiteral("<no error>");
}

// Names the table row a failure comes from; the failure message itself gives only the line.
class RowTrace
{
public:
    explicit RowTrace(const QString& row) : m_row(row) {}
    ~RowTrace()
    {
        if (QTest::currentTestFailed())
            qWarning("in row \"%s\"", qPrintable(m_row));
    }
    RowTrace(const RowTrace&) = delete;
    RowTrace& operator=(const RowTrace&) = delete;

private:
    QString m_row;
};

} // namespace qbtest
