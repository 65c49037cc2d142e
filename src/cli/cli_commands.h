#pragma once
#include <QStringList>

namespace cli {
int tools();
int exec(const QStringList &args);
int runBat(const QStringList &args);
int batch(const QStringList &args);
int devices(const QStringList &args);
int drives(const QStringList &args);
int caps(const QStringList &args);
int sortlist(const QStringList &args);
int attrib(const QStringList &paths);
int check(const QStringList &args);
} // namespace cli
