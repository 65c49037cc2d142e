// The platform layer may read it, once, at start.
#include <QDir>
static QString g_start = QDir::currentPath();
