#define SPINDLE_UI_TESTS
#include "app/ui/debug_unit.h"
#include "app/ui/integrator.h"
#include "base/session.h"
#include "app/ui/windows.h"
#include "ui/style.h"
#include "exec/dos_command.h"
#include "ui/memo_lines.h"
#include "platform/platform.h"
#include "testutil.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_folder = nullptr; // Spindle's folder
    QTemporaryDir *m_cwd = nullptr; // the start directory
    QString m_savedStart;
    FakeDialogs *m_dialogs = nullptr;

    QString inFolder(const QString &name) const { return m_folder->filePath(name); }
    TIntegrator *main() const { return app::windows().Integrator; }
    TDebug_win *debugWin() const { return app::windows().Debug_win; }
    void start(const QStringList &args)
    {
        main()->setArguments(args);
        main()->FormActivate();
    }

private slots:
    void init()
    {
        m_folder = new QTemporaryDir;
        m_cwd = new QTemporaryDir;
        m_savedStart = platform::startDirectory();
        platform::setStartDirectory(m_cwd->path()); // where Spindle was started
        platform::setSpindleFolder(m_folder->path());
        for (const char *tool : {"mkisofs", "cdrecord", "readcd", "dd", "bbie"})
            writeAll(inFolder(tool), "");
        m_dialogs = new FakeDialogs;
        ui::setDialogs(m_dialogs);
        app::windows().session.DebugMode = app::windows().session.Win9xMode = false;
        app::createWindows();
    }
    void cleanup()
    {
        app::destroyWindows();
        ui::setDialogs(nullptr);
        delete m_dialogs;
        platform::setStartDirectory(m_savedStart);
        delete m_cwd;
        delete m_folder;
    }

    void windowsInCreationOrder()
    {
        const app::Windows &w = app::windows();
        QCOMPARE(w.Integrator->windowTitle(), QStringLiteral("Spindle v2"));
        QCOMPARE(w.Debug_win->windowTitle(), QStringLiteral("Debug Window"));
        QVERIFY(!w.Debug_win->isVisible());
        QCOMPARE(main()->findChild<QCheckBox *>("cbDebug")->text(), QStringLiteral("Debug this session"));
    }

    void normalMode()
    {
        start({});
        QCOMPARE(main()->Label1->text(), QStringLiteral("Running in normal mode"));
        QVERIFY(!main()->cbDebug->isChecked());
        QVERIFY(!QFile::exists(inFolder("capture.tmp")));
        QVERIFY(!QFile::exists(inFolder("debug.tmp")));
        QVERIFY(m_dialogs->log.isEmpty());
    }

    void win98debug()
    {
        start({"-win98debug"});
        QCOMPARE(main()->Label1->text(), QStringLiteral("Running in Win98 debug mode"));
        QVERIFY(app::windows().session.DebugMode && app::windows().session.Win9xMode);
        QCOMPARE(QFileInfo(inFolder("capture.tmp")).size(), 0);
        QCOMPARE(QFileInfo(inFolder("debug.tmp")).size(), 0);
        QVERIFY(main()->cbDebug->isChecked());
        QVERIFY(debugWin()->isVisible());
        QVERIFY(debugWin()->Memo1->toPlainText().isEmpty());
    }

    void scratchFilesTruncated()
    {
        writeAll(inFolder("capture.tmp"), "old text");
        start({"-win98"});
        QCOMPARE(QFileInfo(inFolder("capture.tmp")).size(), 0);
        QVERIFY(app::windows().session.Win9xMode && !app::windows().session.DebugMode);
        QVERIFY(!main()->cbDebug->isChecked());
    }

    void unknownSwitches()
    {
        start({"-WIN98"});
        QCOMPARE(main()->Label1->text(), QStringLiteral("Unknown switch, running in normal mode"));
        QVERIFY(!app::windows().session.Win9xMode);
        QVERIFY(!QFile::exists(inFolder("capture.tmp")));
    }

    void startsOnce()
    {
        start({"-debug", "extra"});
        QCOMPARE(main()->Label1->text(), QStringLiteral("Running in debug mode"));
        main()->cbDebug->setChecked(false);
        main()->FormActivate(); // a later activation runs nothing
        QVERIFY(!main()->cbDebug->isChecked());
    }

    // A scratch file that cannot be created: the error box, and nothing
    // after it runs (no flags, no tool check).
    void scratchFileFails()
    {
        QDir(m_folder->path()).mkdir("debug.tmp"); // a folder in the way
        QFile::remove(inFolder("bbie"));
        start({"-win98debug"});
        QCOMPARE(m_dialogs->log.size(), 1);
        QVERIFY(m_dialogs->log.first().startsWith("error:Cannot create file \"" + inFolder("debug.tmp") + "\". "));
        QVERIFY(!app::windows().session.DebugMode && !app::windows().session.Win9xMode);
        QVERIFY(main()->Label1->text().isEmpty());
    }

    void missingToolUnderDebug()
    {
        QFile::remove(inFolder("cdrecord"));
        QSignalSpy closed(main(), &TIntegrator::closed);
        m_dialogs->confirmAnswers << false;
        main()->show();
        start({"-debug"});
        QCOMPARE(m_dialogs->log,
                 (QStringList{"message::Needed file is missing: cdrecord (looked for in " + m_cwd->path() + "/ and "
                                  + m_folder->path() + "/). Please read help file about how to install Spindle",
                              "document:" + inFolder("help.chm"),
                              "confirm:Debug session was selected, do you want to save the log file? "}));
        QCOMPARE(closed.count(), 1);
    }

    // With no desktop viewer, the help promised by the missing-tool message
    // opens in Spindle's own window, and Spindle ends only when it closes.
    void missingToolsNamedAndHelpStaysOpen()
    {
        QFile::remove(inFolder("dd"));
        QFile::remove(inFolder("bbie"));
        QDir().mkpath(inFolder("help"));
        writeAll(inFolder("help/index.html"), "<p>help</p>");
        m_dialogs->openableSuffixes.clear();
        QSignalSpy closed(main(), &TIntegrator::closed);
        main()->show();
        start({});
        QCOMPARE(m_dialogs->log,
                 (QStringList{"message::Needed file is missing: dd, bbie (looked for in " + m_cwd->path() + "/ and "
                                  + m_folder->path() + "/). Please read help file about how to install Spindle",
                              "html:" + inFolder("help/index.html")}));
        QVERIFY(m_dialogs->helpWindow);
        QCOMPARE(closed.count(), 0);
        QVERIFY(!main()->isVisible());
        m_dialogs->helpWindow->close(); // deletes it
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 30000);
    }

    // Help: help.chm from the current directory, then Spindle's folder; the
    // staged HTML pages when the desktop has no CHM viewer; Spindle's own
    // window when it has no browser either.
    void helpOpensWhatTheDesktopCan()
    {
        start({});
        writeAll(inFolder("help.chm"), "chm");
        QDir().mkpath(inFolder("help"));
        writeAll(inFolder("help/index.html"), "<p>help</p>");
        main()->SpeedButton4Click();
        writeAll(m_cwd->filePath("help.chm"), "chm");
        main()->SpeedButton4Click();
        QFile::remove(m_cwd->filePath("help.chm"));
        m_dialogs->openableSuffixes = QStringList{"html"};
        main()->SpeedButton4Click();
        m_dialogs->openableSuffixes.clear();
        main()->SpeedButton4Click();
        QCOMPARE(m_dialogs->log, (QStringList{"document:" + inFolder("help.chm"),
                                              "document:" + m_cwd->filePath("help.chm"),
                                              "document:" + inFolder("help/index.html"),
                                              "html:" + inFolder("help/index.html")}));
    }

    void toolInCurrentDirectoryCounts()
    {
        QFile::rename(inFolder("bbie"), m_cwd->filePath("bbie"));
        start({});
        QVERIFY(m_dialogs->log.isEmpty());
    }

    void exitSavesLogWithoutDdrLines()
    {
        start({"-win98debug"});
        debugWin()->addText("ddr first line\nkeep me\nan address ddr here\nlast");
        const QString log = m_cwd->filePath("session.log");
        m_dialogs->confirmAnswers << true;
        m_dialogs->fileAnswers << log;
        QVERIFY(main()->FormCloseQuery());
        QCOMPARE(readAll(log), QByteArray("keep me\nlast\n"));
        QCOMPARE(m_dialogs->fileOptions.first().filter, QStringLiteral("Log File|*.log"));
        QCOMPARE(m_dialogs->fileOptions.first().defaultExt, QStringLiteral("log"));
        QCOMPARE(m_dialogs->fileOptions.first().fileName, QStringLiteral("debug"));
        QVERIFY(!QFile::exists(inFolder("capture.tmp")));
        QVERIFY(!QFile::exists(inFolder("debug.tmp")));
    }

    // A run of lines that say the same is logged as one line with a count.
    void logFoldsRepeatedLines()
    {
        start({"-debug"});
        debugWin()->text("Using A;1 for /t/a (a)\nUsing B;1 for /t/b (b)\nUsing C;1 for /t/c (c)\ndone\n");
        QCOMPARE(debugWin()->Memo1->toPlainText(),
                 QStringLiteral("Using A;1 for /t/a (a)  [and 2 more lines like this]\ndone\n"));
    }

    // Text moved into debug.tmp is part of the session: saved first.
    void exitSavesSpilledTextFirst()
    {
        start({"-win98debug"});
        debugWin()->addText(QString(64500, 'a') + "\nddr spilled");
        QVERIFY(debugWin()->Memo1->toPlainText().isEmpty());
        debugWin()->addText("tail\nddr gone\nend");
        const QString log = m_cwd->filePath("session.log");
        m_dialogs->confirmAnswers << true;
        m_dialogs->fileAnswers << log;
        QVERIFY(main()->FormCloseQuery());
        QCOMPARE(readAll(log), QByteArray(64500, 'a') + "\ntail\nend\n");
        QVERIFY(!QFile::exists(inFolder("debug.tmp")));
    }

    void exitWithCancelledDialogWritesNothing()
    {
        start({"-debug"});
        debugWin()->addEntry("entering Make ISO module");
        m_dialogs->confirmAnswers << true;
        QVERIFY(main()->FormCloseQuery());
        QCOMPARE(m_dialogs->log.last(), QStringLiteral("save:Log File|*.log"));
        QVERIFY(QDir(m_cwd->path()).entryList(QDir::Files).isEmpty());
        QVERIFY(QDir(m_folder->path()).entryList({"*.log"}).isEmpty());
    }

    void exitWithUnwritableLog()
    {
        start({"-debug"});
        m_dialogs->confirmAnswers << true;
        m_dialogs->fileAnswers << "/nonexistent-dir/x.log";
        QVERIFY(main()->FormCloseQuery());
        QVERIFY(m_dialogs->log.last().startsWith("error:Cannot create file \"/nonexistent-dir/x.log\". "));
    }

    void exitInNormalModeAsksNothing()
    {
        start({});
        QVERIFY(main()->FormCloseQuery());
        QVERIFY(m_dialogs->log.isEmpty());
    }

    void debugBoxClearsAndHides()
    {
        start({});
        main()->cbDebug->setChecked(true);
        QVERIFY(app::windows().session.DebugMode && debugWin()->isVisible());
        debugWin()->addEntry("entering Make ISO module");
        QCOMPARE(debugWin()->Memo1->toPlainText(), QStringLiteral("\n*****  entering Make ISO module\n"));
        main()->cbDebug->setChecked(false);
        QVERIFY(!app::windows().session.DebugMode && !debugWin()->isVisible());
        QVERIFY(!debugWin()->Memo1->toPlainText().isEmpty()); // hidden, kept
        main()->cbDebug->setChecked(true);
        QVERIFY(debugWin()->Memo1->toPlainText().isEmpty()); // a new log
    }

    // A runner writing straight into the log, as the drive scan does.
    void runnerIntoDebugMemo()
    {
        start({"-debug"});
        debugWin()->addEntry("scan");
        exec::TDosCommand c;
        bool done = false;
        c.OnTerminated = [&](exec::TDosCommand *, quint32) { done = true; };
        c.setOutputLines(debugWin()->memoLines());
        c.CommandLine = '"' + testChild() + "\" write one\\n two\\n";
        c.Execute();
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
        debugWin()->addEntry("after");
        QCOMPARE(debugWin()->Memo1->toPlainText(), QStringLiteral("\n*****  scan\n\none\ntwo\n*****  after\n"));
    }

    void debugOverflowInWin9x()
    {
        start({"-win98debug"});
        TDebug_win *d = debugWin();
        d->addText(QString(63999, 'a'));
        d->addText("b"); // exactly 64000: stays
        QCOMPARE(ui::memo::textLength(d->Memo1), 64000);
        QCOMPARE(QFileInfo(inFolder("debug.tmp")).size(), 0);
        d->addText("c"); // 64001: moves out
        QVERIFY(d->Memo1->toPlainText().isEmpty());
        QCOMPARE(readAll(inFolder("debug.tmp")), QByteArray(63999, 'a') + "bc\n");
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
