#include "base/help.h"

#include "platform/platform.h"

#include <QDir>
#include <QFileInfo>

namespace base {

HelpFiles findHelp()
{
    HelpFiles h;
    const QString name = QStringLiteral("help.chm");
    const QString index = QStringLiteral("help/index.html");
    for (const QString &folder : {platform::startDirectory(), platform::spindleFolder()}) {
        const QDir dir(folder);
        if (h.chm.isEmpty() && platform::fileExists(dir.absoluteFilePath(name)))
            h.chm = QDir::cleanPath(dir.absoluteFilePath(name));
        // The pages beside the help file found; else the first staged copy.
        const QString html = QDir::cleanPath(dir.absoluteFilePath(index));
        const bool besideChm = h.chm.isEmpty() || QFileInfo(h.chm).absolutePath() == QDir::cleanPath(dir.absolutePath());
        if (h.html.isEmpty() && besideChm && platform::fileExists(html))
            h.html = html;
    }
    return h;
}

} // namespace base
