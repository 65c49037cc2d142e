#include "platform/file_calls.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tree/folder_listing.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using platform::decodePath;
using platform::encodePath;
using tree::listFolder;

namespace {
const QByteArray kOddName("odd\xff\xfe name.bin");

bool makeFile(const QByteArray &path, const QByteArray &data = "x")
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), data.size()) == data.size();
    ::close(fd);
    return ok;
}

QStringList raw(const QString &folder)
{
    QStringList names;
    if (DIR *d = ::opendir(encodePath(folder).constData())) {
        while (const dirent *e = ::readdir(d))
            if (qstrcmp(e->d_name, ".") && qstrcmp(e->d_name, ".."))
                names << folder + QLatin1Char('/') + decodePath(e->d_name);
        ::closedir(d);
    }
    return names;
}

// Swaps the folder `name` for a link to `target` right after the listing
// examined it as an entry (by name or opened), before the listing enters it.
class SwapCalls : public platform::FileCalls
{
public:
    QByteArray name, folder, target;
    bool swapped = false;
    int openAt(int dirfd, const char *n, int flags, int *fd) override
    {
        return swapAfter(n, FileCalls::openAt(dirfd, n, flags, fd));
    }
    int statAt(int dirfd, const char *n, struct stat *st, bool follow) override
    {
        return swapAfter(n, FileCalls::statAt(dirfd, n, st, follow));
    }

private:
    int swapAfter(const char *n, int e)
    {
        if (!swapped && name == n) {
            swapped = ::rename(folder.constData(), (folder + ".moved").constData()) == 0
                      && ::symlink(target.constData(), folder.constData()) == 0;
        }
        return e;
    }
};

// Counts the two ways of reading "user.DOSATTRIB", chooses one, and can
// stand for a file system without user extended attributes.
class CountingCalls : public platform::FileCalls
{
public:
    bool byName = true, noXattr = false;
    int atCalls = 0, fdCalls = 0;
    bool haveDosAttribAt() override { return byName && FileCalls::haveDosAttribAt(); }
    int getDosAttribAt(int dirfd, const char *n, QByteArray *value) override
    {
        ++atCalls;
        return noXattr ? ENOTSUP : FileCalls::getDosAttribAt(dirfd, n, value);
    }
    int getDosAttrib(int fd, QByteArray *value) override
    {
        ++fdCalls;
        return noXattr ? ENOTSUP : FileCalls::getDosAttrib(fd, value);
    }
};

QStringList list(const QString &folder, quint16 include, quint16 exclude, bool recurse,
                 QStringList *unreadable = nullptr)
{
    QStringList out;
    listFolder(folder, include, exclude, recurse, &out, unreadable);
    return out;
}
} // namespace

