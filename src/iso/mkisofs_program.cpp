#include "iso/mkisofs_program.h"

#include "iso/command_builder.h"
#include "platform/platform.h"
#include "platform/process.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>

#include <sys/stat.h>

namespace iso {

Builder builderOfVersionText(const QStringList &lines)
{
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("genisoimage ")))
            return Builder::Genisoimage;
        if (line.startsWith(QLatin1String("mkisofs ")))
            return line.contains(QLatin1String("xorriso")) ? Builder::Xorrisofs
                   : line.contains(QLatin1String("Emulation")) ? Builder::Unknown
                                                               : Builder::Cdrtools;
    }
    return Builder::Unknown;
}

namespace {
constexpr int kQueryMs = 5000;
constexpr qint64 kMaxOutput = 64 * 1024;

QStringList versionOutput(const QString &path)
{
    QProcess proc;
    proc.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    proc.setProcessEnvironment(env);
    const qint64 group = platform::startInOwnGroup(proc, QIODevice::ReadOnly, {platform::encodePath(path), "-version"});
    if (group == 0)
        return {};
    QByteArray out;
    const QDeadlineTimer deadline(kQueryMs);
    while (out.size() < kMaxOutput && !deadline.hasExpired()) {
        if (!proc.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
            break;
        out += proc.read(kMaxOutput - out.size());
    }
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

Builder builderOfProgram(const QString &path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(platform::encodePath(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return Builder::Unknown;
    // Asked once for each state of the file.
    static QHash<QString, std::pair<QString, Builder>> known;
    const QString state = QStringLiteral("%1 %2 %3").arg(st.st_dev).arg(st.st_ino).arg(st.st_mtim.tv_nsec + st.st_mtime * 1000000000LL);
    const auto it = known.constFind(path);
    if (it != known.constEnd() && it->first == state)
        return it->second;
    const Builder b = builderOfVersionText(versionOutput(path));
    known.insert(path, {state, b});
    return b;
}

void identifyBuilder(IsoOptions &o)
{
    const MkisoPaths paths = resolvePaths(o);
    o.setBuilder(builderOfProgram(paths.program.contains(QLatin1Char('/'))
                                      ? paths.program
                                      : platform::findProgram(paths.program, paths.runFolder)));
}

} // namespace iso
