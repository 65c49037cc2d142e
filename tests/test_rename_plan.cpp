// The case rename and Step 2 on real temporary trees.
#include "platform/file_calls.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tree/rename_plan.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using platform::decodePath;
using platform::encodePath;
using tree::Case;

namespace {
bool makeFile(const QString &path, const QByteArray &data = "x")
{
    const int fd = ::open(encodePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), data.size()) == data.size();
    ::close(fd);
    return ok;
}

bool makeDir(const QString &path) { return ::mkdir(encodePath(path).constData(), 0755) == 0; }

bool exists(const QString &path)
{
    struct stat st;
    return ::lstat(encodePath(path).constData(), &st) == 0;
}

QByteArray contents(const QString &path)
{
    QByteArray data;
    const int fd = ::open(encodePath(path).constData(), O_RDONLY);
    if (fd < 0)
        return data;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        data.append(buf, n);
    ::close(fd);
    return data;
}

// The names in a folder as the file system holds them.
QSet<QString> namesIn(const QString &folder)
{
    QSet<QString> names;
    if (DIR *d = ::opendir(encodePath(folder).constData())) {
        while (const dirent *e = ::readdir(d))
            if (qstrcmp(e->d_name, ".") && qstrcmp(e->d_name, ".."))
                names << decodePath(e->d_name);
        ::closedir(d);
    }
    return names;
}

QSet<QString> asSet(const QStringList &l) { return QSet<QString>(l.begin(), l.end()); }

struct Failures
{
    QList<std::pair<QString, QString>> seen;
    tree::RenameFailed sink()
    {
        return [this](const QString &p, const QString &r) { seen.append({p, r}); };
    }
};

// Stands for a file system that matches names without regard to case: a
// name differing only in case from an existing one finds that entry.
class CaseFoldingCalls : public platform::FileCalls
{
public:
    int hits = 0;
    static QByteArray folded(const QByteArray &path)
    {
        const qsizetype slash = path.lastIndexOf('/');
        const QString want = decodePath(path.mid(slash + 1)).toLower();
        for (const QString &n : namesIn(decodePath(path.left(slash))))
            if (n.toLower() == want)
                return path.left(slash + 1) + encodePath(n);
        return path;
    }
    int stat(const char *path, struct stat *st, bool follow) override
    {
        return FileCalls::stat(folded(path).constData(), st, follow);
    }
    int renameNoReplace(const char *from, const char *to) override
    {
        if (folded(to) != QByteArray(to)) {
            ++hits;
            return EEXIST;
        }
        return FileCalls::renameNoReplace(from, to);
    }
};

// FS_IMMUTABLE_FL: even root cannot rename entries of such a folder.
bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(encodePath(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}
} // namespace

class TestRenamePlan : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_tmp = nullptr;
    QString m_root;

    QString p(const QString &rel) const { return m_root + QLatin1Char('/') + rel; }