class TestFolderListing : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;
    QString m_root;
    bool m_xattr = false;

    QString p(const char *rel) const { return m_root + QLatin1Char('/') + QString::fromUtf8(rel); }
    QByteArray b(const char *rel) const { return encodePath(p(rel)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        ::chmod(QFile::encodeName(m_tmp.path()).constData(), 0755);
        m_root = m_tmp.filePath("t");
        QVERIFY(::mkdir(encodePath(m_root).constData(), 0755) == 0);
        for (const char *d : {"sub", "sub/deep", "empty", ".hidden_dir", "locked", "with blank dir"})
            QVERIFY(::mkdir(b(d).constData(), 0755) == 0);
        for (const char *f : {"plain.txt", "a b.txt", "new\nline.txt", ".hidden", "ro.txt", "sys.txt",
                              "sub/one", "sub/deep/two", "locked/secret", "with blank dir/x y"})
            QVERIFY(makeFile(b(f)));
        QVERIFY(makeFile(encodePath(m_root) + '/' + kOddName));
        QVERIFY(::chmod(b("ro.txt").constData(), 0444) == 0);
        QVERIFY(::symlink("..", b("sub/up").constData()) == 0);   // a loop
        QVERIFY(::symlink(".", b("self").constData()) == 0);      // another
        QVERIFY(::symlink("sub", b("dirlink").constData()) == 0);
        QVERIFY(::symlink("plain.txt", b("filelink").constData()) == 0);
        QVERIFY(::symlink("nowhere", b("dangling").constData()) == 0);
        QVERIFY(::chmod(b("locked").constData(), 0) == 0);
        m_xattr = ::setxattr(b("sys.txt").constData(), "user.DOSATTRIB", "0x24", 5, 0) == 0;
    }

    void attributeWords()
    {
        const struct
        {
            const char *name;
            quint16 word;
        } cases[] = {{"plain.txt", 0},
                     {"ro.txt", platform::kReadOnly},
                     {".hidden", platform::kHidden},
                     {".hidden_dir", platform::kHidden | platform::kDirectory},
                     {"sub", platform::kDirectory},
                     {"dirlink", platform::kDirectory},
                     {"filelink", 0},
                     {"dangling", 0},
                     {"new\nline.txt", 0}};
        for (const auto &c : cases) {
            quint16 w = 0xFFFF;
            QString error;
            QVERIFY2(platform::readAttributes(p(c.name), &w, &error), c.name);
            QVERIFY2(w == c.word, qPrintable(QStringLiteral("%1: %2").arg(c.name).arg(w, 0, 16)));
        }
        quint16 w = 0;
        QVERIFY(platform::readAttributes(m_root + QLatin1Char('/') + decodePath(kOddName), &w, nullptr));
        QCOMPARE(w, quint16(0));
        QString error;
        QVERIFY(!platform::readAttributes(p("missing"), &w, &error));
        QVERIFY(!error.isEmpty());
        if (!m_xattr)
            QSKIP("this file system keeps no user extended attributes");
        QVERIFY(platform::readAttributes(p("sys.txt"), &w, nullptr));
        QCOMPARE(w, quint16(platform::kSystem | platform::kArchive));
        // Samba's binary form starts with the same text; read-only comes from
        // the permission bits alone.
        QVERIFY(::setxattr(b("plain.txt").constData(), "user.DOSATTRIB", "0x23\0\x03\0junk", 10, 0) == 0);
        QVERIFY(platform::readAttributes(p("plain.txt"), &w, nullptr));
        QCOMPARE(w, quint16(0x22));
        QVERIFY(::setxattr(b("plain.txt").constData(), "user.DOSATTRIB", "garbage", 7, 0) == 0);
        QVERIFY(platform::readAttributes(p("plain.txt"), &w, nullptr));
        QCOMPARE(w, quint16(0));
        QVERIFY(::removexattr(b("plain.txt").constData(), "user.DOSATTRIB") == 0);
    }

    // The words read by name (fstatat, getxattrat) and through each
    // entry's descriptor are the entry's own; a file system that answered
    // ENOTSUP is asked once in a whole listing.
    void wordsByNameAndByDescriptor_data()
    {
        QTest::addColumn<bool>("byName");
        QTest::addColumn<bool>("noXattr");
        QTest::newRow("by name") << true << false;
        QTest::newRow("through descriptors") << false << false;
        QTest::newRow("by name, no extended attributes") << true << true;
        QTest::newRow("through descriptors, no extended attributes") << false << true;
    }
    void wordsByNameAndByDescriptor()
    {
        QFETCH(bool, byName);
        QFETCH(bool, noXattr);
        if (byName && !platform::fileCalls().haveDosAttribAt())
            QSKIP("this kernel has no getxattrat");
        CountingCalls calls;
        calls.byName = byName;
        calls.noXattr = noXattr;
        platform::setFileCalls(&calls);
        platform::ListingMemory memory;
        QList<std::pair<QString, quint16>> words;
        for (const QString &folder : {m_root, p("sub")})
            QVERIFY(platform::readFolder(
                folder, [&](const platform::FolderEntry &e) { words.append({folder + '/' + decodePath(e.name), e.attributes}); },
                nullptr, nullptr, false, &memory));
        const int atCalls = calls.atCalls, fdCalls = calls.fdCalls;
        for (const auto &[path, word] : words) {
            quint16 own = 0xFFFF;
            QVERIFY(platform::readAttributes(path, &own, nullptr));
            QVERIFY2(word == own, qPrintable(QStringLiteral("%1: %2, not %3").arg(path).arg(word).arg(own)));
        }
        platform::setFileCalls(nullptr);
        QVERIFY(words.size() > 10);
        QCOMPARE(byName ? fdCalls : atCalls, 0);
        QVERIFY(noXattr ? (byName ? atCalls : fdCalls) == 1 : (byName ? atCalls : fdCalls) > 10);
    }

    // Files only, in the order the file system gives them.
    void filesOfOneFolder()
    {
        const QStringList files = list(m_root, 0x3F, 0x10, false);
        QStringList expected;
        for (const QString &path : raw(m_root)) {
            const QString name = path.mid(m_root.size() + 1);
            if (!QStringList{"sub", "deep", "empty", ".hidden_dir", "locked", "with blank dir", "self",
                             "dirlink"}
                     .contains(name))
                expected << path;
        }
        QCOMPARE(files, expected);
        QVERIFY(files.contains(p("new\nline.txt")));
        QVERIFY(files.contains(p("a b.txt")));
        QVERIFY(files.contains(p("dangling")));
        QVERIFY(files.contains(p("filelink")));
        QVERIFY(!files.contains(p("dirlink")));
        // A trailing slash is not doubled; an empty folder lists nothing.
        QCOMPARE(list(m_root + QLatin1Char('/'), 0x3F, 0x10, false), files);
        QVERIFY(list(p("empty"), 0x3F, 0, true).isEmpty());
        // No folder at all means the root.
        QCOMPARE(list(QString(), 0x10, 0, false), list(QStringLiteral("/"), 0x10, 0, false));
        QVERIFY(list(QString(), 0x10, 0, false).contains(QStringLiteral("/tmp")));
    }

    void namesKeepTheirBytes()
    {
        const QStringList files = list(m_root, 0x3F, 0x10, false);
        QString odd;
        for (const QString &f : files)
            if (f.contains(QStringLiteral("odd")))
                odd = f;
        QCOMPARE(encodePath(odd), encodePath(m_root) + '/' + kOddName);
        const int fd = ::open(encodePath(odd).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        ::close(fd);

        QRandomGenerator rng(42);
        for (int i = 0; i < 2000; ++i) {
            QByteArray bytes(int(rng.bounded(12)) + 1, Qt::Uninitialized);
            for (char &c : bytes)
                c = char(rng.bounded(1, 256));
            QCOMPARE(encodePath(decodePath(bytes)), bytes);
        }
        const QString valid = QStringLiteral("caf\u00e9 \U0001F600/x");
        QCOMPARE(decodePath(valid.toUtf8()), valid);
        QCOMPARE(encodePath(valid), valid.toUtf8());
    }

    void recursionOrderAndLinks()
    {
        QStringList unreadable;
        const QStringList all = list(m_root, 0x3F, 0, true, &unreadable);
        QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), all.size());
        // Every folder comes right before its own contents.
        const qsizetype sub = all.indexOf(p("sub"));
        QVERIFY(sub >= 0);
        const QStringList inSub{p("sub/one"), p("sub/deep"), p("sub/up"), p("sub/deep/two")};
        for (const QString &s : inSub) {
            const qsizetype at = all.indexOf(s);
            QVERIFY2(at > sub && at <= sub + 4, qPrintable(s));
        }
        QVERIFY(all.indexOf(p("sub/deep/two")) == all.indexOf(p("sub/deep")) + 1);
        QVERIFY(all.contains(p("with blank dir/x y")));
        // Links are entries of their own, never entered.
        for (const char *link : {"self", "dirlink", "sub/up"}) {
            QVERIFY(all.contains(p(link)));
            QVERIFY(all.filter(p(link) + QLatin1Char('/')).isEmpty());
        }
        QVERIFY(all.contains(p("locked")));
        if (::geteuid() != 0) {
            QVERIFY(!all.contains(p("locked/secret")));
            QCOMPARE(unreadable, QStringList{p("locked")});
        }
        // Folders only; a folder that is not kept is not entered.
        const QStringList folders = list(m_root, 0x10, 0, true);
        QVERIFY(folders.contains(p("sub/deep")));
        QVERIFY(folders.contains(p("dirlink")));
        QVERIFY(!folders.contains(p("plain.txt")));
        const QStringList visible = list(m_root, 0x3F, platform::kHidden, true);
        QVERIFY(!visible.contains(p(".hidden")));
        QVERIFY(!visible.contains(p(".hidden_dir")));
        // Entries with the word 0 pass any include mask but the folder bit alone.
        const QStringList readOnly = list(m_root, platform::kReadOnly, 0, true);
        QVERIFY(readOnly.contains(p("ro.txt")));
        QVERIFY(readOnly.contains(p("plain.txt")));
        QVERIFY(!readOnly.contains(p("sub")));
        QVERIFY(!readOnly.contains(p(".hidden")));
    }

    // Root reads every folder, so the listing runs as an unprivileged user.
    void unreadableFolderIsSkipped()
    {
        if (::geteuid() != 0) {
            QStringList unreadable;
            const QStringList all = list(m_root, 0x3F, 0, true, &unreadable);
            QVERIFY(!all.contains(p("locked/secret")));
            QVERIFY(all.contains(p("sub/deep/two")));
            QCOMPARE(unreadable, QStringList{p("locked")});
            return;
        }
        int fds[2];
        QVERIFY(::pipe(fds) == 0);
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            ::close(fds[0]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(2);
            QStringList unreadable;
            const QStringList all = list(m_root, 0x3F, 0, true, &unreadable);
            const QByteArray text =
                encodePath(all.join(QChar(0)) + QChar(1) + unreadable.join(QChar(0)));
            const bool ok = ::write(fds[1], text.constData(), text.size()) == text.size();
            ::_exit(ok ? 0 : 3);
        }
        ::close(fds[1]);
        QByteArray text;
        char buf[4096];
        for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
            text.append(buf, n);
        ::close(fds[0]);
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        const QStringList parts = decodePath(text).split(QChar(1));
        QCOMPARE(parts.size(), 2);
        const QStringList all = parts[0].split(QChar(0));
        QVERIFY(all.contains(p("locked")));
        QVERIFY(!all.contains(p("locked/secret")));
        QVERIFY(all.contains(p("sub/deep/two")));
        QVERIFY(all.contains(p("with blank dir/x y")));
        QCOMPARE(parts[1], p("locked"));
    }

    // A folder mounted inside itself is not entered again.
    void bindMountLoopEnds()
    {
        const QByteArray inner = b("sub/deep/again");
        QVERIFY(::mkdir(inner.constData(), 0755) == 0);
        if (::mount(b("sub").constData(), inner.constData(), nullptr, MS_BIND, nullptr) != 0) {
            ::rmdir(inner.constData());
            QSKIP("bind mounts are not permitted here");
        }
        const QStringList all = list(p("sub"), 0x3F, 0, true);
        ::umount2(inner.constData(), MNT_DETACH);
        ::rmdir(inner.constData());
        QVERIFY(all.contains(p("sub/deep/again")));
        QVERIFY(all.filter(QStringLiteral("again/")).isEmpty());
    }

    // A link's word is its own: the read-only, system and archive bits of
    // what it points to are never read as the link's.
    void linkWordIsItsOwn()
    {
        const QString outside = m_tmp.filePath("outside");
        QVERIFY(QDir().mkpath(outside));
        const QByteArray target = encodePath(outside) + "/locked.txt";
        QVERIFY(makeFile(target));
        if (m_xattr)
            QVERIFY(::setxattr(target.constData(), "user.DOSATTRIB", "0x27", 5, 0) == 0);
        QVERIFY(::chmod(target.constData(), 0444) == 0);
        QVERIFY(::symlink(target.constData(), b("to_locked").constData()) == 0);
        QVERIFY(::symlink(encodePath(outside).constData(), b(".to_outside").constData()) == 0);
        quint16 w = 0xFFFF;
        QVERIFY(platform::readAttributes(p("to_locked"), &w, nullptr));
        QCOMPARE(w, quint16(0));
        QVERIFY(platform::readAttributes(p(".to_outside"), &w, nullptr));
        QCOMPARE(w, quint16(platform::kHidden | platform::kDirectory));
        // The listing gives the same words: the link to a read-only file is
        // listed with the entries whose word is zero, never as read-only.
        QVERIFY(list(m_root, 0x3F, platform::kReadOnly | platform::kSystem, false).contains(p("to_locked")));
        QVERIFY(list(m_root, platform::kDirectory, platform::kReadOnly, false).contains(p(".to_outside")));
        QVERIFY(list(m_root, 0x3F, 0, true).filter(QStringLiteral(".to_outside/")).isEmpty());
        ::unlink(b("to_locked").constData());
        ::unlink(b(".to_outside").constData());
        ::chmod(target.constData(), 0644);
    }

    // A subfolder swapped for a link after its parent was read is not
    // entered: the outside is never listed.
    void swappedSubfolderIsNotEntered()
    {
        const QString tree = m_tmp.filePath("swap");
        const QString outside = m_tmp.filePath("swap-outside");
        QVERIFY(QDir().mkpath(tree + QStringLiteral("/inner")));
        QVERIFY(QDir().mkpath(outside));
        QVERIFY(makeFile(encodePath(tree) + "/inner/mine"));
        QVERIFY(makeFile(encodePath(outside) + "/secret"));
        SwapCalls calls;
        calls.name = "inner";
        calls.folder = encodePath(tree) + "/inner";
        calls.target = encodePath(outside);
        platform::setFileCalls(&calls);
        QStringList unreadable;
        const QStringList all = list(tree, 0x3F, 0, true, &unreadable);
        platform::setFileCalls(nullptr);
        QVERIFY(calls.swapped);
        QCOMPARE(all, QStringList{tree + QStringLiteral("/inner")});
        QCOMPARE(unreadable, QStringList{tree + QStringLiteral("/inner")});
    }

    void cleanupTestCase()
    {
        ::chmod(b("locked").constData(), 0755);
        // QDir cannot spell a name that is not UTF-8.
        ::unlink((encodePath(m_root) + '/' + kOddName).constData());
    }
};

QTEST_GUILESS_MAIN(TestFolderListing)
#include "test_folder_listing.moc"
