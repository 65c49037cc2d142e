#define SPINDLE_UI_TESTS
#include "base/session.h"
#include "exec/ui/console_capture.h"
#include "platform/platform.h"
#include "testutil.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestConsole : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_folder = nullptr;
    FakeDialogs *m_dialogs = nullptr;
    Tconsole *m_console = nullptr;
    base::Session m_session;

    QString child(const QString &args) { return '"' + testChild() + "\" " + args; }
    // The console's first line: the folder the run is in and its command
    // line, as a terminal shows them.
    QString header(const QString &commandLine) const
    {
        QString folder = platform::spindleFolder();
        folder.chop(1);
        return folder + '>' + rendered(commandLine);
    }
    // The memo without that first line: the tool's own output.
    QString output() const
    {
        const QString all = m_console->Memo1->toPlainText();
        const qsizetype nl = all.indexOf('\n');
        return nl < 0 ? QString() : all.mid(nl + 1);
    }
    static QString data(const char *name) { return QStringLiteral("\"" SPINDLE_TEST_DATA "/%1\"").arg(name); }

    // After the result box of a failed or stopped run: records whether the
    // console stayed open for reading, then closes it as the user would.
    struct AfterFailure
    {
        bool open = false, closeShown = false, stopHidden = false;
    };
    void closeAfterResult(AfterFailure *seen)
    {
        m_dialogs->onMessage = [this, seen](const QString &) {
            QTimer::singleShot(0, m_console, [this, seen] {
                seen->open = m_console->isVisible();
                seen->closeShown = m_console->CloseBT->isVisible();
                seen->stopHidden = !m_console->StopBT->isVisible();
                m_console->CloseBT->click();
            });
        };
    }
    // Runs `act` once the child printed a line starting with `text`.
    void onLine(const QString &text, std::function<void()> act)
    {
        m_console->DosCommand1->OnNewLine = [this, text, act](exec::TDosCommand *, const QString &l,
                                                               exec::TOutputType) {
            if (l.startsWith(text)) {
                m_console->DosCommand1->OnNewLine = nullptr;
                QTimer::singleShot(0, m_console, act);
            }
        };
    }

