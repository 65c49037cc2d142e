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
    // Both folders are absolute, with a trailing separator.
    for (const QString &folder : {platform::startDirectory(), platform::spindleFolder()}) {
        if (h.chm.isEmpty() && platform::fileExists(folder + name))
            h.chm = QDir::cleanPath(folder + name);
        // The pages beside the help file found; else the first staged copy.
        const QString html = QDir::cleanPath(folder + index);
        const bool besideChm = h.chm.isEmpty() || QFileInfo(h.chm).absolutePath() == QDir::cleanPath(folder);
        if (h.html.isEmpty() && besideChm && platform::fileExists(html))
            h.html = html;
    }
    return h;
}

} // namespace base
