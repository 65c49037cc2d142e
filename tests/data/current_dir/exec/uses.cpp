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
