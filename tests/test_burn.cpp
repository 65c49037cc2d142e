// Every write proven with a real writing program: cdrskin burns to an
// emulated drive (a plain file, dev=stdio:FILE). cdrskin keeps root to
// stdio:/dev/null, so Spindle's "cdrecord" here starts it as the user
// nobody, with a home whose .cdrskinrc allows emulated drives. The image
// comes from the Make ISO window (Make Batch, Run Batch); the command
// lines from CD Operations' builders; every run goes through the console.
#define SPINDLE_UI_TESTS
#include "app/ui/windows.h"
#include "disc/capabilities.h"
#include "disc/commands.h"
#include "disc/offers.h"
#include "disc/verify.h"
#include "exec/ui/console_capture.h"
#include "iso/ui/mkiso_form.h"
#include "platform/platform.h"
#include "testutil.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

class TestBurn : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_base = nullptr; // under /tmp, where nobody can reach it
    FakeDialogs *m_dialogs = nullptr;
    Tconsole *m_console = nullptr;
    QString m_image;
    QByteArray m_imageBytes;

    QString b(const QString &rel) const { return m_base->filePath(rel); }
    QString disc(const QString &name) const { return QStringLiteral("stdio:") + b("discs/" + name); }

    // Runs a command line in the console as CD Operations does; its result
    // line (empty after a success).
    QString run(const exec::CommandLine &command, const QString &success = {})
    {
        m_console->setSuccessText(success);
        m_console->run(command);
        return m_console->resultLine();
    }
    disc::BurnChoice burnOf(const QString &address, bool simulate) const
    {
        disc::BurnChoice c;
        c.address = address;
        c.simulate = simulate;
        c.file = m_image;
        return c;
    }
    struct Cli
    {
        int code;
        QByteArray out, err;
    };
    Cli cli(const QStringList &args)
    {
        QProcess p;
        p.start(b("spindle/spindle-cli"), args);
        p.waitForFinished(120000);
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }
    static bool mode(const QString &path, mode_t m) { return ::chmod(QFile::encodeName(path).constData(), m) == 0; }

