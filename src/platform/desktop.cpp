#include "platform/desktop.h"

#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

bool hasDesktopHandler(const QString &path)
{
    // The desktop's own registry of default programs; without it (no
    // desktop integration installed) nothing can be handed over.
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty())
        return false;
    QProcess p;
    p.start(query, {QStringLiteral("query"), QStringLiteral("default"),
                    QMimeDatabase().mimeTypeForFile(path).name()});
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    return p.exitCode() == 0 && !p.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace platform
