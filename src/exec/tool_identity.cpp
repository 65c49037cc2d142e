#include "exec/tool_identity.h"

#include "platform/platform.h"
#include "platform/process.h"
#include "exec/tools.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>

namespace exec {

namespace {

constexpr int kQueryMs = 5000;
constexpr qint64 kMaxOutput = 64 * 1024;

bool startsWith(const QString &line, const char *word) { return line.startsWith(QLatin1String(word)); }
bool has(const QString &line, const char *word) { return line.contains(QLatin1String(word)); }

// A line written for front-ends that look for another program's name.
bool pretends(const QString &line)
{
    return has(line, "is not what you see here") || has(line, "yelling-line");
}

Implementation implementationOf(const QString &line)
{
    if (startsWith(line, "cdrskin ") && has(line, "libburn"))
        return Implementation::Cdrskin;
    if (startsWith(line, "Wodim "))
        return Implementation::Wodim;
    if (startsWith(line, "genisoimage "))
        return Implementation::Genisoimage;
    if (startsWith(line, "readom "))
        return Implementation::Readom;
    if (startsWith(line, "mkisofs ") && has(line, "Emulation") && has(line, "xorriso"))
        return Implementation::Xorrisofs;
    if (startsWith(line, "Cdrecord") && has(line, "Emulation") && has(line, "xorriso"))
        return Implementation::Xorrecord;
    if (startsWith(line, "Cdrecord") && has(line, "Schilling"))
        return Implementation::CdrtoolsCdrecord;
    if (startsWith(line, "mkisofs ") && !has(line, "Emulation"))
        return Implementation::CdrtoolsMkisofs;
    if (startsWith(line, "readcd ") && has(line, "Schilling"))
        return Implementation::CdrtoolsReadcd;
    if (startsWith(line, "dd (coreutils)"))
        return Implementation::CoreutilsDd;
    return Implementation::Unknown;
}

struct Known
{
    QString state; // size and time of the file when it was asked
    ToolIdentity identity;
};

QMutex &cacheLock()
{
    static QMutex m;
    return m;
}
QHash<QString, Known> &cache()
{
    static QHash<QString, Known> c;
    return c;
}

// Runs one bounded version query; the output as lines.
QStringList versionOutput(const QString &path, const QString &arg)
{
    QProcess proc;
    proc.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    proc.setProcessEnvironment(env);
    const qint64 group =
        platform::startInOwnGroup(proc, QIODevice::ReadOnly, {platform::encodePath(path), arg.toLatin1()});
    if (group == 0)
        return {};
    QByteArray out;
    const QDeadlineTimer deadline(kQueryMs);
    while (out.size() < kMaxOutput && !deadline.hasExpired()) {
        if (!proc.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
            break; // ended, or silent until the deadline
        out += proc.read(kMaxOutput - out.size());
    }
    if (out.size() < kMaxOutput)
        out += proc.read(kMaxOutput - out.size());
    if (proc.state() != QProcess::NotRunning) {
        platform::killGroup(group);
        proc.waitForFinished(1000);
    }
    if (platform::groupRunning(group))
        platform::endJobLater(group);
    else
        platform::forgetJob(group);
    return QString::fromUtf8(out).split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
}

} // namespace

ToolIdentity identifyVersionText(const QStringList &lines)
{
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (pretends(line))
            continue;
        const Implementation i = implementationOf(line);
        if (i != Implementation::Unknown)
            return {i, line};
    }
    for (const QString &raw : lines)
        if (!raw.trimmed().isEmpty() && !pretends(raw))
            return {Implementation::Unknown, raw.trimmed()};
    return {};
}

QString implementationName(Implementation implementation)
{
    switch (implementation) {
    case Implementation::Unknown: return {};
    case Implementation::Genisoimage: return QStringLiteral("genisoimage");
    case Implementation::Xorrisofs: return QStringLiteral("xorrisofs (xorriso)");
    case Implementation::CdrtoolsMkisofs: return QStringLiteral("mkisofs (cdrtools)");
    case Implementation::Wodim: return QStringLiteral("wodim");
    case Implementation::Cdrskin: return QStringLiteral("cdrskin");
    case Implementation::CdrtoolsCdrecord: return QStringLiteral("cdrecord (cdrtools)");
    case Implementation::Xorrecord: return QStringLiteral("xorrecord (xorriso)");
    case Implementation::Readom: return QStringLiteral("readom");
    case Implementation::CdrtoolsReadcd: return QStringLiteral("readcd (cdrtools)");
    case Implementation::CoreutilsDd: return QStringLiteral("dd (coreutils)");
    case Implementation::Bbie: return QStringLiteral("bbie (Spindle)");
    }
    return {};
}

QString roleOf(Implementation implementation)
{
    switch (implementation) {
    case Implementation::Genisoimage:
    case Implementation::Xorrisofs:
    case Implementation::CdrtoolsMkisofs:
        return QStringLiteral("mkisofs");
    case Implementation::Wodim:
    case Implementation::Cdrskin:
    case Implementation::CdrtoolsCdrecord:
    case Implementation::Xorrecord:
        return QStringLiteral("cdrecord");
    case Implementation::Readom:
    case Implementation::CdrtoolsReadcd:
        return QStringLiteral("readcd");
    case Implementation::CoreutilsDd:
        return QStringLiteral("dd");
    case Implementation::Bbie:
        return QStringLiteral("bbie");
    case Implementation::Unknown:
        break;
    }
    return {};
}

QString roleOfName(const QString &programFileName)
{
    QString name = programFileName.toLower();
    if (name.endsWith(QLatin1String(".exe")))
        name.chop(4);
    static const QHash<QString, QString> roles = {
        {QStringLiteral("cdrecord"), QStringLiteral("cdrecord")}, {QStringLiteral("wodim"), QStringLiteral("cdrecord")},
        {QStringLiteral("cdrskin"), QStringLiteral("cdrecord")},  {QStringLiteral("xorrecord"), QStringLiteral("cdrecord")},
        {QStringLiteral("mkisofs"), QStringLiteral("mkisofs")},   {QStringLiteral("genisoimage"), QStringLiteral("mkisofs")},
        {QStringLiteral("xorrisofs"), QStringLiteral("mkisofs")}, {QStringLiteral("readcd"), QStringLiteral("readcd")},
        {QStringLiteral("readom"), QStringLiteral("readcd")},     {QStringLiteral("dd"), QStringLiteral("dd")},
        {QStringLiteral("bbie"), QStringLiteral("bbie")},
    };
    return roles.value(name);
}

ToolIdentity identifyProgram(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return {};
    const QString name = file.fileName();
    // Spindle's own program: nothing to ask.
    if (roleOfName(name) == QLatin1String("bbie"))
        return {Implementation::Bbie, QStringLiteral("bbie (Spindle %1)").arg(QStringLiteral(SPINDLE_VERSION))};
    const QFileInfo target(file.canonicalFilePath().isEmpty() ? path : file.canonicalFilePath());
    const QString state = QStringLiteral("%1 %2 %3")
                              .arg(target.absoluteFilePath())
                              .arg(target.size())
                              .arg(target.lastModified().toMSecsSinceEpoch());
    {
        QMutexLocker lock(&cacheLock());
        const auto it = cache().constFind(file.absoluteFilePath());
        if (it != cache().constEnd() && it->state == state)
            return it->identity;
    }
    const bool gnu = roleOfName(name) == QLatin1String("dd");
    const ToolIdentity identity =
        identifyVersionText(versionOutput(path, gnu ? QStringLiteral("--version") : QStringLiteral("-version")));
    QMutexLocker lock(&cacheLock());
    cache().insert(file.absoluteFilePath(), {state, identity});
    return identity;
}

ToolIdentity identifyTool(const QString &toolFile)
{
    const QString path = findTool(toolFile);
    return path.isEmpty() ? ToolIdentity{} : identifyProgram(path);
}

QString describe(const ToolIdentity &identity)
{
    if (identity.implementation == Implementation::Unknown)
        return identity.versionLine.isEmpty() ? QStringLiteral("unknown program")
                                              : QStringLiteral("unknown program (%1)").arg(identity.versionLine);
    return QStringLiteral("%1 (%2)").arg(implementationName(identity.implementation), identity.versionLine);
}

QStringList toolReport()
{
    QStringList lines;
    for (const QString &name : toolNames()) {
        const QString path = findTool(name);
        lines << name + QStringLiteral(": ")
                     + (path.isEmpty() ? QStringLiteral("missing") : describe(identifyProgram(path)));
    }
    return lines;
}

} // namespace exec
