// An installed Spindle's folder cannot be written: its scratch files go to
// the user's data folder instead, while the tools are still found there.
#define SPINDLE_UI_TESTS
#include "app/ui/integrator.h"
#include "app/ui/windows.h"
#include "app/ui/debug_unit.h"
#include "base/session.h"
#include "ui/style.h"
#include "exec/ui/console_capture.h"
#include "exec/tools.h"
#include "tools/other_jobs.h"
#include "platform/platform.h"
#include "testutil.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

class TestWorkFolder : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data; // the user's data home
    QTemporaryDir *m_folder = nullptr; // Spindle's folder
    QTemporaryDir *m_cwd = nullptr;
    FakeDialogs *m_dialogs = nullptr;

    QString inFolder(const QString &name) const { return m_folder->filePath(name); }
    QString dataFolder() const
    {
        return m_data.filePath(QCoreApplication::applicationName()) + QLatin1Char('/');
    }
    void makeReadOnly()
    {
        QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                                    | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    }
    QStringList entries(const QString &dir) const
    {
        return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }
    TIntegrator *main() const { return app::windows().Integrator; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
    }
    void init()
    {
        m_folder = new QTemporaryDir;
        m_cwd = new QTemporaryDir;
        platform::setSpindleFolder(m_folder->path());
        for (const QString &tool : exec::toolNames())
            writeAll(inFolder(tool), "");
        m_dialogs = new FakeDialogs;
        ui::setDialogs(m_dialogs);
        app::windows().session.DebugMode = app::windows().session.Win9xMode = false;
    }
    void cleanup()
    {
        ui::setDialogs(nullptr);
        delete m_dialogs;
        platform::sessionScratch().release();
        QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        delete m_cwd;
        delete m_folder;
        QDir(dataFolder()).removeRecursively();
        app::windows().session.DebugMode = app::windows().session.Win9xMode = false;
    }

    void writableFolderIsTheWorkFolder()
    {
        QCOMPARE(platform::workFolder(), m_folder->path() + '/');
        QVERIFY(!QFile::exists(dataFolder())); // not even created
    }

    void readOnlyFolderFallsBackToDataFolder()
    {
        makeReadOnly();
        QCOMPARE(platform::workFolder(), dataFolder());
        QVERIFY(QFileInfo(dataFolder()).isDir());
        // The Other tools jobs run there too, and say so.
        QCOMPARE(tools::jobFolder(), dataFolder());
        QCOMPARE(tools::jobHeader(), "Please wait...\nWorking folder: " + dataFolder());
    }

    // The whole session in a read-only folder: no error, the tools are found
    // in Spindle's folder, the scratch files live and die in the data folder.
    void sessionInReadOnlyFolder()
    {
        makeReadOnly();
        const QStringList before = entries(m_folder->path());
        app::createWindows();
        main()->setArguments({"-win98debug"});
        main()->FormActivate();
        QCOMPARE(m_dialogs->log, QStringList());
        QVERIFY(app::windows().session.DebugMode && app::windows().session.Win9xMode);
        QCOMPARE(QFileInfo(dataFolder() + "capture.tmp").size(), 0);
        QCOMPARE(QFileInfo(dataFolder() + "debug.tmp").size(), 0);

        TDebug_win *d = app::windows().Debug_win;
        d->addText(QString(64001, 'a')); // beyond the limit: moves out
        QVERIFY(d->Memo1->toPlainText().isEmpty());
        QCOMPARE(readAll(dataFolder() + "debug.tmp"), QByteArray(64001, 'a') + "\n");

        QVERIFY(main()->FormCloseQuery()); // the save question: No
        QVERIFY(!QFile::exists(dataFolder() + "capture.tmp"));
        QVERIFY(!QFile::exists(dataFolder() + "debug.tmp"));
        QCOMPARE(entries(m_folder->path()), before);
        app::destroyWindows();
    }

    // A scratch file that is a symbolic link is replaced at start and
    // refused when appended to: the file it points to keeps its bytes.
    void scratchLinkIsNeverFollowed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("linkedAfterStart");
        QTest::newRow("capture.tmp at start") << "capture.tmp" << false;
        QTest::newRow("debug.tmp at start") << "debug.tmp" << false;
        QTest::newRow("debug.tmp before a spill") << "debug.tmp" << true;
    }
    void scratchLinkIsNeverFollowed()
    {
        QFETCH(QString, name);
        QFETCH(bool, linkedAfterStart);
        const QString outside = m_cwd->filePath("precious");
        QVERIFY(writeAll(outside, "keep"));
        if (!linkedAfterStart)
            QVERIFY(QFile::link(outside, inFolder(name)));
        app::createWindows();
        main()->setArguments({"-win98debug"});
        main()->FormActivate();
        if (linkedAfterStart) {
            QVERIFY(QFile::remove(inFolder(name)) && QFile::link(outside, inFolder(name)));
            app::windows().Debug_win->addText(QString(64001, 'a'));
            QCOMPARE(m_dialogs->log.size(), 1);
            QVERIFY(m_dialogs->log.first().contains("symbolic link"));
        } else {
            QCOMPARE(m_dialogs->log, QStringList());
            QVERIFY(!QFileInfo(inFolder(name)).isSymLink());
            QCOMPARE(QFileInfo(inFolder(name)).size(), 0);
        }
        QCOMPARE(readAll(outside), QByteArray("keep"));
        QVERIFY(main()->FormCloseQuery());
        QCOMPARE(readAll(outside), QByteArray("keep"));
        app::destroyWindows();
    }

    // A second session in the folder of a running one neither empties nor
    // deletes the first one's scratch files: in Win9x mode it says so and
    // keeps its own in the data folder. Once the first has ended, what it
    // left goes at the next session's exit.
    void secondSessionLeavesTheFirstsFiles_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("-win98") << "-win98";
        QTest::newRow("normal mode") << "";
    }
    void secondSessionLeavesTheFirstsFiles()
    {
        QFETCH(QString, mode);
        platform::ScratchFolder first;
        QVERIFY(first.claim(m_folder->path()));
        for (const char *name : {"capture.tmp", "debug.tmp"})
            QVERIFY(writeAll(inFolder(name), "the first session's"));
        app::createWindows();
        main()->setArguments(mode.isEmpty() ? QStringList() : QStringList{mode});
        main()->FormActivate();
        if (!mode.isEmpty()) {
            QCOMPARE(m_dialogs->log, QStringList{"message:Information:Another Spindle session uses the scratch files in "
                                                 + m_folder->path() + "/, so this session keeps its own in "
                                                 + dataFolder() + "."});
            QCOMPARE(QFileInfo(dataFolder() + "capture.tmp").size(), 0);
            QCOMPARE(QFileInfo(dataFolder() + "debug.tmp").size(), 0);
        }
        QVERIFY(main()->FormCloseQuery());
        for (const char *name : {"capture.tmp", "debug.tmp"}) {
            QCOMPARE(readAll(inFolder(name)), QByteArray("the first session's"));
            QVERIFY(!QFile::exists(dataFolder() + name));
        }
        first.release();
        QVERIFY(main()->FormCloseQuery());
        QVERIFY(!QFile::exists(inFolder("capture.tmp")) && !QFile::exists(inFolder("debug.tmp")));
        app::destroyWindows();
    }

    void consoleSpillsIntoDataFolder()
    {
        makeReadOnly();
        app::windows().session.Win9xMode = true;
        Tconsole console(app::windows().session);
        // A run that fails leaves the console open for its Close: close it,
        // so a failure shows at once instead of waiting for a user.
        m_dialogs->onMessage = [&console](const QString &) {
            QTimer::singleShot(0, &console, [&console] { console.CloseBT->click(); });
        };
        const QString commandLine = '"' + testChild() + "\" write short\\n";
        console.run(commandLine);
        QCOMPARE(m_dialogs->log, QStringList{"message:Info:Process finished!"});
        QString folder = platform::spindleFolder();
        folder.chop(1);
        QCOMPARE(readAll(dataFolder() + "capture.tmp"), (folder + '>' + rendered(commandLine) + "\nshort\n").toUtf8());
        QVERIFY(!QFile::exists(inFolder("capture.tmp")));
    }
};

