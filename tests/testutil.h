#pragma once
// Helpers shared by the tests.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <csignal>

#ifdef SPINDLE_UI_TESTS
#include "base/dialogs.h"
#include <QQueue>
#include <functional>

// Answers every dialog from queues and records what was asked, in order:
// "message:TITLE:TEXT", "confirm:TEXT", "error:TEXT", "open:FILTER",
// "save:FILTER", "document:TARGET".
class FakeDialogs : public base::Dialogs
{
public:
    QStringList log;
    QList<bool> confirmAnswers;  // default when empty: No
    QList<QString> fileAnswers;  // default when empty: cancelled
    QList<base::FileDialogOptions> fileOptions;
    QList<Icon> messageIcons; // one per message box, in order
    std::function<void(const QString &)> onMessage;

    void message(QWidget *, const QString &text, const QString &title, Icon icon) override
    {
        log << QStringLiteral("message:%1:%2").arg(title, text);
        messageIcons << icon;
        if (onMessage)
            onMessage(text);
    }
    bool confirm(QWidget *, const QString &text) override
    {
        log << QStringLiteral("confirm:") + text;
        return confirmAnswers.isEmpty() ? false : confirmAnswers.takeFirst();
    }
    void error(QWidget *, const QString &text) override { log << QStringLiteral("error:") + text; }
    QString openFile(QWidget *, const base::FileDialogOptions &o) override
    {
        log << QStringLiteral("open:") + o.filter;
        fileOptions << o;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString saveFile(QWidget *, const base::FileDialogOptions &o) override
    {
        log << QStringLiteral("save:") + o.filter;
        fileOptions << o;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    void openDocument(const QString &target) override { log << QStringLiteral("document:") + target; }
};
#endif

inline QString binDir() { return QCoreApplication::applicationDirPath(); }
inline QString testChild() { return binDir() + QStringLiteral("/spindle-testchild"); }

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Gone, or a zombie that will never run again.
inline bool processGone(qint64 pid)
{
    if (::kill(pid_t(pid), 0) != 0)
        return true;
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = stat.lastIndexOf(')');
    return close > 0 && stat.size() > close + 2 && stat[close + 2] == 'Z';
}

inline bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}
