#pragma once
// Helpers shared by the tests: the support library (tests/support) and the
// few helpers that depend on a test's own definitions.
#include "support/file_calls.h"
#include "support/processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "exec/command_line.h"
#include "platform/path_codec.h"

// A command line given as text as the runner shows it once read into words.
inline QString rendered(const QString &text)
{
    return exec::parseCommandLine(platform::encodePath(text)).display();
}

// The words a program gets from a command, as text.
inline QStringList words(const exec::CommandLine &command)
{
    QStringList out;
    for (const QByteArray &w : command.argv())
        out << platform::decodePath(w);
    return out;
}

#ifdef SPINDLE_UI_TESTS
#include "app/ui/windows.h"
#include "exec/dos_command.h"
#include "support/windows.h"
#endif

// Makes a folder current for one scope and restores the previous one.
// Declare it after the folder it enters, so the folder outlives it.
class CurrentDirScope
{
public:
    explicit CurrentDirScope(const QString &folder) : m_saved(QDir::currentPath()) { QDir::setCurrent(folder); }
    ~CurrentDirScope() { QDir::setCurrent(m_saved); }
    CurrentDirScope(const CurrentDirScope &) = delete;
    CurrentDirScope &operator=(const CurrentDirScope &) = delete;

private:
    QString m_saved;
};

#ifdef SPINDLE_TEST_DATA
// A recorded file from tests/data, copied into `folder` so a test can never
// change the original. Returns the copy's path, or empty when missing.
inline QString testDataCopy(const QString &name, const QString &folder)
{
    const QString copy = QDir(folder).filePath(QFileInfo(name).fileName());
    QFile::remove(copy);
    if (!QFile::copy(QStringLiteral(SPINDLE_TEST_DATA "/") + name, copy))
        return QString();
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    return copy;
}
#endif