// Copies the test and the child program it runs into a new folder that
// every user can read, for a run as nobody (who may not be able to enter
// the build folder: a checkout under a 0700 folder). Empty when no such
// folder can be made.
static std::string copyForNobody(const std::string &self)
{
    char folder[] = "/tmp/spindle-workfolder-XXXXXX";
    if (!::mkdtemp(folder) || ::chmod(folder, 0755) != 0)
        return std::string();
    const QString dir = QString::fromLocal8Bit(folder);
    const QString from = QFileInfo(QString::fromLocal8Bit(self.c_str())).absolutePath();
    for (const char *name : {"test_workfolder", "spindle-testchild"}) {
        const QString target = dir + '/' + QLatin1String(name);
        if (!QFile::copy(from + '/' + QLatin1String(name), target)
            || !QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                                  | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther)) {
            QDir(dir).removeRecursively();
            return std::string();
        }
    }
    return std::string(folder);
}

int main(int argc, char **argv)
{
    // Root may write into any folder, so the read-only case runs as nobody,
    // from copies nobody can reach.
    if (::geteuid() == 0) {
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0)
            return 1;
        self[n] = '\0';
        const std::string copies = copyForNobody(self);
        if (copies.empty()) {
            std::puts("SKIP   : TestWorkFolder: no folder readable by nobody could be made for the unprivileged run");
            return 0;
        }
        const std::string program = copies + "/test_workfolder";
        std::vector<char *> args{const_cast<char *>("setpriv"), const_cast<char *>("--reuid=65534"),
                                 const_cast<char *>("--regid=65534"), const_cast<char *>("--clear-groups"),
                                 const_cast<char *>(program.c_str())};
        for (int i = 1; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Nobody's own folders (the data home, temporary folders) lie
            // under /tmp, which it can enter; its current directory too.
            if (::chdir("/tmp") != 0)
                _exit(1);
            ::setenv("TMPDIR", "/tmp", 1);
            ::execvp("setpriv", args.data());
            std::perror("setpriv");
            _exit(1);
        }
        int status = 1;
        if (pid > 0)
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        QDir(QString::fromLocal8Bit(copies.c_str())).removeRecursively();
        if (pid < 0)
            return 1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    QApplication app(argc, argv);
    TestWorkFolder t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_workfolder.moc"