private slots:
    void init()
    {
        m_folder = new QTemporaryDir;
        platform::setSpindleFolder(m_folder->path());
        m_dialogs = new FakeDialogs;
        ui::setDialogs(m_dialogs);
        exec::TDosCommand::setErrorReporter([](const QString &m) { ui::dialogs().error(nullptr, m); });
        m_session.Win9xMode = false;
        m_console = new Tconsole(m_session);
    }
    void cleanup()
    {
        delete m_console;
        ui::setDialogs(nullptr);
        delete m_dialogs;
        delete m_folder;
        m_session.Win9xMode = false;
    }

    void runShowsOutputAndCloses()
    {
        QCOMPARE(m_console->windowTitle(), QStringLiteral("Console capture"));
        bool visibleAtEnd = false;
        m_dialogs->onMessage = [&](const QString &) { visibleAtEnd = m_console->isVisible(); };
        const QString commandLine = child("write one\\r\\ntwo\\r\\n 50%\\r 100%\\r\\n");
        m_console->run(commandLine);
        QCOMPARE(m_dialogs->log, QStringList{"message:Info:Process finished!"});
        QCOMPARE(m_dialogs->messageIcons, QList<ui::Dialogs::Icon>{ui::Dialogs::Icon::Information});
        QVERIFY(visibleAtEnd);
        QVERIFY(!m_console->isVisible());
        QCOMPARE(m_console->Memo1->toPlainText(), header(commandLine) + QStringLiteral("\none\ntwo\n50%\n100%"));
        QVERIFY(m_console->resultLine().isEmpty());
        QCOMPARE(m_console->capturedText(), m_console->Memo1->toPlainText());
        QVERIFY(!QFile::exists(m_folder->filePath("capture.tmp")));
    }

    void progressLineUpdatedInPlace()
    {
        m_console->run(child("write 10% @200 \\r20% @200 \\rdone\\n"));
        QCOMPARE(output(), QStringLiteral("10%\n20%\ndone"));
    }

    void noOutput()
    {
        m_console->run(child("exit 0"));
        QCOMPARE(m_console->Memo1->toPlainText(), header(child("exit 0")));
        QCOMPARE(m_dialogs->log, QStringList{"message:Info:Process finished!"});
    }

    void failingToolStaysOpenWithItsOutput()
    {
        AfterFailure seen;
        closeAfterResult(&seen);
        m_console->run(child("write genisoimage:\\x20Unable\\x20to\\x20open\\x20disc\\x20image\\x20file\\n =3"));
        QCOMPARE(m_dialogs->log, QStringList{"message:Warning:Process finished!\nThe command failed with exit code 3."});
        QCOMPARE(m_dialogs->messageIcons, QList<ui::Dialogs::Icon>{ui::Dialogs::Icon::Warning});
        QVERIFY(seen.open);
        QVERIFY(seen.closeShown);
        QVERIFY(seen.stopHidden);
        QVERIFY(!m_console->isVisible());
        QCOMPARE(output(), QStringLiteral("genisoimage: Unable to open disc image file"));
        QVERIFY(m_console->capturedText().endsWith(QStringLiteral("\ngenisoimage: Unable to open disc image file\n"
                                                                  "The command failed with exit code 3.")));
        // The next successful run goes back to the plain flow.
        m_dialogs->log.clear();
        m_dialogs->onMessage = nullptr;
        // While it runs, the console offers Stop again, not the last run's Close.
        bool stopOffered = false, closeOffered = true;
        m_console->DosCommand1->OnNewLine = [&](exec::TDosCommand *, const QString &, exec::TOutputType) {
            stopOffered = m_console->isVisible() && m_console->StopBT->isVisible() && m_console->StopBT->isEnabled();
            closeOffered = m_console->CloseBT->isVisible();
        };
        m_console->run(child("write ok\\n"));
        QCOMPARE(m_dialogs->log, QStringList{"message:Info:Process finished!"});
        QVERIFY(stopOffered);
        QVERIFY(!closeOffered);
        QVERIFY(m_console->resultLine().isEmpty());
    }

    void missingProgram()
    {
        AfterFailure seen;
        closeAfterResult(&seen);
        m_console->run("no-such-tool-xyz -scanbus");
        QCOMPARE(m_dialogs->log, (QStringList{"message:Warning:Process finished!\nThe command could not be started.",
                                              "error:no-such-tool-xyz -scanbus doesn't exist."}));
        QVERIFY(seen.open);
    }

    // A file that is executable but no program fails at its start.
    void executableThatIsNoProgram()
    {
        QTemporaryDir dir;
        const QString fake = dir.filePath("mkisofs");
        QVERIFY(writeAll(fake, QByteArray("\x7f" "ELF garbage", 12)));
        QVERIFY(QFile::setPermissions(fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        AfterFailure seen;
        closeAfterResult(&seen);
        m_console->run('"' + fake + "\" -o x.iso .");
        QCOMPARE(m_dialogs->log.value(0).section('\n', 0, 0), QStringLiteral("message:Warning:Process finished!"));
        QVERIFY(!m_console->resultLine().isEmpty());
        QVERIFY(seen.open);
        QVERIFY(seen.closeShown);
    }

    // Shown only after its run failed: the result and the Close button.
    void shownAfterTheRunEnded()
    {
        m_console->DosCommand1->CommandLine = child("exit 4");
        m_console->DosCommand1->Execute();
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->resultLine().isEmpty(), 30000);
        QCOMPARE(m_dialogs->log, QStringList{"message:Warning:Process finished!\nThe command failed with exit code 4."});
        bool closeShown = false, stopShown = true;
        QTimer::singleShot(0, m_console, [&] {
            closeShown = m_console->CloseBT->isVisible();
            stopShown = m_console->StopBT->isVisible();
            m_console->CloseBT->click();
        });
        m_console->exec();
        QVERIFY(closeShown);
        QVERIFY(!stopShown);
        QCOMPARE(m_console->resultLine(), QStringLiteral("The command failed with exit code 4."));
    }

    void pauseAnsweredByQueuedLine()
    {
        QTemporaryDir dir;
        writeAll(dir.filePath("build.bat"), "@echo off\r\necho building\r\npause\r\n");
        m_console->run(dir.path() + "/build.bat", {QString()});
        QCOMPARE(output(), QStringLiteral("building\nPress any key to continue . . . "));
    }

    // A batch file runs in the folder it is given, which its echo prompt
    // shows, and so does the console's first line; Spindle's own current
    // directory plays no part.
    void batchRunsInItsWorkingDirectory()
    {
        QTemporaryDir dir;
        writeAll(dir.filePath("build.bat"), ("@echo on\r\n\"" + testChild() + "\" exit 0\r\n").toUtf8());
        writeAll(dir.filePath("rel.bat"), "@echo off\r\necho relative\r\n");
        m_console->run("rel.bat", {}, 0, dir.path() + '/');
        QCOMPARE(output(), QStringLiteral("relative"));
        QCOMPARE(m_console->Memo1->toPlainText().section('\n', 0, 0), dir.path() + ">rel.bat");
        m_console->run(dir.filePath("build.bat"), {}, 0, dir.path() + '/');
        QVERIFY2(output().contains(dir.path() + ">\"" + testChild() + "\" exit 0"), qPrintable(output()));
    }

    void win9xOverflow()
    {
        m_session.Win9xMode = true;
        // 70 lines of 999 characters and a line end: 70000 characters, one
        // write per line, so no read of the pipe cuts a line.
        const QString line(999, 'x');
        QTemporaryDir dir;
        QVERIFY(writeAll(dir.filePath("out.txt"), QString("%1\n").arg(line).repeated(70).toUtf8()));
        const QString commandLine = child("play " + dir.filePath("out.txt") + " 0");
        m_console->run(commandLine);
        const QByteArray spilled = readAll(m_folder->filePath("capture.tmp"));
        // With the command line as the memo's first line, the memo first
        // exceeds 64000 after the tool's 64th line.
        QStringList first{header(commandLine)};
        for (int i = 0; i < 64; ++i)
            first << line;
        QStringList rest;
        for (int i = 0; i < 6; ++i)
            rest << line;
        QCOMPARE(m_console->Memo1->toPlainText(), rest.join('\n'));
        QCOMPARE(spilled, (first.join('\n') + "\n" + rest.join('\n') + "\n").toUtf8());
    }

    void win9xShortOutputWrittenAtClose()
    {
        m_session.Win9xMode = true;
        m_console->run(child("write short\\n"));
        QCOMPARE(readAll(m_folder->filePath("capture.tmp")), (header(child("write short\\n")) + "\nshort\n").toUtf8());
        QCOMPARE(output(), QStringLiteral("short"));
    }

    // The Stop button, Escape and the close-window key all stop the run and
    // everything it started, and the console stays with the stopped result.
    void stopEndsTheGroup_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Stop button") << "button";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("Escape in the memo") << "escape in memo";
        QTest::newRow("close-window key") << "close";
    }
    void stopEndsTheGroup()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        const QString pidFile = dir.filePath("pid");
        AfterFailure seen;
        closeAfterResult(&seen);
        onLine("started", [this, how] {
            if (how == "button")
                m_console->StopBT->click();
            else if (how == "escape")
                QTest::keyClick(m_console, Qt::Key_Escape);
            else if (how == "escape in memo")
                QTest::keyClick(m_console->Memo1, Qt::Key_Escape);
            else
                m_console->close();
        });
        m_console->run(child("grandchild " + pidFile));
        QCOMPARE(m_dialogs->log, QStringList{"message:Warning:Process finished!\nThe command was stopped."});
        QVERIFY(seen.open);
        QVERIFY(output().startsWith("started "));
        const pid_t grandchild = pid_t(readAll(pidFile).trimmed().toLongLong());
        QVERIFY(grandchild > 0);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(grandchild), 10000);
        QVERIFY(m_console->capturedText().endsWith("\nThe command was stopped."));
    }

    // A run that writes to a disc is stopped only when the user says so.
    void stopAsksFirstWhenWritingADisc()
    {
        QTemporaryDir dir;
        const QString writer = dir.filePath("cdrecord");
        QVERIFY(QFile::link(testChild(), writer));
        const QString pidFile = dir.filePath("pid");
        m_dialogs->confirmAnswers = {false, true};
        AfterFailure seen;
        closeAfterResult(&seen);
        bool runningAfterNo = false;
        onLine("started", [this, &runningAfterNo] {
            m_console->StopBT->click(); // answered No
            runningAfterNo = m_console->DosCommand1->isRunning() && m_console->StopBT->isEnabled();
            m_console->StopBT->click();
        });
        m_console->run('"' + writer + "\" grandchild " + pidFile);
        QVERIFY(runningAfterNo);
        QCOMPARE(m_dialogs->log, (QStringList{"confirm:Stop the running command?", "confirm:Stop the running command?",
                                              "message:Warning:Process finished!\nThe command was stopped."}));
        QTRY_VERIFY_WITH_TIMEOUT(processGone(pid_t(readAll(pidFile).trimmed().toLongLong())), 10000);
    }

    // A stopped run that made its output file: the user is asked, Yes by
    // default, and Yes deletes it. A file that was there before the run is
    // never offered for deletion.
    void incompleteOutputOfferedForDeletion()
    {
        QTemporaryDir dir;
        const QString made = dir.filePath("big.iso"); // the run writes its pid here
        AfterFailure seen;
        closeAfterResult(&seen);
        m_dialogs->confirmAnswers = {true};
        onLine("started", [this] { m_console->StopBT->click(); });
        m_console->setOutputFile(made);
        m_console->run(child("grandchild " + made));
        QCOMPARE(m_dialogs->log, (QStringList{"message:Warning:Process finished!\nThe command was stopped.",
                                              "confirm:Delete the incomplete image " + made + "?"}));
        QCOMPARE(m_dialogs->confirmYesDefaults, QList<bool>{true});
        QVERIFY(!QFileInfo::exists(made));

        // No keeps it.
        m_dialogs->log.clear();
        m_dialogs->confirmAnswers = {false};
        closeAfterResult(&seen);
        onLine("started", [this] { m_console->StopBT->click(); });
        m_console->setOutputFile(made);
        m_console->run(child("grandchild " + made));
        QCOMPARE(m_dialogs->log.size(), 2);
        QVERIFY(QFileInfo::exists(made));

        // Now it exists before the run: a failure leaves it without a question.
        m_dialogs->log.clear();
        closeAfterResult(&seen);
        m_console->setOutputFile(made);
        m_console->run(child("exit 3"));
        QCOMPARE(m_dialogs->log, QStringList{"message:Warning:Process finished!\nThe command failed with exit code 3."});
        QVERIFY(QFileInfo::exists(made));

        // A success names the file and its size.
        m_dialogs->log.clear();
        m_dialogs->onMessage = nullptr;
        const QString image = dir.filePath("ok.iso");
        QVERIFY(writeAll(image, QByteArray(2048, 'x')));
        m_console->setOutputFile(image);
        m_console->run(child("exit 0"));
        QCOMPARE(m_dialogs->log, QStringList{"message:Info:Process finished!\n" + image + ": 2.00 KiB (2048 bytes)"});
        // The output file is of one run only.
        m_dialogs->log.clear();
        m_console->run(child("exit 0"));
        QCOMPARE(m_dialogs->log, QStringList{"message:Info:Process finished!"});
    }

    // "Stop the running command?" asks about a run; when that run ends by
    // itself meanwhile, the question goes and nothing is stopped.
    void questionClosedWhenTheRunEnds()
    {
        QTemporaryDir dir;
        const QString writer = dir.filePath("cdrecord");
        QVERIFY(QFile::link(testChild(), writer));
        m_dialogs->confirmAnswers = {true}; // the answer never comes
        bool endedWhileOpen = false;
        m_dialogs->whileQuestionOpen = [&] {
            QTRY_VERIFY_WITH_TIMEOUT(!m_dialogs->questionOpen, 30000);
            endedWhileOpen = !m_console->DosCommand1->isRunning();
        };
        onLine("tick 0", [this] { m_console->StopBT->click(); });
        m_console->run('"' + writer + "\" ticks 2 300");
        QVERIFY(endedWhileOpen);
        QCOMPARE(m_dialogs->log, (QStringList{"confirm:Stop the running command?", "closed",
                                              "message:Info:Process finished!"}));
        QVERIFY(m_console->resultLine().isEmpty());
        QVERIFY(output().contains("tick 1"));
    }

    // The bar and the title follow the tool's percentages; the run's end
    // gives the title back.
    void barAndTitleFollowProgress()
    {
        QList<int> bar;
        QStringList titles;
        connect(m_console->ProgressPanel1->bar, &QProgressBar::valueChanged, m_console,
                [&](int v) { bar << v; });
        connect(m_console, &QWidget::windowTitleChanged, m_console, [&](const QString &t) {
            if (titles.isEmpty() || titles.last() != t)
                titles << t;
        });
        m_console->run(child("play " + data("wodim_progress.txt") + " 5"));
        QCOMPARE(m_dialogs->log, QStringList{"message:Info:Process finished!"});
        QCOMPARE(titles, (QStringList{"0% - Console capture", "1% - Console capture", "20% - Console capture",
                                      "49% - Console capture", "50% - Console capture", "74% - Console capture",
                                      "100% - Console capture", "Console capture"}));
        QCOMPARE(bar.mid(bar.indexOf(1)), (QList<int>{1, 20, 49, 50, 74, 100}));
        QCOMPARE(m_console->ProgressPanel1->bar->value(), 100);
        QVERIFY(m_console->ProgressPanel1->status->text().startsWith("Elapsed 0:"));
        QVERIFY(m_console->Memo1->toPlainText().contains("Track 01:  349 of  700 MB written"));
    }

    // Without a total the bar is a busy indicator; dd's bytes against the
    // total the caller gives make a percentage.
    void busyWithoutTotal_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<int>("maximumWhileRunning");
        QTest::newRow("wodim, size unknown") << "wodim_unknown_size.txt" << qint64(0) << 0;
        QTest::newRow("dd, no total") << "dd_progress.txt" << qint64(0) << 0;
        QTest::newRow("dd, total given") << "dd_progress.txt" << qint64(300000000) << 100;
    }
    void busyWithoutTotal()
    {
        QFETCH(QString, file);
        QFETCH(qint64, total);
        QFETCH(int, maximumWhileRunning);
        // Read at the moment the line arrives (the handler runs after the
        // memo and the bar took it).
        int maximum = -1;
        QString title;
        const QString at = file.startsWith("wodim") ? "Track 01:   12 MB" : "240058368 bytes";
        m_console->DosCommand1->OnNewLine = [&](exec::TDosCommand *, const QString &l, exec::TOutputType) {
            if (l.startsWith(at)) {
                maximum = m_console->ProgressPanel1->bar->maximum();
                title = m_console->windowTitle();
            }
        };
        m_console->run(child("play " + data(file.toUtf8().constData()) + " 5"), {}, total);
        QCOMPARE(maximum, maximumWhileRunning);
        QCOMPARE(title, maximumWhileRunning ? QStringLiteral("80% - Console capture") : QStringLiteral("Console capture"));
        QCOMPARE(m_console->ProgressPanel1->bar->maximum(), 100);
        QCOMPARE(m_console->ProgressPanel1->bar->value(), 100);
    }
};

QTEST_MAIN(TestConsole)
#include "test_console.moc"
