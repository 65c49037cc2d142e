// Names that only look alike: none of these touches the current directory.
// QDir::currentPath() in a comment is not a call.
#include <QDir>
QString spindleFolderCurrent();
bool a(const QString &p) { return QDir::isAbsolutePath(p) && QDir::cleanPath(p) == p; }
void takes(const QDir &dir);
QString b(const QString &p) { return QFileInfo(p).absoluteFilePath(); }
int currentPathLength = 0;
void mychdir();
const char *s = "getcwd";
