#define SPINDLE_UI_TESTS
#include "app/ui/windows.h"
#include "ui/style.h"
#include "exec/batch.h"
#include "iso/check.h"
#include "iso/ui/mkiso_form.h"
#include "iso/profile_file.h"
#include "platform/bounded_read.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tree/sort_file.h"
#include "tree/ui/sorter_form.h"

#include <QCheckBox>
#include <QProcess>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using platform::BoundedRead;

// Every reader of a file the user names takes only a regular file, and none
// larger than its limit: a FIFO, a device or a folder picked by mistake is
// refused at once, a file one byte over the limit before it is read.
class TestBoundedRead : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &n) const { return m_dir.filePath(n); }

    // The things that are not a regular file, and the files one byte over
    // each limit (sparse: they take no disk).
    QString fifo() const { return path("fifo"); }
    QString folder() const { return path("folder"); }
    QString overList() const { return path("over.lst"); }
    QString overTemplate() const { return path("over.mkiso"); }
    // Small in bytes, but one line more than a list takes.
    QString manyLines() const { return path("lines.lst"); }
    QStringList notRegular() const { return {QStringLiteral("/dev/zero"), fifo(), folder()}; }

    static bool sparse(const QString &file, qint64 size)
    {
        QFile f(file);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.resize(size);
    }
    static QString notRegularError(const QString &file)
    {
        return QStringLiteral("Cannot open file \"%1\". not a regular file").arg(file);
    }
    // A spindle-cli run, checked for its end (no wait on a FIFO), exit 1,
    // the message, and its peak memory.
    void cliRefuses(const QStringList &args, const QByteArray &message)
    {
        QList<QByteArray> argv{QFile::encodeName(binDir() + "/spindle-cli")};
        for (const QString &a : args)
            argv << QFile::encodeName(a);
        const RawRun run = runRaw(argv, 60000);
        const QByteArray what = args.join(' ').toUtf8();
        QVERIFY2(!run.timedOut, what.constData());
        QVERIFY2(run.exitCode == 1, (what + ": exit " + QByteArray::number(run.exitCode) + "\n" + run.err).constData());
        QVERIFY2(run.err.contains(message), (what + ":\n" + run.err).constData());
        QVERIFY2(run.maxRssKb < 300 * 1024, (what + ": peak " + QByteArray::number(run.maxRssKb) + " kB").constData());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(::mkfifo(QFile::encodeName(fifo()).constData(), 0600), 0);
        QVERIFY(QDir().mkpath(folder()));
        QVERIFY(sparse(overList(), tree::kSortFileLimit + 1));
        QVERIFY(sparse(overTemplate(), iso::ProfileFile::kProfileLimit + 1));
        QVERIFY(writeAll(manyLines(), QByteArray(tree::kSortFileLines, '\n') + "/last 1"));
        QCOMPARE(tree::kSortFileLimit, qint64(64) << 20);
        QCOMPARE(exec::kBatchFileLimit, qint64(64) << 20);
        QCOMPARE(iso::ProfileFile::kProfileLimit, qint64(1) << 20);
    }

    void theService()
    {
        QVERIFY(writeAll(path("ten"), "0123456789"));
        BoundedRead r = platform::readBounded(path("ten"), 10);
        QVERIFY(r.ok());
        QCOMPARE(r.data, QByteArray("0123456789"));
        r = platform::readBounded(path("ten"), 9);
        QCOMPARE(r.status, BoundedRead::TooLarge);
        QVERIFY(r.data.isEmpty());
        QVERIFY(writeAll(path("empty"), ""));
        QVERIFY(platform::readBounded(path("empty"), 0).ok());
        for (const QString &p : notRegular()) {
            r = platform::readBounded(p, 1 << 20);
            QVERIFY2(r.status == BoundedRead::NotRegular, qPrintable(p));
            QCOMPARE(r.reason, QStringLiteral("not a regular file"));
        }
        r = platform::readBounded(path("missing"), 10);
        QCOMPARE(r.status, BoundedRead::CannotOpen);
        QCOMPARE(r.errnum, ENOENT);
        QCOMPARE(r.reason, QStringLiteral("No such file or directory"));
        // A file that tells no size (as under /proc) is still held to the limit.
        r = platform::readBounded(QStringLiteral("/proc/self/status"), 16);
        QCOMPARE(r.status, BoundedRead::TooLarge);
        r = platform::readBounded(QStringLiteral("/proc/self/status"), 1 << 20);
        QVERIFY(r.ok());
        QVERIFY(r.data.startsWith("Name:"));
        // A name that is not UTF-8 is opened by its bytes.
        const QByteArray odd = QFile::encodeName(m_dir.path()) + "/caf\xe9";
        const int fd = ::open(odd.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "bytes", 5), ssize_t(5));
        ::close(fd);
        r = platform::readBounded(platform::decodePath(odd), 10);
        QVERIFY(r.ok());
        QCOMPARE(r.data, QByteArray("bytes"));
    }

    // Load List and Import List in the Layout Sorter.
    void sorterWindow()
    {
        auto *dialogs = new FakeDialogs;
        ui::setDialogs(dialogs);
        {
            Tsorter_form f;
            const QList<std::pair<QString, QString>> cases{
                {QStringLiteral("/dev/zero"), notRegularError(QStringLiteral("/dev/zero"))},
                {fifo(), notRegularError(fifo())},
                {folder(), notRegularError(folder())},
                {overList(), QStringLiteral("Text exceeds memo capacity")},
                {manyLines(), QStringLiteral("Text exceeds memo capacity")},
            };
            for (const auto &[file, message] : cases) {
                for (QPushButton *button : {f.Button14, f.Button15}) {
                    f.sortList()->insertEntry(QStringLiteral("/before"), QStringLiteral("1"));
                    dialogs->log.clear();
                    dialogs->fileAnswers << file;
                    button->click();
                    QCOMPARE(dialogs->log, (QStringList{"open:Lists|*.lst|All Files|*.*", "error:" + message}));
                    QVERIFY(f.sortList()->isEmptyList());
                }
            }
        }
        ui::setDialogs(nullptr);
        delete dialogs;
    }

    // At the limits a list is still read.
    void atTheLimits()
    {
        tree::SortSpans spans;
        QString error;
        QVERIFY(writeAll(path("full.lst"), QByteArray(tree::kSortFileLines - 1, '\n') + "/last 1"));
        QVERIFY2(tree::readSortFile(path("full.lst"), true, &spans, &error), qPrintable(error));
        QList<tree::SortRow> rows = tree::textRows(spans);
        QCOMPARE(rows.size(), tree::kSortFileLines);
        QCOMPARE(rows.last(), (tree::SortRow{"/last", "1"}));
        QVERIFY(sparse(path("at.lst"), tree::kSortFileLimit));
        QVERIFY2(tree::readSortFile(path("at.lst"), true, &spans, &error), qPrintable(error));
        rows = tree::textRows(spans);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().path.size(), 4096);
    }

    // Open Template in Make ISO: the form of a template that cannot be read.
    void makeIsoWindow()
    {
        QTemporaryDir spindleFolder;
        platform::setSpindleFolder(spindleFolder.path());
        auto *dialogs = new FakeDialogs;
        createWindowsWith(dialogs);
        TMkisofs_form *f = app::windows().Mkisofs_form;
        f->Edit2->setText(QStringLiteral("KEEP"));
        const QList<std::pair<QString, QString>> cases{
            {QStringLiteral("/dev/zero"), notRegularError(QStringLiteral("/dev/zero"))},
            {fifo(), notRegularError(fifo())},
            {folder(), notRegularError(folder())},
            {overTemplate(), QStringLiteral("Cannot open file \"%1\". larger than 1 MiB, too large for a template")
                                 .arg(overTemplate())},
        };
        for (const auto &[file, message] : cases) {
            dialogs->log.clear();
            dialogs->fileAnswers << file;
            f->OpenTemplateClick();
            QCOMPARE(dialogs->log.size(), 2);
            QCOMPARE(dialogs->log.last(), "error:" + message);
            QCOMPARE(f->Edit2->text(), QStringLiteral("KEEP"));
        }
        // Exactly at the limit it is read (and is no template of version 2).
        QVERIFY(sparse(path("at.mkiso"), iso::ProfileFile::kProfileLimit));
        dialogs->log.clear();
        dialogs->fileAnswers << path("at.mkiso");
        f->OpenTemplateClick();
        QCOMPARE(dialogs->log.last(), QStringLiteral("message:Information:Wrong file version"));
        destroyWindowsOf(dialogs);
        rusage self{};
        getrusage(RUSAGE_SELF, &self);
        QVERIFY2(self.ru_maxrss < 300 * 1024, QByteArray::number(qint64(self.ru_maxrss)).constData());
    }

    // Check's sort file section.
    void checkReport()
    {
        for (const QString &p : notRegular()) {
            iso::IsoOptions o;
            o.clearAll();
            o.setCheck(iso::Opt::sorting, true);
            o.setText(iso::Opt::sorting_list, p);
            o.setText(iso::Opt::root_folder, folder());
            iso::CheckReport r;
            iso::checkTree(o, iso::resolvePaths(o), &r);
            QCOMPARE(r.problems.size(), 1);
            QCOMPARE(r.problems.first().sentence, QStringLiteral("The sort file cannot be read: genisoimage stops."));
            QCOMPARE(r.problems.first().examples, QStringList{notRegularError(p)});
        }
    }

    void commandLine()
    {
        QVERIFY(sparse(path("over.bat"), exec::kBatchFileLimit + 1));
        const QString out = path("out.lst");
        // An image for order; what is not a regular file or a block device
        // is no image.
        const QString image = path("ok.iso");
        QProcess mkisofs;
        mkisofs.start(binDir() + "/mkisofs", {"-quiet", "-o", image, folder()});
        QVERIFY(mkisofs.waitForFinished(60000) && mkisofs.exitCode() == 0);
        for (const QString &p : notRegular()) {
            cliRefuses({"order", p}, p.toUtf8() + ": not a regular file or block device\n");
            cliRefuses({"order", image, p}, notRegularError(p).toUtf8());
            const QByteArray message = notRegularError(p).toUtf8();
            cliRefuses({"sortlist", "sort", p, out}, message);
            cliRefuses({"sortlist", "import", p, "/base", out}, message);
            cliRefuses({"sortlist", "export", p, "/base", out}, message);
            cliRefuses({"batch", p}, message);
            cliRefuses({"run-bat", p}, message);
        }
        cliRefuses({"sortlist", "sort", overList(), out}, "Text exceeds memo capacity");
        cliRefuses({"sortlist", "import", overList(), "/base", out}, "Text exceeds memo capacity");
        cliRefuses({"sortlist", "export", overList(), "/base", out}, "Text exceeds memo capacity");
        cliRefuses({"sortlist", "sort", manyLines(), out}, "Text exceeds memo capacity");
        cliRefuses({"run-bat", path("over.bat")}, "Text exceeds memo capacity");
        // A line no program could take is refused before it is decoded.
        QVERIFY(writeAll(path("long.bat"), "@echo off\r\n" + QByteArray(exec::kBatchLineLimit + 1, 'x') + "\r\n"));
        cliRefuses({"run-bat", path("long.bat")}, "The input line is too long.");
        cliRefuses({"batch", overTemplate()},
                   "Cannot open file \"" + overTemplate().toUtf8() + "\". larger than 1 MiB, too large for a template");
        QVERIFY(!QFile::exists(out));
    }
};

QTEST_MAIN(TestBoundedRead)
#include "test_bounded_read.moc"