private slots:
    void init()
    {
        m_tmp = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/rename-XXXXXX"));
        QVERIFY(m_tmp->isValid());
        m_root = m_tmp->filePath(QStringLiteral("Tree"));
        QVERIFY(makeDir(m_root));
    }
    void cleanup()
    {
        delete m_tmp;
        m_tmp = nullptr;
    }

    // What Step 2 adds, by the three Include boxes.
    void stepTwoTable()
    {
        for (const char *d : {"sub", "sub/.hdir", "sub/deep"})
            QVERIFY(makeDir(p(d)));
        for (const char *f : {"a.txt", ".hid", "ro.txt", "sys.txt", "sub/s.txt", "sub/.hdir/h.txt", "sub/deep/d.txt"})
            QVERIFY(makeFile(p(f)));
        QVERIFY(::chmod(encodePath(p("ro.txt")).constData(), 0444) == 0);
        const bool xattr = ::setxattr(encodePath(p("sys.txt")).constData(), "user.DOSATTRIB", "0x4", 4, 0) == 0;

        const QStringList files{p("a.txt"), p(".hid"), p("ro.txt"), p("sys.txt")};
        const QStringList folders{p("sub"), p("sub/.hdir"), p("sub/deep")};
        const QStringList deepFiles{p("sub/s.txt"), p("sub/.hdir/h.txt"), p("sub/deep/d.txt")};
        const QStringList everything = files + folders + deepFiles;
        // Entries whose word is zero: the system file too where nothing marks it.
        const QStringList zero = xattr ? QStringList{p("a.txt")} : QStringList{p("a.txt"), p("sys.txt")};
        const struct
        {
            bool folder, files, subfolders;
            bool withRoot;
            QStringList rest;
        } rows[] = {
            {true, true, false, true, files},   {true, true, true, true, everything},
            {true, false, true, true, folders}, {true, false, false, true, {}},
            {false, true, false, false, files}, {false, true, true, false, everything},
            {false, false, true, false, zero},  {false, false, false, false, zero},
        };
        for (const auto &r : rows) {
            const QStringList got = tree::stepTwo(m_root, r.folder, r.files, r.subfolders);
            const QString row = QStringLiteral("row %1%2%3").arg(r.folder).arg(r.files).arg(r.subfolders);
            QVERIFY2(got.size() == r.rest.size() + (r.withRoot ? 1 : 0), qPrintable(row + ": " + got.join(' ')));
            QCOMPARE(got.isEmpty() ? QString() : got.first(), r.withRoot ? m_root : got.value(0));
            QCOMPARE(asSet(r.withRoot ? got.mid(1) : got), asSet(r.rest));
            // Each folder before its contents.
            for (const QString &f : folders)
                for (qsizetype i = 0; i < got.size(); ++i)
                    if (got[i].startsWith(f + QLatin1Char('/')))
                        QVERIFY2(got.indexOf(f) >= 0 && got.indexOf(f) < i, qPrintable(row + ": " + got[i]));
        }
    }

    // An all-boxes Step 2 list renamed top to bottom reaches every entry,
    // the lists show the new paths, and a second press changes nothing.
    void allBoxesTopToBottom()
    {
        for (const char *d : {"Docs", "Docs/Sub Dir", "Docs/Sub Dir/Inner", "pics"})
            QVERIFY(makeDir(p(d)));
        for (const char *f : {"Docs/Read Me.txt", "Docs/Sub Dir/a.b", "Docs/Sub Dir/Inner/x.TXT", "pics/Ölbild.jpg",
                              "top.doc"})
            QVERIFY(makeFile(p(f), f));
        QStringList work = tree::stepTwo(m_root, true, true, true);
        QCOMPARE(work.size(), 10);
        // The candidates hold the same entries plus one outside the tree.
        QStringList candidates = work;
        candidates.append(m_tmp->path());
        Failures f;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Upper, f.sink()), 10);
        QVERIFY(f.seen.isEmpty());

        const QString upperRoot = m_tmp->filePath(QStringLiteral("TREE"));
        QVERIFY(!exists(m_root));
        const QStringList now = tree::stepTwo(upperRoot, true, true, true);
        QCOMPARE(asSet(work), asSet(now));
        QCOMPARE(candidates.mid(0, 10), work);
        QCOMPARE(candidates.last(), m_tmp->path()); // the folder above is left alone
        QVERIFY(work.contains(upperRoot + QStringLiteral("/DOCS/SUB DIR/INNER/X.TXT")));
        QVERIFY(work.contains(upperRoot + QStringLiteral("/PICS/ÖLBILD.JPG")));
        QCOMPARE(contents(upperRoot + QStringLiteral("/DOCS/SUB DIR/A.B")), QByteArray("Docs/Sub Dir/a.b"));

        const QStringList before = work;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Upper, f.sink()), 0);
        QVERIFY(f.seen.isEmpty());
        QCOMPARE(work, before);

        QCOMPARE(tree::changeCase(&work, &candidates, Case::Lower, f.sink()), 10);
        QVERIFY(f.seen.isEmpty());
        QVERIFY(exists(m_tmp->filePath(QStringLiteral("tree/docs/sub dir/inner/x.txt"))));
        QCOMPARE(asSet(work), asSet(tree::stepTwo(m_tmp->filePath(QStringLiteral("tree")), true, true, true)));
    }

    // Only the entry's own name changes; the same entry twice is renamed once.
    void sameEntryTwiceAndParentsKept()
    {
        QVERIFY(makeDir(p("Outer")));
        QVERIFY(makeFile(p("Outer/File.txt")));
        QStringList work{p("Outer/File.txt"), p("Outer/File.txt")};
        QStringList candidates{p("Outer"), p("Outer/File.txt")};
        Failures f;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Lower, f.sink()), 1);
        QVERIFY(f.seen.isEmpty());
        QCOMPARE(work, (QStringList{p("Outer/file.txt"), p("Outer/file.txt")}));
        QCOMPARE(candidates, (QStringList{p("Outer"), p("Outer/file.txt")}));
        QCOMPARE(namesIn(m_root), QSet<QString>{"Outer"});
        QCOMPARE(namesIn(p("Outer")), QSet<QString>{"file.txt"});
    }

    // README is not renamed over an existing readme, whether it is another
    // file or a second name of the same one.
    void collisionKeepsBothFiles()
    {
        QVERIFY(makeFile(p("README"), "upper"));
        QVERIFY(makeFile(p("readme"), "lower"));
        QVERIFY(makeDir(p("links")));
        QVERIFY(makeFile(p("links/NOTES"), "shared"));
        QVERIFY(::link(encodePath(p("links/NOTES")).constData(), encodePath(p("links/notes")).constData()) == 0);
        QVERIFY(makeFile(p("Other")));
        QStringList work{p("README"), p("links/NOTES"), p("Other")};
        QStringList candidates;
        Failures f;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Lower, f.sink()), 1);
        QCOMPARE(f.seen.size(), 2);
        QCOMPARE(f.seen[0].first, p("README"));
        QCOMPARE(f.seen[0].second, QStringLiteral("\"readme\" already exists"));
        QCOMPARE(tree::notRenamedText(f.seen[0].first, f.seen[0].second),
                 QStringLiteral("folder not renamed\n") + p("README") + QStringLiteral(": \"readme\" already exists"));
        QCOMPARE(f.seen[1].first, p("links/NOTES"));
        QCOMPARE(contents(p("README")), QByteArray("upper"));
        QCOMPARE(contents(p("readme")), QByteArray("lower"));
        QCOMPARE(namesIn(p("links")), (QSet<QString>{"NOTES", "notes"}));
        QCOMPARE(work, (QStringList{p("README"), p("links/NOTES"), p("other")}));
    }

    // Where the target name finds the entry itself, the rename goes through
    // a temporary name and nothing is left behind.
    void caseFoldingFileSystem()
    {
        QVERIFY(makeDir(p("Sub")));
        QVERIFY(makeFile(p("Sub/README"), "text"));
        CaseFoldingCalls calls;
        platform::setFileCalls(&calls);
        QStringList work{p("Sub"), p("Sub/README")};
        QStringList candidates;
        Failures f;
        const int renamed = tree::changeCase(&work, &candidates, Case::Lower, f.sink());
        platform::setFileCalls(nullptr);
        QVERIFY(f.seen.isEmpty());
        QCOMPARE(renamed, 2);
        QVERIFY(calls.hits >= 2);
        QCOMPARE(namesIn(m_root), QSet<QString>{"sub"});
        QCOMPARE(namesIn(p("sub")), QSet<QString>{"readme"});
        QCOMPARE(contents(p("sub/readme")), QByteArray("text"));
    }

    // A folder whose entries cannot be renamed: reported, the loop goes on.
    void readOnlyParentIsReported()
    {
        QVERIFY(makeDir(p("locked")));
        QVERIFY(makeFile(p("locked/Inside")));
        QVERIFY(makeFile(p("Free")));
        bool immutable = setImmutable(p("locked"), true);
        if (!immutable) {
            if (::geteuid() == 0)
                QSKIP("root ignores permission bits and this file system has no immutable flag");
            QVERIFY(::chmod(encodePath(p("locked")).constData(), 0555) == 0);
        }
        QStringList work{p("locked/Inside"), p("Free")};
        QStringList candidates;
        Failures f;
        const int renamed = tree::changeCase(&work, &candidates, Case::Upper, f.sink());
        if (immutable)
            QVERIFY(setImmutable(p("locked"), false));
        else
            ::chmod(encodePath(p("locked")).constData(), 0755);
        QCOMPARE(renamed, 1);
        QCOMPARE(f.seen.size(), 1);
        QCOMPARE(f.seen[0].first, p("locked/Inside"));
        QCOMPARE(f.seen[0].second, QString::fromLocal8Bit(std::strerror(immutable ? EPERM : EACCES)));
        QCOMPARE(namesIn(p("locked")), QSet<QString>{"Inside"});
        QVERIFY(exists(p("FREE")));
    }

    void blanksAndLettersBeyondAscii()
    {
        QVERIFY(makeFile(p(QStringLiteral("ärger über straße.txt")), "1"));
        QVERIFY(makeFile(p(QStringLiteral("ÉCOLE Ñ ΣΟΦΙΑ.TXT")), "2"));
        QStringList work{p(QStringLiteral("ärger über straße.txt"))};
        QStringList candidates;
        Failures f;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Upper, f.sink()), 1);
        work << p(QStringLiteral("ÉCOLE Ñ ΣΟΦΙΑ.TXT"));
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Lower, f.sink()), 2);
        QVERIFY(f.seen.isEmpty());
        QCOMPARE(namesIn(m_root), (QSet<QString>{QStringLiteral("ärger über strasse.txt"),
                                                 QStringLiteral("école ñ σοφια.txt")}));
        QCOMPARE(contents(p(QStringLiteral("école ñ σοφια.txt"))), QByteArray("2"));
    }

    // Bytes that are not UTF-8 are left alone and reported.
    void nameThatIsNotUtf8()
    {
        const QString odd = p(decodePath("CAF\xc9 Menu.TXT"));
        QVERIFY(makeFile(odd));
        QVERIFY(makeFile(p("Plain")));
        QStringList work{odd, p("Plain")};
        QStringList candidates{odd};
        Failures f;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Lower, f.sink()), 1);
        QCOMPARE(f.seen.size(), 1);
        QCOMPARE(encodePath(f.seen[0].first), encodePath(odd));
        QVERIFY(f.seen[0].second.contains(QStringLiteral("UTF-8")));
        QVERIFY(exists(odd));
        QCOMPARE(encodePath(candidates[0]), encodePath(odd));
        QVERIFY(exists(p("plain")));
        ::unlink(encodePath(odd).constData()); // QDir cannot spell it
    }

    void entryDeletedAfterListing()
    {
        for (const char *f : {"A1", "B2", "C3"})
            QVERIFY(makeFile(p(f)));
        QStringList work = tree::stepTwo(m_root, false, true, false);
        QCOMPARE(work.size(), 3);
        QVERIFY(::unlink(encodePath(p("B2")).constData()) == 0);
        QStringList candidates;
        Failures f;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Lower, f.sink()), 2);
        QCOMPARE(f.seen.size(), 1);
        QCOMPARE(f.seen[0].first, p("B2"));
        QCOMPARE(f.seen[0].second, QString::fromLocal8Bit(std::strerror(ENOENT)));
        QCOMPARE(namesIn(m_root), (QSet<QString>{"a1", "c3"}));
        QVERIFY(work.contains(p("B2")));
    }

    // Entries below a renamed folder are rewritten; others are not, even
    // when their text begins the same way.
    void rewriteFollowsComponents()
    {
        for (const char *d : {"Ab", "Ab/Cd", "Abc"})
            QVERIFY(makeDir(p(d)));
        QVERIFY(makeFile(p("Ab/Cd/Ef")));
        QVERIFY(makeFile(p("Abc/Gh")));
        QStringList work{p("Ab"), p("Ab/Cd/Ef"), p("Abc/Gh")};
        QStringList candidates{p("Ab/Cd"), p("Abc"), p("Ab/Cd/Ef")};
        Failures f;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Upper, f.sink()), 3);
        QVERIFY(f.seen.isEmpty());
        QCOMPARE(work, (QStringList{p("AB"), p("AB/Cd/EF"), p("Abc/GH")}));
        QCOMPARE(candidates, (QStringList{p("AB/Cd"), p("Abc"), p("AB/Cd/EF")}));
        QVERIFY(exists(p("AB/Cd/EF")));
        QVERIFY(exists(p("Abc/GH")));
    }
};

QTEST_GUILESS_MAIN(TestRenamePlan)
#include "test_rename_plan.moc"
