// The CD Operations window driven through its controls, with a fake
// cdrecord/readcd staged in a copy of Spindle's folder.
#define SPINDLE_UI_TESTS
#include "app/ui/integrator.h"
#include "app/ui/windows.h"
#include "app/ui/debug_unit.h"
#include "base/session.h"
#include "ui/style.h"
#include "disc/ui/cd_operations.h"
#include "disc/commands.h"
#include "disc/offers.h"
#include "disc/scan.h"
#include "exec/ui/console_capture.h"
#include "exec/dos_command.h"
#include "platform/platform.h"
#include "testutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {
QString data(const char *name) { return QStringLiteral(SPINDLE_TEST_DATA "/") + name; }
const char *kEnv[] = {"FAKECD_SCANBUS", "FAKECD_PRCAP", "FAKECD_OUTPUT", "FAKECD_ARGS",
                      "FAKECD_PROGRESS", "FAKECD_HOLD", "FAKECD_EXIT", "FAKECD_VERSION"};
} // namespace

class TestCdOperations : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_folder = nullptr; // Spindle's folder
    QTemporaryDir *m_work = nullptr;
    FakeDialogs *m_dialogs = nullptr;
    TCD_Operations *f = nullptr;

    QString argsLog() const { return m_folder->filePath("args.log"); }
    // The runs the fake tools saw, one line each.
    QStringList runs() const
    {
        return QString::fromUtf8(readAll(argsLog())).split('\n', Qt::SkipEmptyParts);
    }
    QString debugText() const { return app::windows().Debug_win->Memo1->toPlainText(); }

    bool activate(const QString &scan)
    {
        qputenv("FAKECD_SCANBUS", scan.toUtf8());
        QSignalSpy done(f, &TCD_Operations::scanFinished);
        f->FormActivate();
        return done.wait(60000);
    }
    bool pick(int index, const QString &report)
    {
        qputenv("FAKECD_PRCAP", report.toUtf8());
        QSignalSpy done(f, &TCD_Operations::capabilitiesEvaluated);
        f->ComboBox1->setCurrentIndex(index);
        emit f->ComboBox1->activated(index);
        return done.wait(60000);
    }
    QList<QWidget *> controls() const
    {
        return {f->btRead, f->btFinalize, f->btBurn, f->seSpeed, f->cbSimulate, f->cbDontFinalize, f->cbBurnFree,
                f->btFormat, f->btQuickFormat, f->ComboBox2};
    }
    QList<bool> enabled() const
    {
        QList<bool> e;
        for (QWidget *w : std::initializer_list<QWidget *>{f->btRead, f->btFinalize, f->btBurn, f->seSpeed,
                                                            f->cbSimulate, f->cbDontFinalize, f->cbBurnFree,
                                                            f->btFormat, f->btQuickFormat, f->ComboBox2})
            e << w->isEnabled();
        return e;
    }
    // A cdrecord that is there but cannot be run.
    void brokenCdrecord()
    {
        const QString path = m_folder->filePath("cdrecord");
        QFile::remove(path);
        writeAll(path, "not a program");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    }
    void leaveSpeedField()
    {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(f->seSpeed, &out);
    }

