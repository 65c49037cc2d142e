// The attribute word written and read back: permission bits, Samba's
// extended attribute, FAT, and what spindle-cli attrib prints.
#include "platform/file_calls.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tree/folder_listing.h"
#include "tree/rename_plan.h"

#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <thread>
#include <functional>
#include <utility>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using platform::encodePath;

namespace {
constexpr quint16 RO = platform::kReadOnly, HID = platform::kHidden, SYS = platform::kSystem,
                  ARC = platform::kArchive, DIR = platform::kDirectory;

bool makeFile(const QString &path)
{
    const int fd = ::open(encodePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    return fd >= 0 && ::close(fd) == 0;
}

quint16 wordOf(const QString &path)
{
    quint16 w = 0xFFFF;
    return platform::readAttributes(path, &w, nullptr) ? w : 0xFFFF;
}

// The raw extended attribute; "-" when there is none.
QByteArray dosAttrib(const QString &path)
{
    char buf[256];
    const ssize_t n = ::getxattr(encodePath(path).constData(), "user.DOSATTRIB", buf, sizeof buf);
    return n < 0 ? QByteArray("-") : QByteArray(buf, n);
}

mode_t modeOf(const QString &path)
{
    struct stat st;
    return ::stat(encodePath(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The entries of a folder that lack the bits of `exclude`.
QStringList listed(const QString &folder, quint16 exclude)
{
    QStringList out;
    tree::listFolder(folder, platform::kAllAttributes, exclude, false, &out);
    return out;
}

// Runs a program with arguments as raw bytes; returns its standard output.
QByteArray runRaw(const QList<QByteArray> &args, int *exitCode)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    QList<char *> argv;
    for (const QByteArray &a : args)
        argv << const_cast<char *>(a.constData());
    argv << nullptr;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    QByteArray data;
    char buf[4096];
    for (ssize_t n; rc == 0 && (n = ::read(out[0], buf, sizeof buf)) > 0;)
        data.append(buf, n);
    ::close(out[0]);
    int status = 0;
    if (rc == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        *exitCode = WEXITSTATUS(status);
    return data;
}

// The path an opened descriptor stands for.
QByteArray pathOf(int fd)
{
    char buf[4096];
    const ssize_t n = ::readlink(platform::descriptorPath(fd).constData(), buf, sizeof buf);
    return n < 0 ? QByteArray() : QByteArray(buf, n);
}

// A file system without user extended attributes.
class NoXattrCalls : public platform::FileCalls
{
public:
    int getDosAttrib(int, QByteArray *) override { return ENOTSUP; }
    int getDosAttribAt(int, const char *, QByteArray *) override { return ENOTSUP; }
    int setDosAttrib(int, const QByteArray &) override { return ENOTSUP; }
};

// A FAT file system: the attribute byte lives in a table here.
class FatCalls : public platform::FileCalls
{
public:
    QHash<QByteArray, quint32> bytes;
    QList<QByteArray> xattrCalls;
    bool notFatAfterAll = false;
    int onFat(int, bool *fat) override { return *fat = true, 0; }
    int getFatAttributes(int fd, quint32 *a) override
    {
        if (notFatAfterAll)
            return ENOTTY;
        struct stat st;
        if (::fstat(fd, &st) != 0)
            return errno;
        *a = bytes.value(pathOf(fd), S_ISDIR(st.st_mode) ? 0x10 : 0);
        return 0;
    }
    int setFatAttributes(int fd, quint32 a) override { return bytes[pathOf(fd)] = a, 0; }
    int getDosAttrib(int fd, QByteArray *v) override
    {
        xattrCalls << pathOf(fd);
        return FileCalls::getDosAttrib(fd, v);
    }
    int setDosAttrib(int fd, const QByteArray &v) override
    {
        xattrCalls << pathOf(fd);
        return FileCalls::setDosAttrib(fd, v);
    }
};

// A kernel without openat2: the walk one name at a time does the work.
class NoOpenat2Calls : public platform::FileCalls
{
public:
    int beneathCalls = 0;
    int openBeneath(int, const char *, int *fd) override
    {
        ++beneathCalls;
        *fd = -1;
        return ENOSYS;
    }
};

// Runs `swap` once, right after the `at`-th open below the chosen folder
// (counting the chosen folder's own open as 1): a link put in between the
// listing and the write, at every moment the write could be redirected.
class SwapCalls : public platform::FileCalls
{
public:
    int at = 1, opens = 0;
    bool walk = false;
    std::function<void()> swap;
    int openAt(int dirfd, const char *name, int flags, int *fd) override
    {
        const int e = FileCalls::openAt(dirfd, name, flags, fd);
        if (++opens == at && swap)
            std::exchange(swap, nullptr)();
        return e;
    }
    int openBeneath(int dirfd, const char *path, int *fd) override
    {
        if (walk)
            return *fd = -1, ENOSYS;
        const int e = FileCalls::openBeneath(dirfd, path, fd);
        if (++opens == at && swap)
            std::exchange(swap, nullptr)();
        return e;
    }
};

// Everything a write could change about an entry, without following it.
struct Snapshot
{
    QByteArray link; // the link's target, for a link
    mode_t mode = 0;
    QByteArray xattr;
    QByteArray names; // a folder's names, sorted
    bool operator==(const Snapshot &) const = default;
};

Snapshot snapshot(const QString &path)
{
    Snapshot s;
    const QByteArray b = encodePath(path);
    struct stat st;
    if (::lstat(b.constData(), &st) != 0)
        return s;
    s.mode = st.st_mode;
    char buf[4096];
    if (S_ISLNK(st.st_mode)) {
        const ssize_t n = ::readlink(b.constData(), buf, sizeof buf);
        s.link = QByteArray(buf, n < 0 ? 0 : n);
        return s;
    }
    const ssize_t n = ::getxattr(b.constData(), "user.DOSATTRIB", buf, sizeof buf);
    s.xattr = n < 0 ? QByteArray("-") : QByteArray(buf, n);
    if (S_ISDIR(st.st_mode)) {
        QStringList names = QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.sort();
        s.names = names.join('/').toUtf8();
    }
    return s;
}
} // namespace

class TestAttributes : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_tmp = nullptr;
    QString m_root;

    QString p(const char *rel) const { return m_root + QLatin1Char('/') + QString::fromUtf8(rel); }
    QString out(const char *rel) const { return m_tmp->filePath(QStringLiteral("outside/")) + QString::fromUtf8(rel); }

    // Outside the tree: a file, a folder with a file in it, and a read-only
    // file; inside: a link to each, a file, and a folder with a file in it.
    void makeLinkTree()
    {
        QVERIFY(::mkdir(encodePath(m_tmp->filePath(QStringLiteral("outside"))).constData(), 0755) == 0);
        QVERIFY(makeFile(out("victim")));
        QVERIFY(::mkdir(encodePath(out("dir")).constData(), 0755) == 0);
        QVERIFY(makeFile(out("dir/inner.txt")));
        QVERIFY(makeFile(out("ro")));
        QVERIFY(::setxattr(encodePath(out("ro")).constData(), "user.DOSATTRIB", "0x1", 4, 0) == 0);
        QVERIFY(::chmod(encodePath(out("ro")).constData(), 0444) == 0);
        QVERIFY(::symlink("../outside/victim", encodePath(p("link_to_file")).constData()) == 0);
        QVERIFY(::symlink("../outside/dir", encodePath(p("link_to_dir")).constData()) == 0);
        QVERIFY(::symlink("../outside/ro", encodePath(p("link_to_ro")).constData()) == 0);
        QVERIFY(::mkdir(encodePath(p("sub")).constData(), 0755) == 0);
        QVERIFY(makeFile(p("sub/inner.txt")));
    }
    QList<Snapshot> outsideNow() const
    {
        QList<Snapshot> s;
        for (const char *rel : {"", "victim", "dir", "dir/inner.txt", "ro"})
            s << snapshot(out(rel));
        for (const char *rel : {"link_to_file", "link_to_dir", "link_to_ro"})
            s << snapshot(p(rel));
        return s;
    }

    static QList<tree::Failure> change(const QStringList &work, quint16 set, quint16 clear)
    {
        return tree::changeAttributes(work, set, clear);
    }

private slots:
    void init()
    {
        m_tmp = new QTemporaryDir;
        QVERIFY(m_tmp->isValid());
        m_root = m_tmp->filePath(QStringLiteral("t"));
        QVERIFY(::mkdir(encodePath(m_root).constData(), 0755) == 0);
        QVERIFY(makeFile(p("f.txt")));
        if (::setxattr(encodePath(p("f.txt")).constData(), "user.DOSATTRIB", "0x0", 4, 0) != 0)
            QSKIP("this file system keeps no user extended attributes");
        QVERIFY(::removexattr(encodePath(p("f.txt")).constData(), "user.DOSATTRIB") == 0);
    }
    void cleanup()
    {
        platform::setFileCalls(nullptr);
        delete m_tmp;
        m_tmp = nullptr;
    }

    // Each of the four set and removed, as the listing and the file system see it.
    void setAndRemoveEach()
    {
        const QString f = p("f.txt");
        for (const quint16 bit : {RO, ARC, HID, SYS}) {
            const QString what = QString::number(bit, 16);
            QVERIFY(change({f}, bit, 0).isEmpty());
            QCOMPARE(wordOf(f), bit);
            QVERIFY2(!listed(m_root, bit).contains(f), qPrintable(what));
            QCOMPARE(dosAttrib(f), QByteArray("0x") + QByteArray::number(bit, 16) + '\0');
            QCOMPARE(modeOf(f), bit == RO ? mode_t(0444) : mode_t(0644));
            QVERIFY(change({f}, 0, bit).isEmpty());
            QCOMPARE(wordOf(f), quint16(0));
            QVERIFY2(listed(m_root, bit).contains(f), qPrintable(what));
            QCOMPARE(dosAttrib(f), QByteArray("0x0\0", 4));
            // Read-only goes back to the owner's write permission only.
            QCOMPARE(modeOf(f), bit == RO ? mode_t(0644) : mode_t(0644));
        }
        QVERIFY(::chmod(encodePath(f).constData(), 0444) == 0);
        QVERIFY(change({f}, ARC | HID | SYS, RO).isEmpty());
        QCOMPARE(modeOf(f), mode_t(0644));
        QCOMPARE(wordOf(f), quint16(HID | SYS | ARC));
        QCOMPARE(dosAttrib(f), QByteArray("0x26\0", 5));
        // Clearing wins over setting.
        QVERIFY(change({f}, HID, HID).isEmpty());
        QCOMPARE(wordOf(f), quint16(SYS | ARC));
    }

    // Samba's longer value keeps its other bits; a read-only file whose
    // owner gets write permission back can store the attribute.
    void sambaValueKeepsOtherBits()
    {
        const QString f = p("f.txt");
        QVERIFY(::setxattr(encodePath(f).constData(), "user.DOSATTRIB", "0x820\0\x03\0\0\0binary", 16, 0) == 0);
        QCOMPARE(wordOf(f), ARC);
        QVERIFY(change({f}, HID, ARC).isEmpty());
        QCOMPARE(dosAttrib(f), QByteArray("0x802\0", 6));
        QCOMPARE(wordOf(f), HID);
    }

    // A folder's own attributes change, not those of its contents.
    void folderOwnAttributesOnly()
    {
        QVERIFY(::mkdir(encodePath(p("dir")).constData(), 0755) == 0);
        QVERIFY(makeFile(p("dir/inner")));
        QVERIFY(change({p("dir")}, HID | SYS | RO, 0).isEmpty());
        QCOMPARE(wordOf(p("dir")), quint16(DIR | HID | SYS | RO));
        QCOMPARE(modeOf(p("dir")), mode_t(0555));
        QCOMPARE(wordOf(p("dir/inner")), quint16(0));
        QCOMPARE(dosAttrib(p("dir/inner")), QByteArray("-"));
        QCOMPARE(modeOf(p("dir/inner")), mode_t(0644));
        QVERIFY(change({p("dir")}, 0, RO).isEmpty());
        QCOMPARE(modeOf(p("dir")), mode_t(0755));
    }

    // No box checked: every word is written back as it was, and nothing on
    // disk changes (not even the change time).
    void noBoxWritesNothing()
    {
        const QString f = p("f.txt");
        QVERIFY(::chmod(encodePath(f).constData(), 0440) == 0);
        QVERIFY(::setxattr(encodePath(f).constData(), "user.DOSATTRIB", "0x26\0", 5, 0) == 0);
        QVERIFY(makeFile(p(".dot")));
        QVERIFY(::mkdir(encodePath(p("dir")).constData(), 0750) == 0);
        const QStringList work{f, p(".dot"), p("dir"), m_root};
        QList<struct stat> before;
        for (const QString &w : work) {
            struct stat st;
            QVERIFY(::stat(encodePath(w).constData(), &st) == 0);
            before << st;
        }
        const QList<quint16> words{wordOf(f), wordOf(p(".dot")), wordOf(p("dir"))};
        QCOMPARE(words, (QList<quint16>{RO | HID | SYS | ARC, HID, DIR}));
        QVERIFY(change(work, 0, 0).isEmpty());
        QCOMPARE((QList<quint16>{wordOf(f), wordOf(p(".dot")), wordOf(p("dir"))}), words);
        for (qsizetype i = 0; i < work.size(); ++i) {
            struct stat st;
            QVERIFY(::stat(encodePath(work[i]).constData(), &st) == 0);
            QCOMPARE(st.st_mode, before[i].st_mode);
            QCOMPARE(st.st_ctim.tv_sec, before[i].st_ctim.tv_sec);
            QVERIFY2(st.st_ctim.tv_nsec == before[i].st_ctim.tv_nsec, qPrintable(work[i]));
        }
        QCOMPARE(dosAttrib(f), QByteArray("0x26\0", 5));
        QCOMPARE(dosAttrib(p(".dot")), QByteArray("-"));
    }

    // A file system without user extended attributes: read-only still
    // works, the other three are reported, entry by entry, in one box.
    void noExtendedAttributes()
    {
        QVERIFY(makeFile(p("g.txt")));
        NoXattrCalls calls;
        platform::setFileCalls(&calls);
        const QStringList work{p("f.txt"), p("g.txt")};
        QVERIFY(change(work, RO, 0).isEmpty());
        QCOMPARE(wordOf(p("f.txt")), RO);
        QVERIFY(change(work, 0, 0).isEmpty());
        QVERIFY(change(work, 0, HID | SYS | ARC).isEmpty());
        const QList<tree::Failure> failed = change(work, HID, RO);
        QCOMPARE(failed.size(), 2);
        QCOMPARE(failed[0].path, p("f.txt"));
        QCOMPARE(failed[1].path, p("g.txt"));
        const QString text = tree::notChangedText(failed);
        const QString reason =
            QStringLiteral("this file system keeps no extended attributes, so hidden, system and archive cannot be stored");
        QCOMPARE(text, QStringLiteral("The attributes of these entries were not changed:\n%1: %3\n%2: %3")
                           .arg(p("f.txt"), p("g.txt"), reason));
        // Read-only changes all the same.
        QCOMPARE(wordOf(p("f.txt")), quint16(0));
        QCOMPARE(change({p("f.txt")}, RO | SYS, 0).size(), 1);
        QCOMPARE(wordOf(p("f.txt")), RO);
        QCOMPARE(dosAttrib(p("f.txt")), QByteArray("-"));
    }

    void failuresAreListed()
    {
        QVERIFY(makeFile(p(".profile")));
        QVERIFY(::symlink("nowhere", encodePath(p("dangling")).constData()) == 0);
        const QStringList work{p("gone"), p(".profile"), p("dangling"), p("f.txt")};
        const QList<tree::Failure> failed = change(work, ARC, HID);
        QCOMPARE(failed.size(), 3);
        QCOMPARE(failed[0].path, p("gone"));
        QCOMPARE(failed[0].reason, QString::fromLocal8Bit(std::strerror(ENOENT)));
        QCOMPARE(failed[1].path, p(".profile"));
        QVERIFY(failed[1].reason.contains(QStringLiteral("\".\"")));
        QCOMPARE(wordOf(p(".profile")), quint16(HID | ARC)); // archive was stored all the same
        QCOMPARE(failed[2].path, p("dangling"));
        QCOMPARE(wordOf(p("f.txt")), ARC);
        // Many failures: the box stays readable.
        QList<tree::Failure> many(40, {p("gone"), QStringLiteral("r")});
        const QString text = tree::notChangedText(many);
        QCOMPARE(text.count('\n'), 26);
        QVERIFY(text.endsWith(QStringLiteral("... and 15 more")));
    }

    // On FAT the attribute byte is used, through the same service the
    // listing reads; an ENOTTY answer means not FAT after all.
    void fatAttributeByte()
    {
        QVERIFY(::mkdir(encodePath(p("dir")).constData(), 0755) == 0);
        FatCalls calls;
        platform::setFileCalls(&calls);
        QVERIFY(change({p("f.txt"), p("dir")}, ARC | HID | RO, 0).isEmpty());
        QCOMPARE(calls.bytes.value(encodePath(p("f.txt"))), quint32(0x23));
        QCOMPARE(calls.bytes.value(encodePath(p("dir"))), quint32(0x33));
        QCOMPARE(wordOf(p("f.txt")), quint16(ARC | HID | RO));
        QCOMPARE(listed(m_root, HID), QStringList());
        QVERIFY(change({p("f.txt")}, SYS, HID | RO).isEmpty());
        QCOMPARE(calls.bytes.value(encodePath(p("f.txt"))), quint32(0x24));
        QVERIFY(calls.xattrCalls.isEmpty());
        QCOMPARE(modeOf(p("f.txt")), mode_t(0644));

        calls.notFatAfterAll = true;
        QVERIFY(change({p("f.txt")}, SYS, 0).isEmpty());
        QVERIFY(!calls.xattrCalls.isEmpty());
        QCOMPARE(dosAttrib(p("f.txt")), QByteArray("0x4\0", 4));
        QCOMPARE(wordOf(p("f.txt")), SYS);
    }

    // No write follows a link out of the tree: every attribute set and
    // removed, with openat2 and with the walk one name at a time.
    void linksAreNeverFollowed()
    {
        makeLinkTree();
        const QList<Snapshot> before = outsideNow();
        QCOMPARE(before[4].mode & 07777, mode_t(0444));
        const QStringList work = tree::stepTwo(m_root, true, true, true);
        QList<platform::Beneath> below;
        quint64 dev = 0, ino = 0;
        QVERIFY(platform::folderIdentity(m_root, &dev, &ino));
        for (const QString &w : work)
            below << tree::beneath(m_root, w, dev, ino);
        QStringList links;
        for (const QString &w : work)
            if (w.contains(QStringLiteral("link_to_")))
                links << w;
        QCOMPARE(links.size(), 3);
        NoOpenat2Calls walk;
        for (const bool walking : {false, true}) {
            platform::setFileCalls(walking ? &walk : nullptr);
            const struct
            {
                quint16 set, clear;
            } runs[] = {{RO, 0}, {0, RO}, {HID, 0}, {0, HID}, {SYS, 0}, {0, SYS}, {ARC, 0}, {0, ARC},
                        {RO | HID | SYS | ARC, 0}, {0, RO | HID | SYS | ARC}};
            for (const auto &r : runs) {
                const QString what = QStringLiteral("set %1 clear %2 walk %3").arg(r.set).arg(r.clear).arg(walking);
                const QList<tree::Failure> failed = tree::changeAttributes(work, r.set, r.clear, below);
                QStringList paths;
                for (const tree::Failure &f : failed) {
                    paths << f.path;
                    QVERIFY2(f.reason == QStringLiteral("symbolic link, not changed"), qPrintable(what + f.reason));
                }
                QVERIFY2(paths == links, qPrintable(what + ": " + paths.join(' ')));
                QVERIFY2(outsideNow() == before, qPrintable(what));
                // The entries of the tree itself did change.
                QCOMPARE(wordOf(p("sub/inner.txt")), r.set);
                QCOMPARE(wordOf(p("f.txt")), r.set);
                const QString text = tree::notChangedText(failed);
                for (const QString &l : links)
                    QVERIFY(text.contains(l + QStringLiteral(": symbolic link, not changed")));
            }
        }
        QVERIFY(walk.beneathCalls > 0);
    }

    // A folder of the path swapped for a link to the outside after the
    // listing: at each moment, the write fails or lands on the entry that
    // was listed, never outside.
    void folderSwappedForLink()
    {
        makeLinkTree();
        const QStringList work = tree::stepTwo(m_root, false, true, true);
        QVERIFY(work.contains(p("sub/inner.txt")));
        QCOMPARE(tree::namesBelow(m_root, p("sub/inner.txt")), 2);
        const QByteArray sub = encodePath(p("sub")), moved = encodePath(p("sub.moved"));
        for (const bool walking : {false, true}) {
            for (int at = 1; at <= 3; ++at) {
                const QString what = QStringLiteral("swap after open %1, walk %2").arg(at).arg(walking);
                const QList<Snapshot> before = outsideNow();
                SwapCalls calls;
                calls.at = at;
                calls.walk = walking;
                calls.swap = [&] {
                    QVERIFY(::rename(sub.constData(), moved.constData()) == 0);
                    QVERIFY(::symlink("../outside/dir", sub.constData()) == 0);
                };
                platform::setFileCalls(&calls);
                const QList<tree::Failure> failed =
                    tree::changeAttributes({p("sub/inner.txt")}, RO | HID | SYS, 0, {2});
                platform::setFileCalls(nullptr);
                QVERIFY2(!calls.swap, qPrintable(what));
                QVERIFY2(outsideNow() == before, qPrintable(what));
                if (at == 1) {
                    QCOMPARE(failed.size(), 1);
                    QCOMPARE(failed[0].reason, QStringLiteral("a folder on its path is a symbolic link"));
                    QCOMPARE(wordOf(p("sub.moved/inner.txt")), quint16(0));
                } else {
                    QVERIFY2(failed.isEmpty(), qPrintable(what));
                    QCOMPARE(wordOf(p("sub.moved/inner.txt")), quint16(RO | HID | SYS));
                    QVERIFY(change({p("sub.moved/inner.txt")}, 0, RO | HID | SYS).isEmpty());
                }
                QVERIFY(::unlink(sub.constData()) == 0);
                QVERIFY(::rename(moved.constData(), sub.constData()) == 0);
            }
        }
        // The same entry read straight afterwards: a link now in its place is
        // the link's own word, not the outside file's.
        QVERIFY(::rename(sub.constData(), moved.constData()) == 0);
        QVERIFY(::symlink("../outside", sub.constData()) == 0);
        QVERIFY(::chmod(encodePath(out("victim")).constData(), 0444) == 0);
        QCOMPARE(wordOf(p("sub")), DIR);
        QCOMPARE(wordOf(p("link_to_ro")), quint16(0));
        QCOMPARE(wordOf(p("link_to_file")), quint16(0));
        QCOMPARE(tree::changeAttributes({p("sub/victim")}, HID, 0, {2}).size(), 1);
        QCOMPARE(snapshot(out("victim")).xattr, QByteArray("-"));
    }

    // spindle-cli attrib --set and --clear run the same change.
    void cliSetAndClear()
    {
        makeLinkTree();
        const QList<Snapshot> before = outsideNow();
        const auto run = [&](const QStringList &args, QByteArray *out, QByteArray *err) {
            QProcess cli;
            cli.setWorkingDirectory(m_root);
            cli.start(binDir() + QStringLiteral("/spindle-cli"), QStringList{QStringLiteral("attrib")} + args);
            if (!cli.waitForFinished(60000))
                return -1;
            *out = cli.readAllStandardOutput();
            *err = cli.readAllStandardError();
            return cli.exitCode();
        };
        QByteArray o, e;
        QCOMPARE(run({"--set", "RHS", "f.txt", "link_to_file", "link_to_dir", "sub/inner.txt", "link_to_ro"}, &o, &e), 1);
        QCOMPARE(o, QByteArray("0x07 f.txt\n0x07 sub/inner.txt\n"));
        QCOMPARE(e, QByteArray("spindle-cli: link_to_file: symbolic link, not changed\n"
                               "spindle-cli: link_to_dir: symbolic link, not changed\n"
                               "spindle-cli: link_to_ro: symbolic link, not changed\n"));
        QCOMPARE(outsideNow(), before);
        QCOMPARE(modeOf(p("f.txt")), mode_t(0444));
        QCOMPARE(run({"--clear", "r", "--set", "a", "link_to_ro", "f.txt"}, &o, &e), 1);
        QCOMPARE(o, QByteArray("0x26 f.txt\n"));
        QCOMPARE(e, QByteArray("spindle-cli: link_to_ro: symbolic link, not changed\n"));
        QCOMPARE(outsideNow(), before);
        QCOMPARE(modeOf(p("f.txt")), mode_t(0644));
        QCOMPARE(run({"--clear", "HSA", "--", "f.txt", "."}, &o, &e), 0);
        QCOMPARE(o, QByteArray("0x00 f.txt\n0x10 .\n"));
        QCOMPARE(wordOf(p("f.txt")), quint16(0));
        // The plain form still prints the words; a link reads as its own.
        QCOMPARE(run({"link_to_dir", "link_to_ro", "f.txt"}, &o, &e), 0);
        QCOMPARE(o, QByteArray("0x10 link_to_dir\n0x00 link_to_ro\n0x00 f.txt\n"));
        for (const QStringList &bad : {QStringList{"--set", "X", "f.txt"}, QStringList{"--set", "R"},
                                       QStringList{"--set", "R", "--clear", "R", "f.txt"}, QStringList{"--clear"}}) {
            QCOMPARE(run(bad, &o, &e), 2);
            QVERIFY(o.isEmpty());
            QVERIFY(!e.isEmpty());
        }
        QCOMPARE(outsideNow(), before);
    }

    // spindle-cli attrib --set on the files of a folder that is a link, or
    // is swapped for one over and over while the run goes on: no file
    // outside changes; inside, each file is changed or reported.
    void cliFolderSwappedForLink_data()
    {
        QTest::addColumn<QString>("link"); // what is a link to the outside
        QTest::addColumn<bool>("racing");
        QTest::newRow("in/sw swapped during the run") << "in/sw" << true;
        QTest::newRow("in/sw a link from the start") << "in/sw" << false;
        QTest::newRow("in a link from the start") << "in" << false;
    }
    void cliFolderSwappedForLink()
    {
        QFETCH(QString, link);
        QFETCH(bool, racing);
        const int kFiles = racing ? 1000 : 10;
        const QString outside = m_tmp->filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside + "/sw") && QDir().mkpath(m_root + "/in/sw"));
        QStringList args{"--set", "RH"};
        for (int i = 1; i <= kFiles; ++i) {
            const QString name = QStringLiteral("/f%1").arg(i);
            QVERIFY(makeFile(outside + "/sw" + name) && makeFile(m_root + "/in/sw" + name));
            args << "in/sw" + name;
        }
        const auto outsideNow = [&] {
            QList<Snapshot> all;
            for (int i = 1; i <= kFiles; ++i)
                all << snapshot(outside + QStringLiteral("/sw/f%1").arg(i));
            return all;
        };
        const QList<Snapshot> before = outsideNow();
        const QByteArray real = encodePath(m_root + '/' + link), moved = real + ".real";
        const QByteArray target = encodePath(link == "in" ? outside : outside + "/sw");
        const auto toLink = [&] { return ::rename(real, moved) == 0 && ::symlink(target, real) == 0; };
        const auto back = [&] { return ::unlink(real) == 0 && ::rename(moved, real) == 0; };
        std::atomic<bool> done{false};
        std::atomic<int> swaps{0};
        std::thread swapper;
        if (racing)
            swapper = std::thread([&] {
                while (!done && toLink() && back())
                    ++swaps;
            });
        else
            QVERIFY(toLink());
        QProcess cli;
        cli.setWorkingDirectory(m_root);
        cli.start(binDir() + QStringLiteral("/spindle-cli"), QStringList{QStringLiteral("attrib")} + args);
        const bool finished = cli.waitForFinished(120000);
        done = true;
        if (racing)
            swapper.join();
        else
            QVERIFY(back());
        QVERIFY(finished);
        QCOMPARE(outsideNow(), before);
        const QList<QByteArray> printed = cli.readAllStandardOutput().split('\n');
        const QList<QByteArray> reported = cli.readAllStandardError().split('\n');
        QCOMPARE(printed.size() + reported.size() - 2, kFiles);
        if (racing) {
            QVERIFY(swaps > 0);
        } else {
            QCOMPARE(cli.exitCode(), 1);
            QCOMPARE(reported.first(), "spindle-cli: in/sw/f1: a folder on its path is a symbolic link");
        }
        for (const QByteArray &line : printed.mid(0, printed.size() - 1))
            QVERIFY2(line.startsWith("0x03 in/sw/f"), line.constData());
    }

    // spindle-cli attrib prints what the window wrote.
    void cliPrintsTheWord()
    {
        const QString f = p("f.txt");
        QVERIFY(change({f}, RO | ARC, 0).isEmpty());
        QVERIFY(::mkdir(encodePath(p("a dir")).constData(), 0755) == 0);
        const QByteArray odd = encodePath(m_root) + "/odd\xff name";
        QVERIFY(makeFile(platform::decodePath(odd)));
        QDir::setCurrent(m_root);
        QProcess cli;
        cli.start(binDir() + QStringLiteral("/spindle-cli"),
                  {QStringLiteral("attrib"), QStringLiteral("f.txt"), QStringLiteral("a dir"), QStringLiteral("missing"),
                   QStringLiteral(".")});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 1);
        QCOMPARE(cli.readAllStandardOutput(), QByteArray("0x21 f.txt\n0x10 a dir\n0x10 .\n"));
        QCOMPARE(cli.readAllStandardError(),
                 "spindle-cli: missing: " + QByteArray(std::strerror(ENOENT)) + "\n");
        // A name that is not UTF-8 goes in and comes out as the same bytes.
        int status = -1;
        QCOMPARE(runRaw({encodePath(binDir() + QStringLiteral("/spindle-cli")), "attrib", "odd\xff name"}, &status),
                 QByteArray("0x00 odd\xff name\n"));
        QCOMPARE(status, 0);
        ::unlink(odd.constData());
        QDir::setCurrent(QDir::tempPath());
    }
};

QTEST_GUILESS_MAIN(TestAttributes)
#include "test_attributes.moc"
