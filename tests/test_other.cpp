// The Other tools window end to end: real bbie and dd from Spindle's folder,
// ordinary files standing in for the drives, images built with genisoimage.
#define SPINDLE_UI_TESTS
#include "app/ui/integrator.h"
#include "app/ui/windows.h"
#include "app/ui/debug_unit.h"
#include "ui/style.h"
#include "exec/dos_command.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tools/ui/other_form.h"

#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {
// A deterministic, non-repeating byte pattern, so a shifted or cut copy
// never compares equal.
QByteArray pattern(qsizetype n, quint32 seed)
{
    QByteArray b(n, Qt::Uninitialized);
    quint32 x = seed;
    for (qsizetype i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = char(x >> 24);
    }
    return b;
}
} // namespace

// The control shows its usual tooltip, no reason for being off.
inline bool usualTip(const QWidget *w)
{
    return !w->toolTip().isEmpty() && w->toolTip() == w->property("hint").toString();
}

class TestOther : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data; // images shared by all tests
    QTemporaryDir *m_folder = nullptr; // Spindle's folder
    QTemporaryDir *m_work = nullptr;
    FakeDialogs *m_dialogs = nullptr;
    Tother_form *f = nullptr;
    platform::DriveLists m_drives;

    QString data(const QString &n) const { return m_data.filePath(n); }
    QString work(const QString &n) const { return m_work->filePath(n); }
    QString inFolder(const QString &n) const { return m_folder->filePath(n); }
    QList<QPushButton *> allButtons() const { return {f->btExBS, f->btExBSF, f->btISO, f->btFIMG, f->btWriteIMG, f->btClose}; }
    bool allEnabled(bool on) const
    {
        for (QPushButton *b : allButtons())
            if (b->isEnabled() != on)
                return false;
        return true;
    }
    // No job runs: each button is live unless its drive list is empty.
    bool idle() const
    {
        const bool cd = f->cboxCDROM->count() > 0, floppy = f->cboxFloppy->count() > 0;
        const QList<bool> want{cd, true, cd, floppy, floppy, true};
        for (qsizetype i = 0; i < want.size(); ++i)
            if (allButtons()[i]->isEnabled() != want[i])
                return false;
        return !f->StopBT->isEnabled();
    }
    QStringList memo() const { return f->Memo1->toPlainText().split('\n'); }
    // A dd that holds until it is killed, with a child in its group; the
    // two process ids go to `pids`.
    void stuckDd(const QString &pids)
    {
        QFile::remove(inFolder("dd"));
        QVERIFY(writeAll(inFolder("dd"), "#!/bin/sh\necho started \"$@\"\nsleep 120 &\necho $$ $! > \"$SPINDLE_TEST_PIDS\"\n"
                                         "wait\necho done\n"));
        QFile::setPermissions(inFolder("dd"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("SPINDLE_TEST_PIDS", pids.toLocal8Bit());
    }
    QList<qint64> pidsIn(const QString &file) const
    {
        QList<qint64> out;
        for (const QByteArray &w : readAll(file).simplified().split(' '))
            if (w.toLongLong() > 0)
                out << w.toLongLong();
        return out;
    }

    // Clicks a job button and waits for the job's end.
    bool runJob(QPushButton *b)
    {
        QSignalSpy started(f, &Tother_form::jobStarted), finished(f, &Tother_form::jobFinished);
        b->click();
        if (started.isEmpty())
            return false;
        return !finished.isEmpty() || finished.wait(60000);
    }
    // Clicks a job button that must not start anything.
    bool clickRunsNothing(QPushButton *b)
    {
        QSignalSpy started(f, &Tother_form::jobStarted);
        const QString before = f->Memo1->toPlainText();
        b->click();
        return started.isEmpty() && f->Memo1->toPlainText() == before && idle();
    }

private slots:
    void initTestCase()
    {
        qputenv("LC_ALL", "C");
        QVERIFY(m_data.isValid());
        // A 1.44 MB floppy for floppy emulation, a 2 KiB loader for no emulation.
        QDir().mkpath(data("tree/boot"));
        QVERIFY(writeAll(data("tree/boot/floppy.img"), pattern(1474560, 1)));
        QVERIFY(writeAll(data("tree/boot/loader.bin"), pattern(2048, 2)));
        QVERIFY(writeAll(data("tree/readme.txt"), "hello\n"));
        auto build = [this](const QStringList &opts, const QString &out) {
            QProcess p;
            p.setWorkingDirectory(data("."));
            p.start("genisoimage", QStringList{"-quiet"} + opts + QStringList{"-o", out, data("tree")});
            return p.waitForFinished(60000) && p.exitCode() == 0;
        };
        QVERIFY(build({"-b", "boot/floppy.img", "-c", "boot/boot.cat"}, data("floppy-boot.iso")));
        QVERIFY(build({"-no-emul-boot", "-boot-load-size", "4", "-b", "boot/loader.bin", "-c", "boot/boot.cat"},
                      data("my loader cd.iso")));
    }

    void init()
    {
        m_folder = new QTemporaryDir;
        m_work = new QTemporaryDir;
        platform::setSpindleFolder(m_folder->path());
        QFile::link(binDir() + "/bbie", inFolder("bbie"));
        QFile::link(binDir() + "/dd", inFolder("dd"));
        QDir::setCurrent(m_work->path());
        m_dialogs = new FakeDialogs;
        ui::setDialogs(m_dialogs);
        exec::TDosCommand::setErrorReporter([](const QString &m) { ui::dialogs().error(nullptr, m); });
        app::createWindows();
        f = app::windows().other_form;
        m_drives = {};
        f->setDriveSource([this] { return m_drives; });
    }
    void cleanup()
    {
        app::destroyWindows();
        ui::setDialogs(nullptr);
        delete m_dialogs;
        QDir::setCurrent(QDir::tempPath());
        delete m_work;
        delete m_folder;
        qunsetenv("SPINDLE_TEST_GO");
        qunsetenv("SPINDLE_TEST_PIDS");
    }

    void controlsAndActivation()
    {
        QCOMPARE(f->windowTitle(), QStringLiteral("Other tools"));
        QCOMPARE(f->size(), QSize(570, 369));
        QVERIFY(!f->isVisible()); // created hidden with the others
        QCOMPARE(f->btExBSF->text().remove(QLatin1Char('&')), QStringLiteral("Extract boot sec. from  ISO"));
        QCOMPARE(f->Label1->text(), QStringLiteral("Floppy Drives"));
        QCOMPARE(f->Label2->text(), QStringLiteral("CD/DVD Drives"));
        for (QPushButton *b : allButtons())
            QCOMPARE(b->isEnabled(), b == f->btClose);
        QVERIFY(f->Memo1->isReadOnly() && f->Memo1->toPlainText().isEmpty());
        // No time limit: a CD image takes minutes and dd is silent between progress lines.
        QVERIFY(!f->DosCommand1->InputToOutput && f->DosCommand1->MaxTimeAfterBeginning == 0
                && f->DosCommand1->MaxTimeAfterLastOutput == 0);

        m_drives = {{"/dev/sdb", "/dev/fd0"}, {"/dev/sr10", "/dev/sr1", "/dev/sr2"}};
        f->cboxFloppy->addItem("stale");
        f->FormActivate();
        QCOMPARE(f->cboxFloppy->currentText(), QStringLiteral("/dev/fd0"));
        QCOMPARE(f->cboxFloppy->count(), 2);
        QCOMPARE(f->cboxCDROM->currentText(), QStringLiteral("/dev/sr1"));
        QCOMPARE(f->cboxCDROM->itemText(2), QStringLiteral("/dev/sr10"));
        QVERIFY(idle());
        QVERIFY(allEnabled(true));
        QVERIFY(m_dialogs->log.isEmpty());

        // Opened again with no drives: empty lists, empty drive names.
        m_drives = {};
        f->FormActivate();
        QCOMPARE(f->cboxFloppy->count(), 0);
        QCOMPARE(f->cboxCDROM->currentText(), QString());
    }

    void missingToolsAndButtonsAfterAJob()
    {
        QFile::remove(inFolder("bbie"));
        QFile::remove(inFolder("dd"));
        f->FormActivate();
        QCOMPARE(m_dialogs->log,
                 (QStringList{"message::Couldn't find bbie . Please download it from " SPINDLE_HOMEPAGE " and copy it to Spindle folder",
                              "message::Couldn't find dd . Please copy it to Spindle folder"}));
        for (QPushButton *b : allButtons())
            QCOMPARE(b->isEnabled(), b == f->btClose);

        QCOMPARE(f->btExBSF->toolTip(), m_dialogs->log[0].mid(9));
        QCOMPARE(f->btWriteIMG->toolTip(), m_dialogs->log[1].mid(9));

        // dd comes back: its buttons only, and a job's end leaves bbie's off.
        QFile::link(binDir() + "/dd", inFolder("dd"));
        m_dialogs->log.clear();
        m_drives = {{data("tree/boot/floppy.img")}, {data("floppy-boot.iso")}};
        f->FormActivate();
        QCOMPARE(m_dialogs->log.size(), 1);
        QVERIFY(!f->btExBS->isEnabled() && !f->btExBSF->isEnabled());
        QVERIFY(f->btISO->isEnabled() && f->btFIMG->isEnabled() && f->btWriteIMG->isEnabled());
        m_dialogs->fileAnswers << work("floppy copy.img");
        QVERIFY(runJob(f->btFIMG));
        QCOMPARE(readAll(work("floppy copy.img")), readAll(data("tree/boot/floppy.img")));
        QVERIFY(!f->btExBS->isEnabled() && !f->btExBSF->isEnabled());
        QVERIFY(f->btISO->isEnabled() && f->btFIMG->isEnabled() && f->btWriteIMG->isEnabled() && f->btClose->isEnabled());
        QVERIFY(f->btExBS->toolTip().startsWith("Couldn't find bbie"));
        // bbie comes back: the next opening offers it.
        QFile::link(binDir() + "/bbie", inFolder("bbie"));
        m_dialogs->log.clear();
        f->FormActivate();
        QVERIFY(m_dialogs->log.isEmpty());
        QVERIFY(allEnabled(true));
        for (QPushButton *b : allButtons())
            QVERIFY(usualTip(b));
    }

    void makeCdImage()
    {
        m_drives.cdrom = {data("floppy-boot.iso")};
        f->FormActivate();
        m_dialogs->fileAnswers << work("copy.iso");
        QVERIFY(runJob(f->btISO));
        QCOMPARE(readAll(work("copy.iso")), readAll(data("floppy-boot.iso")));
        QCOMPARE(m_dialogs->log, QStringList{"save:ISO files (*.iso)|*.iso"});
        QCOMPARE(m_dialogs->fileOptions[0].defaultExt, QStringLiteral("iso"));
        QVERIFY(m_dialogs->fileOptions[0].overwritePrompt);
        const QStringList lines = memo();
        QCOMPARE(lines.value(0), QStringLiteral("Please wait..."));
        QCOMPARE(lines.value(1), "Working folder: " + platform::spindleFolder());
        QVERIFY2(lines.filter(QRegularExpression("^\\d+\\+0 records out$")).size() == 1, qPrintable(lines.join('|')));
        QVERIFY(idle());
        // dd's count against the drive's size filled the bar.
        QCOMPARE(f->ProgressPanel1->percent(), 100);
        QCOMPARE(f->ProgressPanel1->bar->value(), 100);
    }

    // The job and its output go into the debug log.
    void extractBootFromCd()
    {
        m_drives.cdrom = {data("floppy-boot.iso")};
        app::windows().session.DebugMode = true;
        f->FormActivate();
        QVERIFY(runJob(f->btExBS));
        QCOMPARE(readAll(inFolder("image1.bin")), readAll(data("tree/boot/floppy.img")));
        QVERIFY(memo().contains("Image 1: image1.bin"));
        QVERIFY(m_dialogs->log.isEmpty());
        const QString log = app::windows().Debug_win->Memo1->toPlainText();
        QVERIFY2(log.contains("*****  " + f->DosCommand1->CommandLine + "\n"), qPrintable(log));
        QVERIFY(log.contains("Image 1: image1.bin"));
    }

    void extractBootFromIsoWithBlanks()
    {
        f->FormActivate();
        m_dialogs->fileAnswers << data("my loader cd.iso");
        QVERIFY(runJob(f->btExBSF));
        QCOMPARE(m_dialogs->log, QStringList{"open:ISO files|*.iso|RAW files|*.raw|All Files|*.*"});
        QVERIFY(m_dialogs->fileOptions[0].defaultExt.isEmpty());
        QCOMPARE(readAll(inFolder("image1.bin")), readAll(data("tree/boot/loader.bin")));
    }

    void writeImageToFloppy()
    {
        QVERIFY(writeAll(work("fd0"), QByteArray(1474560, '\0')));
        m_drives.removable = {work("fd0")};
        f->FormActivate();
        m_dialogs->fileAnswers << data("tree/boot/floppy.img");
        m_dialogs->confirmAnswers << true;
        QVERIFY(runJob(f->btWriteIMG));
        QCOMPARE(m_dialogs->log, (QStringList{"open:Floppy images (*.img, *.ima, *.144)|*.img; *.ima;*.144|All Files|*.*",
                                              "confirm:All data on " + work("fd0") + " will be overwritten. Continue?"}));
        QCOMPARE(m_dialogs->fileOptions[0].defaultExt, QStringLiteral("img"));
        QCOMPARE(readAll(work("fd0")), readAll(data("tree/boot/floppy.img")));
        QVERIFY(idle());
    }

    void imageTooLargeForAFloppy()
    {
        QVERIFY(writeAll(work("fd0"), QByteArray(1474560, '\0')));
        QVERIFY(writeAll(work("big.img"), pattern(1474561, 3)));
        m_drives.removable = {work("fd0")};
        f->FormActivate();
        m_dialogs->fileAnswers << work("big.img");
        QVERIFY(clickRunsNothing(f->btWriteIMG));
        QCOMPARE(m_dialogs->log.last(), QStringLiteral("message::File size > 1.44mb"));
        QCOMPARE(m_dialogs->log.filter("confirm:").size(), 0);
        QCOMPARE(readAll(work("fd0")), QByteArray(1474560, '\0'));
    }

    void overwriteQuestionAnsweredNo()
    {
        QVERIFY(writeAll(work("stick"), "precious data"));
        m_drives.removable = {work("stick")};
        f->FormActivate();
        m_dialogs->fileAnswers << data("tree/boot/floppy.img");
        m_dialogs->confirmAnswers << false;
        QVERIFY(clickRunsNothing(f->btWriteIMG));
        QCOMPARE(m_dialogs->log.last(), "confirm:All data on " + work("stick") + " will be overwritten. Continue?");
        QCOMPARE(readAll(work("stick")), QByteArray("precious data"));
    }

    void writeToADriveThatDoesNotExist()
    {
        // No drive behind the name: dd fails instead of creating a file there.
        m_drives.removable = {work("fd0")};
        f->FormActivate();
        m_dialogs->fileAnswers << data("tree/boot/floppy.img");
        m_dialogs->confirmAnswers << true;
        QVERIFY(runJob(f->btWriteIMG));
        QVERIFY(!QFile::exists(work("fd0")));
        QVERIFY2(f->Memo1->toPlainText().contains("No such file or directory"), qPrintable(f->Memo1->toPlainText()));
        QVERIFY(!f->ProgressPanel1->isRunning());
        QCOMPARE(f->ProgressPanel1->bar->value(), 0); // a failed copy does not fill the bar
    }

    void noDriveOfAKind()
    {
        // Empty lists: each button that needs a drive is off and says why.
        QVERIFY(writeAll(work("kept.iso"), "an earlier image"));
        f->FormActivate();
        for (QPushButton *b : {f->btExBS, f->btISO}) {
            QVERIFY(!b->isEnabled());
            QCOMPARE(b->toolTip(), QStringLiteral("No CD drive found"));
        }
        for (QPushButton *b : {f->btFIMG, f->btWriteIMG}) {
            QVERIFY(!b->isEnabled());
            QCOMPARE(b->toolTip(), QStringLiteral("No floppy drive found"));
        }
        QVERIFY(f->btExBSF->isEnabled() && usualTip(f->btExBSF));
        // One kind present: only the other's buttons are off.
        m_drives.removable = {work("fd0")};
        f->FormActivate();
        QVERIFY(f->btFIMG->isEnabled() && f->btWriteIMG->isEnabled() && !f->btISO->isEnabled());
        QVERIFY(usualTip(f->btFIMG));
        m_drives = {};
        f->FormActivate();

        // Reached anyway (the handlers behind the buttons): a message, no
        // dialog, no job, the chosen image untouched.
        QSignalSpy started(f, &Tother_form::jobStarted);
        m_dialogs->fileAnswers = {work("kept.iso"), work("kept.iso"), data("tree/boot/floppy.img")};
        m_dialogs->confirmAnswers = {true};
        f->btExBSClick();
        f->btISOClick();
        f->btFIMGClick();
        f->btWriteIMGClick();
        QCOMPARE(started.size(), 0);
        QCOMPARE(m_dialogs->log, (QStringList{"message::No CD drive found", "message::No CD drive found",
                                              "message::No floppy drive found", "message::No floppy drive found"}));
        QCOMPARE(readAll(work("kept.iso")), QByteArray("an earlier image"));
        QVERIFY(idle());
    }

    void unreadableImage()
    {
        m_drives.removable = {work("fd0")};
        f->FormActivate();
        m_dialogs->fileAnswers << work("gone.img");
        QVERIFY(clickRunsNothing(f->btWriteIMG));
        QCOMPARE(m_dialogs->log.size(), 2);
        QVERIFY(m_dialogs->log.last().startsWith("error:Cannot open file \"" + work("gone.img") + "\". "));
    }

    void cancelledDialogs()
    {
        m_drives = {{work("fd0")}, {data("floppy-boot.iso")}};
        f->FormActivate();
        f->Memo1->setPlainText("earlier output");
        for (QPushButton *b : {f->btExBSF, f->btISO, f->btFIMG, f->btWriteIMG})
            QVERIFY2(clickRunsNothing(b), qPrintable(b->objectName()));
        QCOMPARE(m_dialogs->log.size(), 4);
        QVERIFY(!QFile::exists(work("fd0")));
    }

    void toolThatCannotStart_data()
    {
        QTest::addColumn<bool>("executable");
        QTest::newRow("not executable") << false;
        QTest::newRow("executable, not a program") << true;
    }
    void toolThatCannotStart()
    {
        // Found by the activation (the file exists) but not runnable.
        QFETCH(bool, executable);
        QFile::remove(inFolder("bbie"));
        QVERIFY(writeAll(inFolder("bbie"), "\x7f\x01not a program"));
        if (executable)
            QFile::setPermissions(inFolder("bbie"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_drives.cdrom = {"/dev/sr0"};
        f->FormActivate();
        QVERIFY(runJob(f->btExBS));
        QVERIFY(idle());
        QTRY_COMPARE_WITH_TIMEOUT(m_dialogs->log, QStringList{"error:bbie /dev/sr0 doesn't exist."}, 30000);
    }

    void buttonsDuringAJob()
    {
        // A dd that reports its start and ends when the test lets it.
        QFile::remove(inFolder("dd"));
        QVERIFY(writeAll(inFolder("dd"), "#!/bin/sh\necho started \"$@\"\n"
                                         "while [ ! -e \"$SPINDLE_TEST_GO\" ]; do sleep 0.05; done\necho done\n"));
        QFile::setPermissions(inFolder("dd"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("SPINDLE_TEST_GO", work("go").toLocal8Bit());
        m_drives.removable = {"/dev/fd0"};
        f->FormActivate();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QSignalSpy finished(f, &Tother_form::jobFinished);
        m_dialogs->fileAnswers << work("a b.img");
        f->btFIMG->click();
        QVERIFY(allEnabled(false));
        QTRY_VERIFY_WITH_TIMEOUT(memo().size() >= 3, 30000);
        QCOMPARE(memo().mid(0, 3), (QStringList{"Please wait...", "Working folder: " + platform::spindleFolder(),
                                                "started if=/dev/fd0 of=" + work("a b.img") + " status=progress"}));
        QVERIFY(allEnabled(false));
        for (QPushButton *b : allButtons())
            QCOMPARE(b->toolTip(), QStringLiteral("A job is running"));
        QVERIFY(f->StopBT->isEnabled());
        QVERIFY(writeAll(work("go"), ""));
        QVERIFY(finished.wait(60000));
        QVERIFY(idle());
        QCOMPARE(memo().last(), QStringLiteral("done"));
        QVERIFY(!f->StopBT->isEnabled());
        f->btClose->click();
        QVERIFY(!f->isVisible());
    }

    void stopEndsTheJobsGroup_data()
    {
        QTest::addColumn<int>("how"); // 0: Stop, 1: Escape, 2: the close-window key
        QTest::newRow("Stop") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close key") << 2;
    }
    void stopEndsTheJobsGroup()
    {
        QFETCH(int, how);
        const QString pids = work("pids");
        stuckDd(pids);
        m_drives.cdrom = {"/dev/sr0"};
        f->FormActivate();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QCOMPARE(f->StopBT->text().remove(QLatin1Char('&')), QStringLiteral("Stop"));
        QCOMPARE(f->StopBT->objectName(), QStringLiteral("StopBT"));
        QVERIFY(!f->StopBT->isEnabled());
        QSignalSpy finished(f, &Tother_form::jobFinished);
        m_dialogs->fileAnswers << work("cd.iso");
        f->btISO->click();
        QTRY_COMPARE_WITH_TIMEOUT(pidsIn(pids).size(), 2, 30000);
        const QList<qint64> group = pidsIn(pids);
        QVERIFY(f->isJobRunning() && f->StopBT->isEnabled());
        for (qint64 pid : group)
            QVERIFY(!processGone(pid));
        if (how == 0)
            f->StopBT->click();
        else if (how == 1)
            QTest::keyClick(f, Qt::Key_Escape);
        else
            QVERIFY(!f->close()); // refused: the window stays to show the end
        QVERIFY(finished.wait(60000));
        // An image read asks nothing; the tool and its child are gone.
        QVERIFY(m_dialogs->log.filter("confirm:").isEmpty());
        for (qint64 pid : group)
            QTRY_VERIFY_WITH_TIMEOUT(processGone(pid), 30000);
        QVERIFY(f->isVisible());
        QCOMPARE(memo().last(), QStringLiteral("The command was stopped."));
        QVERIFY(!memo().contains("done"));
        QVERIFY(idle());
        f->btClose->click();
        QVERIFY(!f->isVisible());
    }

    void stoppingAWriteToADriveAsks()
    {
        const QString pids = work("pids");
        stuckDd(pids);
        m_drives.removable = {"/dev/fd0"}; // the stand-in dd never touches it
        f->FormActivate();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QSignalSpy finished(f, &Tother_form::jobFinished);
        m_dialogs->fileAnswers << data("tree/boot/floppy.img");
        m_dialogs->confirmAnswers << true; // overwrite the drive
        f->btWriteIMG->click();
        QTRY_COMPARE_WITH_TIMEOUT(pidsIn(pids).size(), 2, 30000);
        const QList<qint64> group = pidsIn(pids);
        // No keeps it running, for each way of stopping.
        m_dialogs->log.clear();
        m_dialogs->confirmAnswers = {false, false, false};
        f->StopBT->click();
        QTest::keyClick(f, Qt::Key_Escape);
        f->close();
        QCOMPARE(m_dialogs->log, QStringList(3, "confirm:Stop the running command?"));
        QVERIFY(f->isJobRunning() && f->DosCommand1->isRunning() && f->isVisible());
        for (qint64 pid : group)
            QVERIFY(!processGone(pid));
        // Yes stops it.
        m_dialogs->confirmAnswers << true;
        f->StopBT->click();
        QVERIFY(finished.wait(60000));
        for (qint64 pid : group)
            QTRY_VERIFY_WITH_TIMEOUT(processGone(pid), 30000);
        QCOMPARE(memo().last(), QStringLiteral("The command was stopped."));
        QVERIFY(idle());
    }

    void otherButtonOpensTheWindow()
    {
        TIntegrator *main = app::windows().Integrator;
        QVERIFY(main->SpeedButton2->isEnabled());
        bool wasModal = false;
        QTimer::singleShot(0, f, [&] {
            wasModal = f->isVisible() && f->isModal();
            f->btClose->click();
        });
        main->SpeedButton2->click();
        QVERIFY(wasModal);
        QVERIFY(!f->isVisible());
    }
};

QTEST_MAIN(TestOther)
#include "test_other.moc"