private slots:
    void init()
    {
        m_folder = new QTemporaryDir;
        m_work = new QTemporaryDir;
        platform::setSpindleFolder(m_folder->path());
        for (const char *tool : {"cdrecord", "readcd"})
            QVERIFY(QFile::link(binDir() + "/spindle-fakecd", m_folder->filePath(tool)));
        for (const char *v : kEnv)
            qunsetenv(v);
        qputenv("FAKECD_ARGS", argsLog().toUtf8());
        m_dialogs = new FakeDialogs;
        createWindowsWith(m_dialogs);
        f = app::windows().CD_Operations;
        QVERIFY(f);
    }
    void cleanup()
    {
        destroyWindowsOf(m_dialogs);
        delete m_work;
        delete m_folder;
        app::windows().session.DebugMode = app::windows().session.Win9xMode = false;
    }

    void initialState()
    {
        QCOMPARE(f->windowTitle(), QStringLiteral("CD Operations"));
        QCOMPARE(f->objectName(), QStringLiteral("CD_Operations"));
        QCOMPARE(f->size(), QSize(458, 314));
        QCOMPARE(f->Label1->text(), QStringLiteral("Select Device"));
        QCOMPARE(f->Label4->text(), QStringLiteral("Device ID:"));
        QCOMPARE(f->Label8->text(), QStringLiteral("Max write speed:"));
        QCOMPARE(f->Label6->text(), QStringLiteral("Writing speed"));
        QVERIFY(f->Label3->text().isEmpty() && f->Label5->text().isEmpty());
        QCOMPARE(f->btRead->text().remove(QLatin1Char('&')), QStringLiteral("CD to ISO file"));
        QCOMPARE(f->btFinalize->text().remove(QLatin1Char('&')), QStringLiteral("Finalize CD"));
        QCOMPARE(f->btBurn->text().remove(QLatin1Char('&')), QStringLiteral("Burn ISO file"));
        QCOMPARE(f->btFormat->text().remove(QLatin1Char('&')), QStringLiteral("Format CD-RW"));
        QCOMPARE(f->btQuickFormat->text().remove(QLatin1Char('&')), QStringLiteral("Blank CD-RW"));
        QCOMPARE(f->cbBurnFree->text(), QStringLiteral("BurnFree (if available)"));
        QCOMPARE(enabled(), QList<bool>(10, false));
        QVERIFY(f->btClose->isEnabled());
        QVERIFY(f->cbSimulate->isChecked() && !f->cbDontFinalize->isChecked() && f->cbBurnFree->isChecked());
        QVERIFY(f->cbVerify->isChecked() && !f->cbVerify->isEnabled());
        QCOMPARE(f->seSpeed->value(), 1);
        QCOMPARE(f->seSpeed->minimum(), 1);
        QVERIFY(f->ComboBox2->isEditable() && !f->ComboBox1->isEditable());
        QCOMPARE(f->ComboBox2->currentText(), QStringLiteral("all"));
        QCOMPARE(f->ComboBox2->count(), 7);
        QCOMPARE(f->ComboBox2->itemText(6), QStringLiteral("trtail"));
        QVERIFY(f->Memo1->isHidden());
        QCOMPARE(f->ComboBox1->count(), 0);
    }

    void mainWindowButtonShowsTheWindow()
    {
        TIntegrator *main = app::windows().Integrator;
        QCOMPARE(main->SpeedButton6->text().remove(QLatin1Char('&')), QStringLiteral("CD operations"));
        QVERIFY(main->SpeedButton6->isEnabled());
        qputenv("FAKECD_SCANBUS", data("cd_scan_basic.txt").toUtf8());
        bool sawList = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (f->isVisible() && f->ComboBox1->count() == 1) {
                sawList = true;
                f->btClose->click();
            }
        });
        poll.start(20);
        main->SpeedButton6->click(); // modal: returns when the window has closed
        QVERIFY(sawList);
        QVERIFY(!f->isVisible());
    }

    void scanListsDrives()
    {
        QVERIFY(activate(data("cd_scan_warnings.txt")));
        QCOMPARE(f->ComboBox1->count(), 2);
        QCOMPARE(f->ComboBox1->itemText(0), QStringLiteral("[1,0,0] ACME    CDRW52X         "));
        QCOMPARE(f->ComboBox1->itemText(1), QStringLiteral("[1,10,0] SONY    DVD RW DRU-880S "));
        QCOMPARE(f->ComboBox1->currentIndex(), -1);
        QVERIFY(f->Label3->text().isEmpty());
        QVERIFY(f->CdrecordFound && f->ReadcdFound);
        QCOMPARE(runs(), QStringList{"cdrecord [-scanbus]"});
        QCOMPARE(f->DosCommand2->WorkingDirectory, platform::spindleFolder());
        // The scan's output goes to the debug memo even outside debug mode.
        QTRY_VERIFY_WITH_TIMEOUT(debugText().contains("scsibus1:"), 60000);
        QVERIFY(!debugText().contains("*****"));
        QVERIFY(m_dialogs->log.isEmpty());
    }

    void spindleFolderWithBlankOrQuote()
    {
        for (const QString &name : {QStringLiteral("My Tools"), QStringLiteral("say \"hi\" x")}) {
            const QString folder = m_work->filePath(name);
            QVERIFY(QDir().mkpath(folder));
            for (const char *tool : {"cdrecord", "readcd"})
                QVERIFY(QFile::link(binDir() + "/spindle-fakecd", folder + "/" + tool));
            platform::setSpindleFolder(folder);
            QFile::remove(argsLog());
            QVERIFY(activate(data("cd_scan_basic.txt")));
            QCOMPARE(f->ComboBox1->count(), 1);
            QCOMPARE(runs(), QStringList{"cdrecord [-scanbus]"});
            QVERIFY(m_dialogs->log.isEmpty());
        }
    }

    void multiDigitBusReachesTheTool()
    {
        QVERIFY(activate(data("cd_scan_bus1001.txt")));
        QCOMPARE(f->ComboBox1->itemText(0), QStringLiteral("[1001,0,0] TSSTcorpCDDVDW SH-224DB "));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        QCOMPARE(f->Label3->text(), QStringLiteral("1001,0,0"));
        QCOMPARE(runs().last(), QStringLiteral("cdrecord [dev=1001,0,0] [-prcap]"));
        m_dialogs->confirmAnswers << true;
        f->btFinalize->click();
        QCOMPARE(runs().last(), QStringLiteral("cdrecord [dev=1001,0,0] [-fix]"));
    }

    void labelSetBeforeTheReportArrives()
    {
        QVERIFY(activate(data("cd_scan_warnings.txt")));
        qputenv("FAKECD_HOLD", "dev=1,10,0");
        f->ComboBox1->setCurrentIndex(1);
        emit f->ComboBox1->activated(1);
        QCOMPARE(f->Label3->text(), QStringLiteral("1,10,0"));
        QVERIFY(f->DosCommand1->isRunning());
        f->DosCommand1->Stop();
    }

    void offers_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QList<bool>>("on"); // read, finalize, burn panel (5), rewritable panel (3)
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("speed");
        QTest::newRow("writes neither") << data("cd_caps_readonly.txt")
                                        << QList<bool>{true, false, false, false, false, false, false, false, false, false}
                                        << "" << 1;
        QTest::newRow("CD-R only") << data("cd_caps_cdr.txt")
                                   << QList<bool>{true, true, true, true, true, true, true, false, false, false} << "40"
                                   << 40;
        QTest::newRow("CD-R and CD-RW") << data("cd_caps_cdrw.txt") << QList<bool>(10, true) << "40" << 40;
        QTest::newRow("single digit") << data("cd_caps_single_digit.txt") << QList<bool>(10, true) << " 8" << 8;
        QTest::newRow("older kB/s form") << data("cd_caps_kbs.txt") << QList<bool>(10, true) << "8" << 8;
    }
    void offers()
    {
        QFETCH(QString, report);
        QFETCH(QList<bool>, on);
        QFETCH(QString, label);
        QFETCH(int, speed);
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, report));
        QCOMPARE(enabled(), on);
        QCOMPARE(f->Label5->text(), label);
        QCOMPARE(f->seSpeed->value(), speed);
        // Check boxes keep their ticks whatever their state.
        QVERIFY(f->cbSimulate->isChecked() && f->cbBurnFree->isChecked());
    }

    // Behind cdrecord is cdrskin (it says so): asked its own way, and what
    // it does not do is off with its reason. A CD writer in the form cdrskin
    // prints, since no writer exists here.
    void cdrskinOffersWhatItDoes()
    {
        qputenv("FAKECD_VERSION", data("versions/cdrskin.txt").toUtf8());
        qputenv("FAKECD_OUTPUT", data("cd_caps_cdrskin_writer.txt").toUtf8());
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, QString()));
        QCOMPARE(runs().mid(1), (QStringList{"cdrecord [-v] [dev=1,0,0] [-atip]", "cdrecord [dev=1,0,0] [--list_speeds]"}));
        // read, finalize, burn, speed, simulate, don't finalize, burnfree, format, blank, blank type
        QCOMPARE(enabled(), (QList<bool>{true, false, true, true, true, false, true, false, true, true}));
        QCOMPARE(f->Label5->text(), QStringLiteral("48"));
        QCOMPARE(f->btFinalize->toolTip(), QStringLiteral("cdrskin does not finalize a disc: it ignores -fix"));
        QCOMPARE(f->cbDontFinalize->toolTip(), QStringLiteral("cdrskin ignores -nofix: it closes the disc after the burn"));
        QCOMPARE(f->btFormat->toolTip(), QStringLiteral("cdrskin formats DVD+RW only, not CD-RW (-format)"));
        const auto *types = qobject_cast<QStandardItemModel *>(f->ComboBox2->model());
        QVERIFY(types->item(0)->isEnabled() && types->item(1)->isEnabled());
        QVERIFY(!types->item(3)->isEnabled());
        QCOMPARE(types->item(3)->toolTip(), QStringLiteral("cdrskin does not do blank=session (\"not supported yet\")"));
        // A tick left on "Don't Finalize" does not reach cdrskin.
        f->cbDontFinalize->setChecked(true);
        const QString image = m_work->filePath("a.iso");
        writeAll(image, "image");
        m_dialogs->fileAnswers << image;
        f->btBurn->click();
        QCOMPARE(runs().last(), "cdrecord [-eject] [-v] [driveropts=burnfree] [dev=1,0,0] [-dummy] [speed=48] [" +
                                    image + "] [gracetime=1]");
        // wodim's report on the next opening offers everything again.
        qunsetenv("FAKECD_VERSION");
        QFile::remove(m_folder->filePath("cdrecord"));
        QVERIFY(QFile::copy(binDir() + "/spindle-fakecd", m_folder->filePath("cdrecord")));
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        QCOMPARE(enabled(), QList<bool>(10, true));
        QVERIFY(types->item(3)->isEnabled() && types->item(3)->toolTip().isEmpty());
    }

    void speedFieldClamps()
    {
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdr.txt")));
        QCOMPARE(f->speedMaximum(), 40);
        f->seSpeed->selectAll();
        QTest::keyClicks(f->seSpeed, "48");
        QCOMPARE(f->seSpeed->cleanText(), QStringLiteral("48"));
        leaveSpeedField();
        QCOMPARE(f->seSpeed->value(), 40);
        f->seSpeed->selectAll();
        QTest::keyClicks(f->seSpeed, "12");
        leaveSpeedField();
        QCOMPARE(f->seSpeed->value(), 12);
        // A faster drive's report raises the maximum and the value with it.
        QVERIFY(pick(0, data("cd_caps_single_digit.txt")));
        QCOMPARE(f->seSpeed->value(), 8);
        f->seSpeed->selectAll();
        QTest::keyClicks(f->seSpeed, "10");
        leaveSpeedField();
        QCOMPARE(f->seSpeed->value(), 8);
    }

    void reportWithoutSpeedFinishesTheEvaluation()
    {
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdr.txt")));
        QCOMPARE(f->speedMaximum(), 40);
        QVERIFY(pick(0, data("cd_caps_readonly.txt")));
        QVERIFY(!f->btFinalize->isEnabled());
        // Cut off before any speed line: Finalize and Read come back; the
        // speed field stays off, saying why, and keeps no maximum.
        QVERIFY(pick(0, data("cd_caps_truncated.txt")));
        QCOMPARE(enabled(), (QList<bool>{true, true, true, false, true, true, true, false, false, false}));
        QCOMPARE(f->seSpeed->toolTip(), QStringLiteral("The drive's report gives no write speed"));
        QCOMPARE(f->speedMaximum(), 0);
        QVERIFY(f->Label5->text().isEmpty());
    }

    void reopening()
    {
        // Opened, a drive picked, closed, opened again, as the user does it.
        auto open = [this](const QString &scan) {
            qputenv("FAKECD_SCANBUS", scan.toUtf8());
            QSignalSpy done(f, &TCD_Operations::scanFinished);
            f->show();
            return done.wait(60000);
        };
        QVERIFY(open(data("cd_scan_warnings.txt")));
        QVERIFY(pick(1, data("cd_caps_cdrw.txt")));
        QCOMPARE(f->Label3->text(), QStringLiteral("1,10,0"));
        QCOMPARE(f->Label5->text(), QStringLiteral("40"));
        QCOMPARE(enabled(), QList<bool>(10, true));
        f->btClose->click();
        QVERIFY(!f->isVisible());
        // Opened again: no drive, nothing offered, no speed.
        QVERIFY(open(data("cd_scan_basic.txt")));
        QCOMPARE(f->ComboBox1->count(), 1);
        QCOMPARE(f->ComboBox1->currentIndex(), -1);
        QVERIFY(f->Label3->text().isEmpty());
        QVERIFY(f->Label5->text().isEmpty());
        QCOMPARE(enabled(), QList<bool>(10, false));
        QCOMPARE(f->speedMaximum(), 0);
        QVERIFY(!f->WritesCDR && !f->WritesCDRW && f->MaxWriteSpeed.isEmpty());
        for (QWidget *w : controls())
            QCOMPARE(w->toolTip(), QStringLiteral("No drive selected"));
        // Reached anyway (the handlers behind the buttons): each says so and runs nothing.
        const int before = runs().size();
        m_dialogs->log.clear();
        m_dialogs->confirmAnswers = {true, true, true, true, true};
        m_dialogs->fileAnswers = {m_work->filePath("a.iso"), m_work->filePath("b.iso")};
        f->btFinalizeClick();
        f->btFormatClick();
        f->btQuickFormatClick();
        f->btBurnClick();
        f->btReadClick();
        QCOMPARE(runs().size(), before);
        QCOMPARE(m_dialogs->log, QStringList(5, "message::No drive selected"));
        // Picking the drive again brings its offers back.
        QVERIFY(pick(0, data("cd_caps_cdr.txt")));
        QCOMPARE(enabled(), (QList<bool>{true, true, true, true, true, true, true, false, false, false}));
        f->btClose->click();
    }

    void reopenedWhileTheQueryRuns()
    {
        // The report of a query started before the window was opened again
        // offers nothing: there is no drive chosen now.
        QVERIFY(activate(data("cd_scan_basic.txt")));
        qputenv("FAKECD_HOLD", "dev=1,0,0");
        f->ComboBox1->setCurrentIndex(0);
        emit f->ComboBox1->activated(0);
        QVERIFY(f->DosCommand1->isRunning());
        QSignalSpy evaluated(f, &TCD_Operations::capabilitiesEvaluated);
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(!f->DosCommand1->isRunning());
        // The stopped query's end has been handed over by now (it is queued
        // before the scan's end), and was not evaluated.
        QCOMPARE(evaluated.size(), 0);
        QCOMPARE(enabled(), QList<bool>(10, false));
        QCOMPARE(f->btBurn->toolTip(), QStringLiteral("No drive selected"));
    }

    void tooltipsSayWhy()
    {
        QCOMPARE(enabled(), QList<bool>(10, false));
        for (QWidget *w : controls())
            QCOMPARE(w->toolTip(), QStringLiteral("No drive selected"));
        QVERIFY(activate(data("cd_scan_warnings.txt")));
        // While the report is awaited.
        qputenv("FAKECD_HOLD", "dev=1,10,0");
        f->ComboBox1->setCurrentIndex(1);
        emit f->ComboBox1->activated(1);
        QCOMPARE(enabled(), QList<bool>(10, false));
        for (QWidget *w : controls())
            QCOMPARE(w->toolTip(), QStringLiteral("The capability query is running"));
        f->DosCommand1->Stop();
        qunsetenv("FAKECD_HOLD");

        // A reader: the drive's own words on everything that writes.
        QVERIFY(pick(0, data("cd_caps_readonly.txt")));
        QVERIFY(f->btRead->isEnabled() && usualTip(f->btRead));
        for (QWidget *w : controls().mid(1))
            QCOMPARE(w->toolTip(), QStringLiteral("The drive reports: Does not write CD-R media"));
        // CD-R only.
        QVERIFY(pick(0, data("cd_caps_cdr.txt")));
        for (QWidget *w : controls().mid(0, 7))
            QVERIFY2(w->isEnabled() && usualTip(w), qPrintable(w->objectName()));
        for (QWidget *w : controls().mid(7))
            QCOMPARE(w->toolTip(), QStringLiteral("The drive reports: Does not write CD-RW media"));
        // Cut off before the speed.
        QVERIFY(pick(0, data("cd_caps_truncated.txt")));
        QCOMPARE(f->seSpeed->toolTip(), QStringLiteral("The drive's report gives no write speed"));
        QVERIFY(f->btBurn->isEnabled() && usualTip(f->btBurn));
        // Everything.
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        for (QWidget *w : controls())
            QVERIFY2(w->isEnabled() && usualTip(w), qPrintable(w->objectName()));
        // Without readcd the read button names it.
        QFile::remove(m_folder->filePath("readcd"));
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        QVERIFY(!f->btRead->isEnabled());
        QCOMPARE(f->btRead->toolTip(), QStringLiteral("Couldn't find readcd . Please put readcd in Spindle folder"));
    }

    void realWritesAskFirst()
    {
        QVERIFY(activate(data("cd_scan_padded.txt")));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        const QString drive = disc::driveTitle(f->ComboBox1->itemText(0));
        QVERIFY(drive.startsWith("[1,0,0] ACME CDRW"));
        const QString image = m_work->filePath("boot.iso");
        QVERIFY(writeAll(image, QByteArray(3 * 1048576, 'x')));
        Tconsole *console = app::windows().console;

        // A simulation asks nothing and says what it was.
        m_dialogs->fileAnswers << image;
        f->btBurn->click();
        QCOMPARE(m_dialogs->log, (QStringList{"open:" + disc::kImageFilter,
                                              "message:Info:Process finished!\nSimulation finished"}));
        QVERIFY(runs().last().contains("[-dummy]"));

        // A real write: No runs nothing. (Reading the disc back is proven
        // with a real recorder and an emulated drive, test_burn.)
        f->cbSimulate->setChecked(false);
        f->cbVerify->setChecked(false);
        const QString question = "confirm:Write boot.iso (3 MB) to the disc in " + drive +
                                 "? This is a real write, not a simulation.";
        int before = runs().size();
        m_dialogs->log.clear();
        m_dialogs->fileAnswers << image;
        m_dialogs->confirmAnswers << false;
        f->btBurn->click();
        QCOMPARE(m_dialogs->log, (QStringList{"open:" + disc::kImageFilter, question}));
        QCOMPARE(runs().size(), before);
        // Yes runs exactly the builder's line, once.
        m_dialogs->log.clear();
        m_dialogs->fileAnswers << image;
        m_dialogs->confirmAnswers << true;
        f->btBurn->click();
        disc::BurnChoice b;
        b.address = "1,0,0";
        b.simulate = false;
        b.speed = 40;
        b.file = image;
        QCOMPARE(console->DosCommand1->command(), disc::burnCommand(b));
        QCOMPARE(runs().size(), before + 1);
        QCOMPARE(runs().last(), "cdrecord [-eject] [-v] [driveropts=burnfree] [dev=1,0,0] [speed=40] [" + image +
                                    "] [gracetime=1]");
        QCOMPARE(m_dialogs->log, (QStringList{"open:" + disc::kImageFilter, question,
                                              "message:Info:Process finished!\nDisc written"}));

        // Finalize, format and blank: one question each, No runs nothing.
        struct Op
        {
            QPushButton *button;
            QString question, line, result;
        };
        const QList<Op> ops{
            {f->btFinalize, disc::finalizeQuestion(f->ComboBox1->itemText(0)), "cdrecord dev=1,0,0 -fix",
             "Disc finalized"},
            {f->btFormat, disc::formatQuestion(f->ComboBox1->itemText(0)), "cdrecord -eject dev=1,0,0 -format",
             "Disc formatted"},
            {f->btQuickFormat, disc::blankQuestion(f->ComboBox1->itemText(0), "all"),
             "cdrecord -eject dev=1,0,0 blank=all", "Disc blanked"}};
        for (const Op &op : ops) {
            QVERIFY(op.question.contains(drive));
            before = runs().size();
            m_dialogs->log.clear();
            m_dialogs->confirmAnswers << false;
            op.button->click();
            QCOMPARE(m_dialogs->log, QStringList{"confirm:" + op.question});
            QCOMPARE(runs().size(), before);
            m_dialogs->log.clear();
            m_dialogs->confirmAnswers << true;
            op.button->click();
            QCOMPARE(runs().size(), before + 1);
            QCOMPARE(console->DosCommand1->CommandLine, op.line);
            QCOMPARE(m_dialogs->log, (QStringList{"confirm:" + op.question, "message:Info:Process finished!\n" + op.result}));
        }
        // A failed real write says it failed, not that the disc was written.
        qputenv("FAKECD_EXIT", "2");
        m_dialogs->log.clear();
        m_dialogs->confirmAnswers << true;
        // The console stays open after a failure: close it as the user would.
        m_dialogs->onMessage = [console](const QString &) {
            QTimer::singleShot(0, console, [console] { console->CloseBT->click(); });
        };
        f->btFinalize->click();
        m_dialogs->onMessage = nullptr;
        QVERIFY(!console->isVisible());
        QVERIFY(!m_dialogs->log.join('|').contains("Disc finalized"));
        QVERIFY(m_dialogs->log.join('|').contains("The command failed with exit code 2."));
        // The text is for the operation's own run only: the read says nothing more.
        qunsetenv("FAKECD_EXIT");
        m_dialogs->log.clear();
        m_dialogs->fileAnswers << m_work->filePath("back.iso");
        f->btRead->click();
        QCOMPARE(m_dialogs->log.last(), QStringLiteral("message:Info:Process finished!"));
    }

    void missingTools()
    {
        QFile::remove(m_folder->filePath("readcd"));
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QCOMPARE(m_dialogs->log, QStringList{"message::Couldn't find readcd . Please put readcd in Spindle folder"});
        QVERIFY(f->CdrecordFound && !f->ReadcdFound);
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        QVERIFY(!f->btRead->isEnabled() && f->btBurn->isEnabled());

        // Both gone: both messages, no scan, the window closes; the list stays.
        m_dialogs->log.clear();
        QFile::remove(m_folder->filePath("cdrecord"));
        QFile::remove(argsLog());
        f->show();
        QTRY_VERIFY_WITH_TIMEOUT(m_dialogs->log.size() == 2 && !f->isVisible(), 60000);
        QCOMPARE(m_dialogs->log, (QStringList{"message::Couldn't find cdrecord . Please put cdrecord in Spindle folder",
                                              "message::Couldn't find readcd . Please put readcd in Spindle folder"}));
        QVERIFY(!f->CdrecordFound && !f->ReadcdFound);
        QCOMPARE(f->ComboBox1->count(), 1);
        QVERIFY(runs().isEmpty());
    }

    void noDevices()
    {
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdr.txt")));
        QVERIFY(activate(data("cd_scan_no_cdrom.txt")));
        QCOMPARE(m_dialogs->log, QStringList{"message::No CD-ROM devices found"});
        QCOMPARE(f->ComboBox1->count(), 0);
        QVERIFY(f->Label3->text().isEmpty()); // no drive chosen now
        QCOMPARE(enabled(), QList<bool>(10, false));
        // A scan that prints nothing at all; the debug log says why.
        m_dialogs->log.clear();
        app::windows().session.DebugMode = true;
        QVERIFY(activate(QString()));
        QCOMPARE(m_dialogs->log, QStringList{"message::No CD-ROM devices found"});
        QVERIFY2(debugText().contains("*****  no CD drive found: " + f->lbDiagnosis->text()), qPrintable(debugText()));
        // Which program answers to cdrecord, in its own words.
        QVERIFY(debugText().contains("*****  cdrecord is "));
    }

    void badScanOutput()
    {
        // Binary garbage, then 100,000 lines: no crash, the window goes on.
        QByteArray junk(200 * 1024, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 7919 + (i >> 3)) & 0xff);
        writeAll(m_work->filePath("junk"), junk);
        QVERIFY(activate(m_work->filePath("junk")));
        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += "\t1," + QByteArray::number(i % 8) + ",0\t10" + QByteArray::number(i % 8) +
                    (i % 8 ? ") *\n" : ") 'ACME' 'CDRW52X' 'A1' Removable CD-ROM\n");
        writeAll(m_work->filePath("many"), many);
        QVERIFY(activate(m_work->filePath("many")));
        // A device line split across two reads comes once unfinished and
        // once whole, and both texts may hold the marker.
        QVERIFY(f->ComboBox1->count() >= 12500);
        QVERIFY(pick(f->ComboBox1->count() - 1, data("cd_caps_cdr.txt")));
        QVERIFY(f->btBurn->isEnabled());
        // 10,000 speed lines: the last one counts.
        QByteArray report = "  Does write CD-R media\n";
        for (int i = 0; i < 10000; ++i)
            report += "  Maximum write speed:  1411 kB/s (CD  " + QByteArray::number(10 + i % 80) + "x, DVD  1x)\n";
        writeAll(m_work->filePath("report"), report);
        QVERIFY(pick(0, m_work->filePath("report")));
        QCOMPARE(f->seSpeed->value(), 10 + 9999 % 80);
    }

    void toolThatCannotStart()
    {
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        brokenCdrecord();
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QCOMPARE(m_dialogs->log, (QStringList{"message::No CD-ROM devices found",
                                              "error:" + platform::spindleFolder() + "cdrecord -scanbus doesn't exist."}));
        f->ComboBox1->addItem("[1,0,0] stale"); // as a list left from an earlier opening would be
        m_dialogs->log.clear();
        QSignalSpy done(f, &TCD_Operations::capabilitiesEvaluated);
        f->Label3->clear();
        // The choice uses the address the scan gave; an entry without one is ignored.
        emit f->ComboBox1->activated(0);
        QCOMPARE(done.size(), 0);
    }

    // Commands take the chosen drive's address, never the label that shows it.
    void commandsTakeTheChosenDrive()
    {
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        f->Label3->setText("9,9,9");
        m_dialogs->confirmAnswers << true;
        f->btFinalize->click();
        QCOMPARE(runs().last(), QStringLiteral("cdrecord [dev=1,0,0] [-fix]"));
        // A new list chooses no drive, whatever the label shows.
        QVERIFY(activate(data("cd_scan_basic.txt")));
        f->Label3->setText("1,0,0");
        const qsizetype before = runs().size();
        m_dialogs->log.clear();
        m_dialogs->confirmAnswers << true;
        f->btFinalizeClick();
        QCOMPARE(runs().size(), before);
        QCOMPARE(m_dialogs->log, QStringList{"message::" + disc::kNoDriveSelected});
    }

    void queryThatCannotStart()
    {
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        brokenCdrecord();
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        QCOMPARE(m_dialogs->log, QStringList{"error:cdrecord dev=1,0,0 -prcap doesn't exist."});
        QCOMPARE(enabled(), (QList<bool>{true, false, false, false, false, false, false, false, false, false}));
    }

    void drivePickedWhileQueryRuns()
    {
        QVERIFY(activate(data("cd_scan_warnings.txt")));
        qputenv("FAKECD_HOLD", "dev=1,0,0");
        qputenv("FAKECD_PRCAP", data("cd_caps_cdr.txt").toUtf8());
        QSignalSpy done(f, &TCD_Operations::capabilitiesEvaluated);
        f->ComboBox1->setCurrentIndex(0);
        emit f->ComboBox1->activated(0);
        QTRY_VERIFY_WITH_TIMEOUT(runs().size() == 2, 60000); // the held query has started
        f->ComboBox1->setCurrentIndex(1);
        emit f->ComboBox1->activated(1);
        QVERIFY(done.wait(60000));
        QCOMPARE(done.size(), 1); // the stopped query is not evaluated
        QCOMPARE(f->Label3->text(), QStringLiteral("1,10,0"));
        QCOMPARE(enabled(), (QList<bool>{true, true, true, true, true, true, true, false, false, false}));
        QVERIFY(!f->DosCommand1->isRunning());
    }

    // A read that fails leaves the image it began: the user is asked to
    // delete it (Yes the default); an image that was there before is kept.
    // A real burn with Verify keeps the disc in the drive and reads it back
    // through readcd, as many sectors as the image has. (That the bytes are
    // compared is proven with a real recorder, test_burn.)
    void verifyReadsTheDiscBack()
    {
        // A copy: spindle-cli looks for readcd in its own folder.
        QVERIFY(QFile::copy(binDir() + "/spindle-cli", m_folder->filePath("spindle-cli")));
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        const QString image = m_work->filePath("a.iso");
        QVERIFY(writeAll(image, QByteArray(5 * 2048 + 1, 'x')));
        Tconsole *console = app::windows().console;
        m_dialogs->onMessage = [console](const QString &text) {
            if (text.startsWith(QLatin1String("Process finished!\nThe command")))
                QTimer::singleShot(0, console, [console] { console->CloseBT->click(); });
        };
        f->cbSimulate->setChecked(false);
        m_dialogs->fileAnswers << image;
        m_dialogs->confirmAnswers << true;
        f->btBurn->click();
        m_dialogs->onMessage = nullptr;
        const QStringList r = runs();
        QCOMPARE(r.mid(r.size() - 2), (QStringList{"cdrecord [-v] [driveropts=burnfree] [dev=1,0,0] [speed=40] [" +
                                                       image + "] [gracetime=1]",
                                                   "readcd [dev=1,0,0] [sectors=0-6] [f=-]"}));
        // The fake readcd gives other bytes than the image's.
        QVERIFY2(console->Memo1->toPlainText().contains("Verify failed: "), qPrintable(console->Memo1->toPlainText()));
    }

    void failedReadOffersToDeleteItsImage()
    {
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_readonly.txt")));
        qputenv("FAKECD_WRITE", "1");
        qputenv("FAKECD_EXIT", "3");
        const QString fresh = m_work->filePath("fresh.iso"), old = m_work->filePath("old.iso");
        QVERIFY(writeAll(old, "an earlier image"));
        // A failed run keeps the console open until Close.
        Tconsole *console = app::windows().console;
        m_dialogs->onMessage = [console](const QString &) {
            QTimer::singleShot(0, console, [console] { console->CloseBT->click(); });
        };
        m_dialogs->log.clear();
        m_dialogs->confirmYesDefaults.clear();
        m_dialogs->fileAnswers << fresh;
        m_dialogs->confirmAnswers << true;
        f->btRead->click();
        QVERIFY(m_dialogs->log.contains("confirm:Delete the incomplete image " + fresh + "?"));
        QCOMPARE(m_dialogs->confirmYesDefaults, QList<bool>{true});
        QVERIFY(!QFileInfo::exists(fresh));
        m_dialogs->log.clear();
        m_dialogs->fileAnswers << old;
        f->btRead->click();
        QVERIFY(m_dialogs->log.filter("Delete the incomplete image").isEmpty());
        QCOMPARE(readAll(old), QByteArray("partial")); // the tool's write, never deleted
        m_dialogs->onMessage = nullptr;
        qunsetenv("FAKECD_WRITE");
        qunsetenv("FAKECD_EXIT");
    }

    void operationsReachTheTool()
    {
        QVERIFY(activate(data("cd_scan_bus1001.txt")));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        const QString image = m_work->filePath("my \"best\" disc.iso");
        writeAll(image, "image");
        qputenv("FAKECD_PROGRESS", "5");

        // Burn with the defaults: simulate and burnfree ticked.
        m_dialogs->fileAnswers << image;
        f->btBurn->click();
        QCOMPARE(runs().last(), "cdrecord [-eject] [-v] [driveropts=burnfree] [dev=1001,0,0] [-dummy] [speed=40] [" +
                                    image + "] [gracetime=1]");
        QCOMPARE(m_dialogs->fileOptions.last().filter, QStringLiteral("ISO Files|*.ISO|RAW Files|*.RAW|All Files|*.*"));
        QCOMPARE(m_dialogs->fileOptions.last().defaultExt, QStringLiteral("iso"));
        QVERIFY(app::windows().console->Memo1->toPlainText().contains("Track 01:    5 of    5 MB written."));
        // Every box cleared, speed typed.
        f->cbSimulate->setChecked(false);
        f->cbVerify->setChecked(false);
        f->cbBurnFree->setChecked(false);
        f->cbDontFinalize->setChecked(true);
        f->seSpeed->selectAll();
        QTest::keyClicks(f->seSpeed, "16");
        m_dialogs->fileAnswers << image;
        m_dialogs->confirmAnswers << true; // the real-write question
        f->btBurn->click();
        QCOMPARE(runs().last(), "cdrecord [-eject] [-v] [dev=1001,0,0] [-nofix] [speed=16] [" + image + "] [gracetime=1]");

        // Format and blank only after Yes.
        const int before = runs().size();
        m_dialogs->confirmAnswers << false;
        f->btFormat->click();
        m_dialogs->confirmAnswers << false;
        f->btQuickFormat->click();
        QCOMPARE(runs().size(), before);
        m_dialogs->confirmAnswers << true;
        f->btFormat->click();
        QCOMPARE(runs().last(), QStringLiteral("cdrecord [-eject] [dev=1001,0,0] [-format]"));
        f->ComboBox2->setCurrentIndex(1);
        m_dialogs->confirmAnswers << true;
        f->btQuickFormat->click();
        QCOMPARE(runs().last(), QStringLiteral("cdrecord [-eject] [dev=1001,0,0] [blank=fast]"));
        f->ComboBox2->lineEdit()->clear();
        QTest::keyClicks(f->ComboBox2->lineEdit(), "session");
        m_dialogs->confirmAnswers << true;
        f->btQuickFormat->click();
        QCOMPARE(runs().last(), QStringLiteral("cdrecord [-eject] [dev=1001,0,0] [blank=session]"));
        QCOMPARE(m_dialogs->log.filter("This operation makes permanent changes.").size(), 5);

        // Read: the save dialog asks before overwriting.
        const QString out = m_work->filePath("read back.iso");
        m_dialogs->fileAnswers << out;
        f->btRead->click();
        QCOMPARE(runs().last(), "readcd [dev=1001,0,0] [f=" + out + "]");
        QVERIFY(m_dialogs->fileOptions.last().overwritePrompt);
        QCOMPARE(m_dialogs->fileOptions.last().defaultExt, QStringLiteral("iso"));

        // Finalize asks once and does not eject.
        const qsizetype asked = m_dialogs->log.size();
        m_dialogs->confirmAnswers << true;
        f->btFinalize->click();
        QCOMPARE(runs().last(), QStringLiteral("cdrecord [dev=1001,0,0] [-fix]"));
        QCOMPARE(m_dialogs->log.mid(asked).size(), 2);
        QCOMPARE(m_dialogs->log.mid(asked).last(), QStringLiteral("message:Info:Process finished!\nDisc finalized"));
        QCOMPARE(m_dialogs->log.filter(QRegularExpression("^message:Info:Process finished!")).size(), 7);
        // Nothing the operations do changes the window.
        QCOMPARE(f->Label3->text(), QStringLiteral("1001,0,0"));
        QCOMPARE(f->ComboBox1->currentIndex(), 0);
        QCOMPARE(enabled(), QList<bool>(10, true));
        // Outside debug mode nothing is logged.
        QVERIFY(!debugText().contains("*****"));
    }

    void cancelledDialogsRunNothing()
    {
        app::windows().session.DebugMode = true;
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        const QString log = debugText();
        const int before = runs().size();
        f->btBurn->click();
        f->btRead->click();
        f->btFormat->click();
        f->btQuickFormat->click();
        QCOMPARE(runs().size(), before);
        QCOMPARE(debugText(), log);
        QVERIFY(!m_dialogs->log.contains("message:Info:Process finished!"));
    }

    void debugLogNormalMode()
    {
        app::windows().session.DebugMode = true;
        qputenv("FAKECD_OUTPUT", data("cd_caps_cdrw.txt").toUtf8());
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(debugText().startsWith("\n*****  entering CD operations module\n\n*****  " + platform::spindleFolder() +
                                       "cdrecord -scanbus\n"));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        m_dialogs->confirmAnswers << true;
        f->btFormat->click();
        const QString console = app::windows().console->Memo1->toPlainText();
        QVERIFY(console.contains("Does write CD-RW media"));
        QVERIFY(debugText().endsWith("\n*****  cdrecord -eject dev=1,0,0 -format\n" + console + "\nDisc formatted"));
        // A burn's entry says whether it was a simulation or a real write.
        const QString image = m_work->filePath("boot.iso");
        QVERIFY(writeAll(image, "image"));
        m_dialogs->fileAnswers << image;
        f->btBurn->click();
        QVERIFY(debugText().endsWith(app::windows().console->Memo1->toPlainText() + "\nSimulation finished"));
        f->cbSimulate->setChecked(false);
        f->cbVerify->setChecked(false);
        m_dialogs->fileAnswers << image;
        m_dialogs->confirmAnswers << true;
        f->btBurn->click();
        QVERIFY(debugText().endsWith(app::windows().console->Memo1->toPlainText() + "\nDisc written"));

        // Read outside the Win9x modes: no capture file, an error after the
        // console, no entry.
        const QString logBefore = debugText();
        m_dialogs->log.clear();
        m_dialogs->fileAnswers << m_work->filePath("disc.iso");
        f->btRead->click();
        QCOMPARE(m_dialogs->log.size(), 3);
        QCOMPARE(m_dialogs->log[1], QStringLiteral("message:Info:Process finished!")); // a read writes no disc
        QVERIFY2(m_dialogs->log[2].startsWith("error:Cannot open file \"" + platform::workFolder() + "capture.tmp\"."),
                 qPrintable(m_dialogs->log[2]));
        QCOMPARE(debugText(), logBefore);
    }

    void debugLogWin9xMode()
    {
        app::windows().session.DebugMode = app::windows().session.Win9xMode = true;
        writeAll(m_folder->filePath("capture.tmp"), "earlier run\r\n");
        writeAll(m_folder->filePath("debug.tmp"), "");
        app::windows().Debug_win->FormActivate();
        qputenv("FAKECD_OUTPUT", data("cd_caps_cdr.txt").toUtf8());
        QVERIFY(activate(data("cd_scan_basic.txt")));
        QVERIFY(pick(0, data("cd_caps_cdrw.txt")));
        m_dialogs->fileAnswers << m_work->filePath("disc.iso");
        f->btRead->click();
        QCOMPARE(runs().last(), "readcd [dev=1,0,0] [f=" + m_work->filePath("disc.iso") + "]");
        // The whole capture file follows the entry, the console's memo not.
        const QString capture = QString::fromUtf8(readAll(m_folder->filePath("capture.tmp")));
        QVERIFY(capture.startsWith("earlier run\r\n") && capture.contains("Does write CD-R media"));
        const QString entry = "\n*****  readcd dev=1,0,0 f=\"" + m_work->filePath("disc.iso") + "\"\n";
        const QString log = debugText();
        QVERIFY2(log.contains(entry + "earlier run\n"), qPrintable(log.right(400)));
        QCOMPARE(log.count("Does write CD-R media"), 1);
        QVERIFY(!m_dialogs->log.join('|').contains("error:"));
        // The other operations log their command and what the console memo
        // still holds.
        m_dialogs->confirmAnswers << true;
        f->btFinalize->click();
        QVERIFY(debugText().endsWith("\n*****  cdrecord dev=1,0,0 -fix\n" +
                                     app::windows().console->Memo1->toPlainText() + "\nDisc finalized"));
    }
};

QTEST_MAIN(TestCdOperations)
#include "test_cd_operations.moc"
