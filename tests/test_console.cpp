#define SPINDLE_UI_TESTS
#include "base/session.h"
#include "exec/console_capture.h"
#include "platform/platform.h"
#include "testutil.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestConsole : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_folder = nullptr;
    FakeDialogs *m_dialogs = nullptr;
    Tconsole *m_console = nullptr;

    QString child(const QString &args) { return '"' + testChild() + "\" " + args; }

private slots:
    void init()
    {
        m_folder = new QTemporaryDir;
        platform::setSpindleFolder(m_folder->path());
        m_dialogs = new FakeDialogs;
        base::setDialogs(m_dialogs);
        exec::TDosCommand::setErrorReporter([this](const QString &m) { base::dialogs().error(nullptr, m); });
        base::Win9xMode = false;
        m_console = new Tconsole;
    }
    void cleanup()
    {
        delete m_console;
        base::setDialogs(nullptr);
        delete m_dialogs;
        delete m_folder;
        base::Win9xMode = false;
    }

    void runShowsOutputAndCloses()
    {
        QCOMPARE(m_console->windowTitle(), QStringLiteral("Console capture"));
        bool visibleAtEnd = false;
        m_dialogs->onMessage = [&](const QString &) { visibleAtEnd = m_console->isVisible(); };
        m_console->run(child("write one\\r\\ntwo\\r\\n 50%\\r 100%\\r\\n"));
        QCOMPARE(m_dialogs->log, QStringList{"message:Info:Process finished!"});
        QVERIFY(visibleAtEnd);
        QVERIFY(!m_console->isVisible());
        QCOMPARE(m_console->Memo1->toPlainText(), QStringLiteral("one\ntwo\n50%\n100%"));
        QVERIFY(!QFile::exists(m_folder->filePath("capture.tmp")));
    }

    void progressLineUpdatedInPlace()
    {
        m_console->run(child("write 10% @200 \\r20% @200 \\rdone\\n"));
        QCOMPARE(m_console->Memo1->toPlainText(), QStringLiteral("10%\n20%\ndone"));
    }

    void noOutput()
    {
        m_console->run(child("exit 0"));
        QVERIFY(m_console->Memo1->toPlainText().isEmpty());
        QCOMPARE(m_dialogs->log, QStringList{"message:Info:Process finished!"});
    }

    void missingProgram()
    {
        m_console->run("no-such-tool-xyz -scanbus");
        QCOMPARE(m_dialogs->log, (QStringList{"message:Info:Process finished!",
                                              "error:no-such-tool-xyz -scanbus doesn't exist."}));
    }

    void pauseAnsweredByQueuedLine()
    {
        QTemporaryDir dir;
        writeAll(dir.filePath("build.bat"), "@echo off\r\necho building\r\npause\r\n");
        m_console->run(dir.path() + "/build.bat", {QString()});
        QCOMPARE(m_console->Memo1->toPlainText(), QStringLiteral("building\nPress any key to continue . . . "));
    }

    void win9xOverflow()
    {
        base::Win9xMode = true;
        // 70 lines of 999 characters and a line end: 70000 characters.
        const QString line(999, 'x');
        m_console->run(child("write " + QString("%1\\n").arg(line).repeated(70)));
        const QByteArray spilled = readAll(m_folder->filePath("capture.tmp"));
        // The memo first exceeds 64000 after its 65th line (65*1000-1 characters).
        QStringList first;
        for (int i = 0; i < 65; ++i)
            first << line;
        QStringList rest;
        for (int i = 0; i < 5; ++i)
            rest << line;
        QCOMPARE(m_console->Memo1->toPlainText(), rest.join('\n'));
        QCOMPARE(spilled, (first.join('\n') + "\n" + rest.join('\n') + "\n").toUtf8());
    }

    void win9xShortOutputWrittenAtClose()
    {
        base::Win9xMode = true;
        m_console->run(child("write short\\n"));
        QCOMPARE(readAll(m_folder->filePath("capture.tmp")), QByteArray("short\n"));
        QCOMPARE(m_console->Memo1->toPlainText(), QStringLiteral("short"));
    }

    void closingStopsTheRun()
    {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath("pid");
        QTimer::singleShot(1000, m_console, [this] { m_console->close(); });
        m_console->run(child("grandchild " + pidFile));
        const pid_t grandchild = pid_t(readAll(pidFile).trimmed().toLongLong());
        QVERIFY(grandchild > 0);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(grandchild), 5000);
    }
};

QTEST_MAIN(TestConsole)
#include "test_console.moc"
