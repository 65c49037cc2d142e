// The case rename and Step 2 on real temporary trees.
#include "platform/file_calls.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tree/rename_plan.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>
#include <utility>
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
    QList<bool> folders;
    tree::RenameFailed sink()
    {
        return [this](const QString &p, const QString &r, bool folder) {
            seen.append({p, r});
            folders.append(folder);
        };
    }
};

// The folder an opened descriptor stands for.
QString pathOf(int fd)
{
    char buf[4096];
    const ssize_t n = ::readlink(platform::descriptorPath(fd).constData(), buf, sizeof buf);
    return n < 0 ? QString() : decodePath(QByteArray(buf, n));
}

// Stands for a file system that matches names without regard to case: a
// name differing only in case from an existing one finds that entry.
class CaseFoldingCalls : public platform::FileCalls
{
public:
    int hits = 0;
    static QByteArray folded(int dirfd, const QByteArray &name)
    {
        const QString want = decodePath(name).toLower();
        for (const QString &n : namesIn(pathOf(dirfd)))
            if (n.toLower() == want)
                return encodePath(n);
        return name;
    }
    int statAt(int dirfd, const char *name, struct stat *st, bool follow) override
    {
        return FileCalls::statAt(dirfd, folded(dirfd, name).constData(), st, follow);
    }
    int renameNoReplace(int fromDir, const char *from, int toDir, const char *to) override
    {
        if (folded(toDir, to) != QByteArray(to)) {
            ++hits;
            return EEXIST;
        }
        return FileCalls::renameNoReplace(fromDir, from, toDir, to);
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
        QCOMPARE(tree::notRenamedText(f.seen[0].first, f.seen[0].second, f.folders[0]),
                 QStringLiteral("file not renamed\n") + p("README") + QStringLiteral(": \"readme\" already exists"));
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

    // "file not renamed" for files, "folder not renamed" for folders, also
    // for a name that is not UTF-8 and for an entry that is gone.
    void fileOrFolderInTheText()
    {
        QVERIFY(makeDir(p("Taken")));
        QVERIFY(makeDir(p("taken")));
        QVERIFY(makeFile(p("FILE")));
        QVERIFY(makeFile(p("file")));
        const QString oddDir = p(decodePath("D\xc9R"));
        QVERIFY(makeDir(oddDir));
        QStringList work{p("Taken"), p("FILE"), oddDir, p("Gone")};
        QStringList candidates;
        Failures f;
        tree::CaseSummary sum;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Lower, f.sink(), {}, &sum), 0);
        QCOMPARE(f.folders, (QList<bool>{true, false, true, false}));
        QCOMPARE(tree::notRenamedText(p("Taken"), QStringLiteral("why"), true),
                 QStringLiteral("folder not renamed\n%1: why").arg(p("Taken")));
        QCOMPARE(tree::notRenamedText(p("FILE"), QStringLiteral("why"), false),
                 QStringLiteral("file not renamed\n%1: why").arg(p("FILE")));
        QCOMPARE(sum.notRenamed, 4);
        QCOMPARE(sum.renamed, 0);
        ::rmdir(encodePath(oddDir).constData());
    }

    // Changes whose letters or length change cannot be undone and are named.
    void irreversibleChangesAreListed()
    {
        QCOMPARE(tree::reversibleCase(QStringLiteral("Read Me.txt"), Case::Upper), true);
        QCOMPARE(tree::reversibleCase(QStringLiteral("straße"), Case::Upper), false);
        QCOMPARE(tree::reversibleCase(QStringLiteral("STRASSE"), Case::Lower), true);
        QCOMPARE(tree::reversibleCase(QStringLiteral("σοφιας"), Case::Upper), false);
        QCOMPARE(tree::reversibleCase(QStringLiteral("\u0130stanbul"), Case::Lower), false);
        QCOMPARE(tree::reversibleCase(QStringLiteral("\uFB01le"), Case::Upper), false);
        QCOMPARE(tree::reversibleCase(QStringLiteral("école"), Case::Upper), true);

        QVERIFY(makeDir(p(QStringLiteral("straße"))));
        QVERIFY(makeFile(p(QStringLiteral("straße/maß.txt"))));
        QVERIFY(makeFile(p(QStringLiteral("Plain.txt"))));
        QVERIFY(makeFile(p(QStringLiteral("UPPER"))));
        QStringList work{p(QStringLiteral("straße")), p(QStringLiteral("straße/maß.txt")), p("Plain.txt"), p("UPPER")};
        QStringList candidates;
        Failures f;
        tree::CaseSummary sum;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Upper, f.sink(), {1, 2, 1, 1}, &sum), 3);
        QVERIFY(f.seen.isEmpty());
        QCOMPARE(sum.renamed, 3);
        QCOMPARE(sum.unchanged, 1);
        QCOMPARE(sum.irreversible.size(), 2);
        QCOMPARE(sum.irreversible[0], std::make_pair(p(QStringLiteral("straße")), p("STRASSE")));
        QCOMPARE(sum.irreversible[1],
                 std::make_pair(p(QStringLiteral("STRASSE/maß.txt")), p("STRASSE/MASS.TXT")));
        QCOMPARE(tree::caseSummaryText(sum, Case::Upper),
                 QStringLiteral("3 renamed, 0 not renamed, 1 already in upper case\n\n"
                                "These changes cannot be undone by changing the case back, as their letters or "
                                "length changed:\n%1 \u2192 STRASSE\n%2 \u2192 MASS.TXT")
                     .arg(p(QStringLiteral("straße")), p(QStringLiteral("STRASSE/maß.txt"))));
        // Back to lower case loses nothing more, and says so.
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Lower, f.sink(), {}, &sum), 4);
        QVERIFY(sum.irreversible.isEmpty());
        QCOMPARE(tree::caseSummaryText(sum, Case::Lower), QStringLiteral("4 renamed, 0 not renamed"));
        QCOMPARE(namesIn(p("strasse")), QSet<QString>{"mass.txt"});
        // Many: the box stays readable.
        tree::CaseSummary many;
        many.irreversible = QList<std::pair<QString, QString>>(30, {QStringLiteral("/a/ß"), QStringLiteral("/a/SS")});
        QVERIFY(tree::caseSummaryText(many, Case::Upper).endsWith(QStringLiteral("\n... and 5 more")));
    }

    // A link in the list is renamed itself, never its target; a folder of
    // the path swapped for a link after listing stops the rename.
    void linksAndSwappedFolders()
    {
        const QString outside = m_tmp->filePath(QStringLiteral("Outside"));
        QVERIFY(makeDir(outside));
        QVERIFY(makeFile(outside + QStringLiteral("/Target"), "t"));
        QVERIFY(makeDir(p("Sub")));
        QVERIFY(makeFile(p("Sub/Target"), "inside"));
        QVERIFY(::symlink("../Outside/Target", encodePath(p("Link")).constData()) == 0);
        QStringList work = tree::stepTwo(m_root, false, true, true);
        QList<platform::Beneath> below;
        for (const QString &w : work)
            below << tree::beneath(m_root, w, 0, 0);
        QCOMPARE(below.value(work.indexOf(p("Sub/Target"))).names, 2);
        // Swap Sub for a link to Outside right after the chosen folder is opened.
        const QByteArray sub = encodePath(p("Sub")), moved = encodePath(p("Moved"));
        QStringList candidates;
        for (int at = 1; at <= 2; ++at) {
            SwapCalls calls;
            calls.at = at;
            calls.swap = [&] {
                QVERIFY(::rename(sub.constData(), moved.constData()) == 0);
                QVERIFY(::symlink("../Outside", sub.constData()) == 0);
            };
            platform::setFileCalls(&calls);
            Failures f;
            QStringList one{p("Sub/Target")};
            const int renamed = tree::changeCase(&one, &candidates, Case::Lower, f.sink(), {2});
            platform::setFileCalls(nullptr);
            QVERIFY(!calls.swap);
            QCOMPARE(namesIn(outside), QSet<QString>{"Target"});
            if (at == 1) {
                QCOMPARE(renamed, 0);
                QCOMPARE(f.seen.size(), 1);
                QCOMPARE(f.seen[0].second, QStringLiteral("a folder on its path is a symbolic link"));
                QCOMPARE(namesIn(p("Moved")), QSet<QString>{"Target"});
            } else {
                // The folder was open before the swap: the rename stays in it.
                QCOMPARE(renamed, 1);
                QCOMPARE(namesIn(p("Moved")), QSet<QString>{"target"});
                QVERIFY(::rename(encodePath(p("Moved/target")).constData(), encodePath(p("Moved/Target")).constData()) == 0);
            }
            QVERIFY(::unlink(sub.constData()) == 0);
            QVERIFY(::rename(moved.constData(), sub.constData()) == 0);
        }
        Failures f;
        QCOMPARE(tree::changeCase(&work, &candidates, Case::Upper, f.sink(), below), 3);
        QVERIFY(f.seen.isEmpty());
        QCOMPARE(namesIn(m_root), (QSet<QString>{"SUB", "LINK"}));
        QCOMPARE(namesIn(outside), QSet<QString>{"Target"});
        char target[64] = {};
        QVERIFY(::readlink(encodePath(p("LINK")).constData(), target, sizeof target - 1) > 0);
        QCOMPARE(QByteArray(target), QByteArray("../Outside/Target"));
        QCOMPARE(contents(outside + QStringLiteral("/Target")), QByteArray("t"));
    }
};

QTEST_GUILESS_MAIN(TestRenamePlan)
#include "test_rename_plan.moc"
