#include "cli_commands.h"

#include "platform/platform.h"

#include <cstdio>

namespace cli {

// Each path's attribute word as the folder listing reads it: "0x21 docs/a.txt".
int attrib(const QStringList &paths)
{
    if (paths.isEmpty()) {
        std::fputs("usage: spindle-cli attrib PATH...\n", stderr);
        return 2;
    }
    int rc = 0;
    for (const QString &path : paths) {
        quint16 word = 0;
        QString error;
        const QByteArray bytes = platform::encodePath(path);
        if (platform::readAttributes(path, &word, &error)) {
            std::printf("0x%02x %s\n", unsigned(word), bytes.constData());
        } else {
            std::fprintf(stderr, "spindle-cli: %s: %s\n", bytes.constData(), error.toLocal8Bit().constData());
            rc = 1;
        }
    }
    return rc;
}

} // namespace cli
