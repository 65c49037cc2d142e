#include "files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace platform {

bool fileExists(const QString &path)
{
    QFileInfo fi(path);
    return fi.exists() && !fi.isDir();
}

bool removeFile(const QString &path) { return QFile::remove(path); }

bool createEmptyFile(const QString &path, QString *reason)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (reason) *reason = f.errorString();
        return false;
    }
    return true;
}

bool writeFileAtomic(const QString &path, const QByteArray &data, QString *reason)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        if (reason) *reason = f.errorString();
        return false;
    }
    return true;
}

bool appendToFile(const QString &path, const QByteArray &data, QString *reason)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append) || f.write(data) != data.size()
        || !f.flush()) {
        if (reason) *reason = f.errorString();
        return false;
    }
    return true;
}

QString cannotOpenText(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}

QString cannotCreateText(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

QString lastErrorText() { return errorText(errno); }

QString errorText(int errnum) { return QString::fromLocal8Bit(std::strerror(errnum)); }

} // namespace platform
