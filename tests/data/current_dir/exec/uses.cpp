// Each line below reads or changes the process's current directory.
#include <QDir>
#include <unistd.h>
void a() { QDir::setCurrent("/tmp"); }
QString b() { return QDir::currentPath(); }
QString c() { return QDir::current().absoluteFilePath("x"); }
int d() { return ::chdir("/"); }
char *e(char *buf) { return getcwd(buf, 10); }
QString f() { return QDir().absoluteFilePath("x"); }
QString g() { return QFileInfo(QStringLiteral("build.bat")).absoluteFilePath(); }
QString h(const QString &batch, const QString &root) { return QDir(batch).filePath(root); }
QString i(const QString &folder) { const QDir dir(folder); return dir.absoluteFilePath("x"); }
QString j(const QString &p) { return QDir{p}.absoluteFilePath("x"); }
