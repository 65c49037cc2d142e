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
#include <sys/stat.h>
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


// Folders and files made by their names' bytes (QDir and QFile re-encode a
// name that is not UTF-8).
inline bool makeFolders(const QByteArray &path)
{
    for (qsizetype at = 1; at <= path.size(); ++at)
        if (at == path.size() || path[at] == '/')
            if (::mkdir(path.left(at).constData(), 0755) != 0 && errno != EEXIST)
                return false;
    return true;
}
inline bool writeBytesAt(const QByteArray &path, const QByteArray &data)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), size_t(data.size())) == data.size();
    return ::close(fd) == 0 && ok;
}
