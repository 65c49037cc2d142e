#pragma once
// Helpers shared by the tests.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <csignal>

#ifdef SPINDLE_UI_TESTS
#include "app/windows.h"
#include "base/dialogs.h"
#include "exec/dos_command.h"
#include <QPointer>
#include <QQueue>
#include <QWidget>
#include <functional>
#include <utility>

// Answers every dialog from queues and records what was asked, in order:
// "message:TITLE:TEXT", "confirm:TEXT", "error:TEXT", "open:FILTER",
// "save:FILTER", "document:TARGET", "html:INDEX".
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
    // One per confirmation, in order: whether Yes was its default.
    QList<bool> confirmYesDefaults;
    // Runs while a confirmation is open, before it is answered (a user who
    // takes time to answer); closeQuestions during it closes the question.
    std::function<void()> whileQuestionOpen;
    bool questionOpen = false;

    bool confirm(QWidget *parent, const QString &text) override { return ask(parent, text, false); }
    bool confirmYesDefault(QWidget *parent, const QString &text) override { return ask(parent, text, true); }
    void closeQuestions(QWidget *parent) override
    {
        if (questionOpen && parent == m_questionParent) {
            questionOpen = false;
            m_closed = true;
            log << QStringLiteral("closed");
        }
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
    // File types the fake desktop has a program for.
    QStringList openableSuffixes{QStringLiteral("chm"), QStringLiteral("html")};
    void openDocument(const QString &target) override { log << QStringLiteral("document:") + target; }
    bool canOpenDocument(const QString &path) override
    {
        return openableSuffixes.contains(QFileInfo(path).suffix());
    }
    // The help window showHtml opened, while it is open.
    QPointer<QWidget> helpWindow;
    QWidget *showHtml(const QString &indexPath) override
    {
        log << QStringLiteral("html:") + indexPath;
        if (!helpWindow) {
            helpWindow = new QWidget;
            helpWindow->setAttribute(Qt::WA_DeleteOnClose);
        }
        return helpWindow;
    }

private:
    bool ask(QWidget *parent, const QString &text, bool yesDefault)
    {
        log << QStringLiteral("confirm:") + text;
        confirmYesDefaults << yesDefault;
        const bool answer = confirmAnswers.isEmpty() ? false : confirmAnswers.takeFirst();
        if (!whileQuestionOpen)
            return answer;
        m_questionParent = parent;
        m_closed = false;
        questionOpen = true;
        const auto wait = std::exchange(whileQuestionOpen, nullptr);
        wait();
        questionOpen = false;
        return m_closed ? false : answer;
    }
    QWidget *m_questionParent = nullptr;
    bool m_closed = false;
};

// Creates the program's windows with `d` answering every dialog; the
// runner's start errors go to its error box.
inline void createWindowsWith(FakeDialogs *d)
{
    base::setDialogs(d);
    exec::TDosCommand::setErrorReporter([](const QString &m) { base::dialogs().error(nullptr, m); });
    app::createWindows();
}
// Undoes createWindowsWith and leaves the working folder.
inline void destroyWindowsOf(FakeDialogs *d)
{
    app::destroyWindows();
    base::setDialogs(nullptr);
    delete d;
    QDir::setCurrent(QDir::tempPath());
}
#endif

// Makes a folder current for one scope and restores the previous one.
// Declare it after the folder it enters, so the folder outlives it.
class CurrentDirScope
{
public:
    explicit CurrentDirScope(const QString &folder) : m_saved(QDir::currentPath()) { QDir::setCurrent(folder); }
    ~CurrentDirScope() { QDir::setCurrent(m_saved); }
    CurrentDirScope(const CurrentDirScope &) = delete;
    CurrentDirScope &operator=(const CurrentDirScope &) = delete;

private:
    QString m_saved;
};

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

#ifdef SPINDLE_TEST_DATA
// A recorded file from tests/data, copied into `folder` so a test can never
// change the original. Returns the copy's path, or empty when missing.
inline QString testDataCopy(const QString &name, const QString &folder)
{
    const QString copy = QDir(folder).filePath(QFileInfo(name).fileName());
    QFile::remove(copy);
    if (!QFile::copy(QStringLiteral(SPINDLE_TEST_DATA "/") + name, copy))
        return QString();
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    return copy;
}
#endif

inline bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}