private slots:
    void initTestCase()
    {
        const QString cdrskin = QStandardPaths::findExecutable(QStringLiteral("cdrskin"));
        QVERIFY2(!cdrskin.isEmpty(), "cdrskin is not installed (make test installs it)");
        m_base = new QTemporaryDir(QStringLiteral("/tmp/spindle-burn-XXXXXX"));
        QVERIFY(m_base->isValid() && mode(m_base->path(), 0755));
        for (const char *d : {"home", "discs", "spindle", "work", "tree"})
            QVERIFY(QDir().mkpath(b(d)) && mode(b(d), 0755));
        QVERIFY(mode(b("discs"), 01777));
        QVERIFY(writeAll(b("home/.cdrskinrc"), "--allow_emulated_drives\n") && mode(b("home/.cdrskinrc"), 0644));
        const QString wrapper = b("spindle/cdrecord");
        QVERIFY(writeAll(wrapper, QStringLiteral("#!/bin/sh\n"
                                                 "export HOME='%1'\n"
                                                 "[ \"$(id -u)\" = 0 ] && exec setpriv --reuid=65534 --regid=65534 "
                                                 "--clear-groups '%2' \"$@\"\n"
                                                 "exec '%2' \"$@\"\n")
                                      .arg(b("home"), cdrskin)
                                      .toUtf8()));
        QVERIFY(mode(wrapper, 0755));
        QVERIFY(QFile::link(binDir() + "/mkisofs", b("spindle/mkisofs")));
        QVERIFY(QFile::link(binDir() + "/readcd", b("spindle/readcd")));
        QVERIFY(QFile::copy(binDir() + "/spindle-cli", b("spindle/spindle-cli")) && mode(b("spindle/spindle-cli"), 0755));
        platform::setSpindleFolder(b("spindle"));
        m_dialogs = new FakeDialogs;
        createWindowsWith(m_dialogs);
        m_console = app::windows().console;
        // A failed run leaves the console open: close it as the user would.
        m_dialogs->onMessage = [this](const QString &text) {
            if (text.startsWith(QLatin1String("Process finished!\nThe command")))
                QTimer::singleShot(0, m_console, [this] { m_console->CloseBT->click(); });
        };

        // The image, through Make Batch and Run Batch: 8 MB of this run's bytes.
        QByteArray data(8 * 1024 * 1024, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
        QVERIFY(writeAll(b("tree/data.bin"), data) && writeAll(b("tree/readme.txt"), "burned by cdrskin\n"));
        TMkisofs_form *f = app::windows().Mkisofs_form;
        f->FormActivate();
        f->Edit7->setText(b("tree/"));
        f->Edit8->setText(b("work/"));
        f->Edit13->setText(QStringLiteral("cd.iso"));
        f->Edit9->setText(b("work/"));
        f->MkBatBTClick();
        f->RunBatBTClick();
        m_image = b("work/cd.iso");
        m_imageBytes = readAll(m_image);
        QVERIFY2(m_imageBytes.size() > data.size() && m_imageBytes.contains(data.left(4096)),
                 qPrintable(m_console->Memo1->toPlainText()));
        QVERIFY(mode(m_image, 0644));
        m_dialogs->log.clear();
    }
    void cleanupTestCase()
    {
        destroyWindowsOf(m_dialogs);
        delete m_base;
    }

    void theRecorderIsKnownByItsWords()
    {
        QCOMPARE(exec::identifyTool(QStringLiteral("cdrecord")).implementation, exec::Implementation::Cdrskin);
        // cdrskin's own answers about the emulated drive: it writes, no CD-RW, no speed.
        Cli r = cli({"caps", disc("caps")});
        QCOMPARE(r.out, QByteArray("writes CD-R: yes\nwrites CD-RW: no\nmax write speed: unknown\n"));
        QCOMPARE(r.code, 0);
        // No drive at that address: the query failed, and says why.
        r = cli({"caps", "9,9,9"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("No drive answers at this address"), r.err.constData());
    }

    // The bytes on the "disc" are the image's; read back, they verify, and
    // a disc changed afterwards does not.
    void burnWritesTheImageAndVerifies()
    {
        const QString address = disc("burned");
        QCOMPARE(run(disc::burnCommand(burnOf(address, false)), disc::kDiscWritten), QString());
        QCOMPARE(m_dialogs->log.last(), QStringLiteral("message:Info:Process finished!\nDisc written"));
        QCOMPARE(m_console->ProgressPanel1->percent(), 100); // from cdrskin's own lines
        const QByteArray burned = readAll(b("discs/burned"));
        QVERIFY(burned.size() >= m_imageBytes.size());
        QVERIFY(burned.left(m_imageBytes.size()) == m_imageBytes);

        QCOMPARE(run(disc::verifyCommand(address, m_image), disc::kDiscVerified), QString());
        QVERIFY(m_console->Memo1->toPlainText().contains(disc::kDiscVerified));
        QCOMPARE(m_console->ProgressPanel1->percent(), 100);

        // One byte of sector 3 changed after the burn.
        QByteArray changed = burned;
        changed[3 * 2048 + 100] = char(changed[3 * 2048 + 100] ^ 0x55);
        QVERIFY(writeAll(b("discs/burned"), changed));
        QCOMPARE(run(disc::verifyCommand(address, m_image)), QStringLiteral("The command failed with exit code 1."));
        QVERIFY2(m_console->Memo1->toPlainText().contains("Verify failed: sector 3 of the disc differs from the image."),
                 qPrintable(m_console->Memo1->toPlainText()));
        // A disc that ends early.
        QVERIFY(writeAll(b("discs/burned"), burned.left(10 * 2048)));
        run(disc::verifyCommand(address, m_image));
        QVERIFY(m_console->Memo1->toPlainText().contains(
            QStringLiteral("Verify failed: the disc ends at sector 10; the image has %1.").arg(m_imageBytes.size() / 2048)));
    }

    void simulationWritesNothing()
    {
        QCOMPARE(run(disc::burnCommand(burnOf(disc("simulated"), true)), disc::kSimulationFinished), QString());
        QCOMPARE(QFileInfo(b("discs/simulated")).size(), 0);
        QVERIFY(m_console->Memo1->toPlainText().contains("-dummy mode will prevent actual writing"));
    }

    // The "disc" is a FIFO read slowly, so cdrskin's progress comes over
    // time and the bar follows it to 100.
    void progressComesOverTime()
    {
        const QString fifo = b("discs/fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
        QVERIFY(mode(fifo, 0666));
        QProcess reader;
        reader.start(testChild(), {"slowread", fifo, b("work/from-fifo"), QString::number(3 * 1024 * 1024)});
        QVERIFY(reader.waitForStarted());
        QSignalSpy percents(m_console->ProgressPanel1, &exec::ProgressPanel::percentChanged);
        QCOMPARE(run(disc::burnCommand(burnOf(QStringLiteral("stdio:") + fifo, false)), disc::kDiscWritten), QString());
        QVERIFY(reader.waitForFinished(60000));
        QList<int> seen;
        for (const QList<QVariant> &s : percents)
            if (const int p = s.first().toInt(); p >= 0 && (seen.isEmpty() || seen.last() != p))
                seen << p;
        QVERIFY2(seen.size() >= 4 && seen.last() == 100, qPrintable(QDebug::toString(seen)));
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QVERIFY(readAll(b("work/from-fifo")) == m_imageBytes);
    }

    void writeErrorSaysWhy()
    {
        QCOMPARE(run(disc::burnCommand(burnOf(QStringLiteral("stdio:/dev/full"), false))),
                 QStringLiteral("The command failed with exit code 10.\n"
                                "Writing to the disc failed: the drive did not take all the data."));
    }

    // What cdrskin does not do fails with its cause, whatever its exit code,
    // and is exactly what CD Operations does not offer with cdrskin.
    void whatCdrskinDoesNotDo_data()
    {
        QTest::addColumn<exec::CommandLine>("command");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("offerReason");
        const disc::RecorderLimits limits = disc::recorderLimits(exec::Implementation::Cdrskin);
        const QString d = disc("ops");
        QTest::newRow("finalize") << disc::finalizeCommand(d)
                                  << "The command did not do what was asked.\ncdrskin does not do -fix: it ignored the "
                                     "option, so that part of the job was not done."
                                  << limits.finalize;
        disc::BurnChoice open = burnOf(d, true);
        open.dontFinalize = true;
        QTest::newRow("don't finalize") << disc::burnCommand(open)
                                        << "The command did not do what was asked.\ncdrskin does not do -nofix: it "
                                           "ignored the option, so that part of the job was not done."
                                        << limits.dontFinalize;
        QTest::newRow("format") << disc::formatCommand(d)
                                << "The command failed with exit code 8.\ncdrskin formats DVD+RW discs only, not "
                                   "CD-RW: use Blank CD-RW instead."
                                << limits.format;
        for (const QString &type : disc::kBlankTypes) {
            const bool does = type == QLatin1String("all") || type == QLatin1String("fast");
            QTest::newRow(qPrintable("blank=" + type))
                << disc::blankCommand(d, type)
                << (does ? QString()
                         : "The command failed with exit code 3.\ncdrskin does not do blank type " + type +
                               ": it blanks with all or fast only.")
                << limits.blankTypeReason(type);
        }
    }
    void whatCdrskinDoesNotDo()
    {
        QFETCH(exec::CommandLine, command);
        QFETCH(QString, result);
        QFETCH(QString, offerReason);
        QCOMPARE(run(command), result);
        QCOMPARE(offerReason.isEmpty(), result.isEmpty());
    }

    // spindle-cli burn --verify: the same lines, progress to 100, read back.
    void cliBurnVerifies()
    {
        const QString address = disc("cli");
        const Cli r = cli({"burn", "--events", "--verify", address, m_image});
        QVERIFY2(r.code == 0, r.err.constData());
        const QList<QByteArray> lines = r.out.split('\n');
        disc::BurnChoice kept = burnOf(address, false);
        kept.eject = false; // the disc stays in the drive to be read back
        QVERIFY(lines.contains("C " + disc::burnCommand(kept).render()));
        QVERIFY(lines.contains("C " + disc::verifyCommand(address, m_image).render()));
        QCOMPARE(lines.count("P 100"), 2);
        QVERIFY(lines.contains("E " + disc::kDiscVerified.toUtf8()));
        QVERIFY(readAll(b("discs/cli")).left(m_imageBytes.size()) == m_imageBytes);
    }
};

QTEST_MAIN(TestBurn)
#include "test_burn.moc"
