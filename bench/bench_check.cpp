// Know before you burn, and the user's main job:
//  1. a tree of mixed files built through Make Batch + Run Batch in the
//     shown console (offscreen), against the same genisoimage command line
//     run directly with its output going to /dev/null;
//  2. the recursive folder listing against find -printf '%m %p\n' on a
//     100,000-entry tree, and the share of the user.DOSATTRIB reads in it;
//  3. Check (names and a 100,000-line sort file) on the same tree, against
//     the listing alone;
//  4. the whole Check, its size run included, against the listing.
// SPINDLE_BENCH_JOB_MB sets the size of the tree of step 1: 300 by default,
// which keeps the whole benchmark near a minute on a loaded 2-core machine
// (1024 takes over two: most of it writing the tree and the images).
#include "bench_util.h"
#include "bench_dialogs.h"
#include "app/ui/windows.h"
#include "ui/style.h"
#include "exec/command_line.h"
#include "exec/ui/console_capture.h"
#include "iso/check.h"
#include "iso/command_builder.h"
#include "iso/ui/mkiso_form.h"
#include "platform/file_calls.h"
#include "platform/platform.h"
#include "tree/folder_listing.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {
constexpr int kFolders = 100, kPerFolder = 1000;

bool makeFile(const QByteArray &path, qint64 size, char fill)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const QByteArray block(1 << 20, fill);
    bool ok = true;
    for (qint64 left = size; ok && left > 0;) {
        const qint64 n = std::min<qint64>(left, block.size());
        ok = ::write(fd, block.constData(), size_t(n)) == n;
        left -= n;
    }
    return ::close(fd) == 0 && ok;
}

// Stands for a file system without user extended attributes: the listing
// then reads none after the first refusal.
struct NoXattrCalls : platform::FileCalls
{
    int getDosAttrib(int, QByteArray *) override { return ENOTSUP; }
};

double runDirect(const QStringList &words)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    const double s = nowSeconds();
    p.start(words.first(), words.mid(1));
    p.waitForFinished(-1);
    const double t = nowSeconds() - s;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? t : -1;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    const QString mkisofs = QCoreApplication::applicationDirPath() + QStringLiteral("/mkisofs");
    int status = 0;

    // 1. The user's job.
    {
        const qint64 totalMb = qEnvironmentVariableIsSet("SPINDLE_BENCH_JOB_MB")
                                   ? qEnvironmentVariableIntValue("SPINDLE_BENCH_JOB_MB")
                                   : 300;
        // Mixed sizes: a few large files, many middling, a great many small.
        const QByteArray job = base + "/job";
        ::mkdir(job.constData(), 0755);
        ::mkdir((job + "/video").constData(), 0755);
        ::mkdir((job + "/docs").constData(), 0755);
        ::mkdir((job + "/src").constData(), 0755);
        const qint64 total = totalMb << 20;
        qint64 made = 0;
        int files = 0;
        for (int i = 0; made < total * 6 / 10; ++i, ++files)
            made += makeFile(job + "/video/clip" + QByteArray::number(i) + ".mpg", 100 << 20, char('a' + i % 26))
                        ? 100 << 20
                        : total;
        for (int i = 0; made < total * 9 / 10; ++i, ++files)
            made += makeFile(job + "/docs/doc" + QByteArray::number(i) + ".pdf", 1 << 20, char('a' + i % 26))
                        ? 1 << 20
                        : total;
        for (int i = 0; made < total; ++i, ++files)
            made += makeFile(job + "/src/file" + QByteArray::number(i) + ".c", 16 << 10, char('a' + i % 26))
                        ? 16 << 10
                        : total;
        ::mkdir((base + "/out").constData(), 0755);
        ::mkdir((base + "/bat").constData(), 0755);

        SilentDialogs silent;
        ui::setDialogs(&silent);
        app::createWindows();
        TMkisofs_form *f = app::windows().Mkisofs_form;
        iso::IsoOptions &o = f->options();
        o.setText(iso::Opt::mkisofs_folder, mkisofs);
        o.setCheck(iso::Opt::Joliet, true);
        o.setCheck(iso::Opt::RRRidge, true);
        o.setText(iso::Opt::root_folder, dir.filePath(QStringLiteral("job/")));
        o.setText(iso::Opt::output_folder, dir.filePath(QStringLiteral("out/")));
        o.setText(iso::Opt::output_filename, QStringLiteral("cd.iso"));
        o.setText(iso::Opt::batch_folder, dir.filePath(QStringLiteral("bat/")));
        const QString image = dir.filePath(QStringLiteral("out/cd.iso"));
        QStringList words;
        for (const QByteArray &w : iso::buildCommandLine(o).command.argv())
            words << QString::fromUtf8(w);

        runDirect(words); // the tree into the page cache
        std::vector<double> ours, direct;
        for (int i = 0; i < 5; ++i) {
            QFile::remove(image);
            direct.push_back(runDirect(words));
            QFile::remove(image);
            const double s = nowSeconds();
            f->MkBatBTClick();
            f->RunBatBTClick();
            ours.push_back(nowSeconds() - s);
        }
        const qint64 imageBytes = QFileInfo(image).size();
        const qint64 consoleLines = app::windows().console->Memo1->lineCount();
        app::destroyWindows();
        ui::setDialogs(nullptr);
        const double a = median(ours), b = median(direct);
        reportLine("user's job: %d files, %lld MB, image %lld MB; Make Batch + Run Batch in the console %.3f s "
                    "(%lld console lines), genisoimage directly to /dev/null %.3f s; ratio %.3f (target <= 1.05)\n",
                    files, (long long)(made >> 20), (long long)(imageBytes >> 20), a, (long long)consoleLines, b,
                    a / b);
        if (b < 0 || imageBytes < made)
            status = 1;
        QFile::remove(image);
        QDir(dir.filePath(QStringLiteral("job"))).removeRecursively();
    }

    // The 100,000-entry tree: 100 folders of 999 files, and its sort file.
    const QByteArray treeDir = base + "/tree";
    ::mkdir(treeDir.constData(), 0755);
    QByteArray sortText;
    for (int d = 0; d < kFolders; ++d) {
        const QByteArray folder = treeDir + "/Folder" + QByteArray::number(d);
        ::mkdir(folder.constData(), 0755);
        for (int i = 0; i < kPerFolder - 1; ++i) {
            const QByteArray name = folder + "/file" + QByteArray::number(i) + ".dat";
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd < 0)
                return 1;
            ::close(fd);
            sortText += name + ' ' + QByteArray::number(d * kPerFolder + i) + '\n';
        }
    }
    sortText += treeDir + "/Folder0 5\n"; // 99,901 lines with the folders
    for (int i = 0; i < 100; ++i)
        sortText += treeDir + "/gone" + QByteArray::number(i) + " 1\n";
    const QString sortFile = dir.filePath(QStringLiteral("tree.sort"));
    QString reason;
    platform::writeFileAtomic(sortFile, sortText, &reason);
    const QString treePath = dir.filePath(QStringLiteral("tree"));

    // 2. The listing against find.
    const bool userXattrs = ::setxattr((treeDir + "/Folder0/file0.dat").constData(), "user.probe", "1", 1, 0) == 0;
    qsizetype listed = 0;
    const auto listing = [&] {
        QStringList out;
        tree::listFolder(treePath, platform::kAllAttributes, 0, true, &out);
        listed = out.size();
    };
    listing();
    const double withXattr = timeMedian(5, listing);
    NoXattrCalls noXattr;
    platform::setFileCalls(&noXattr);
    const double withoutXattr = timeMedian(5, listing);
    platform::setFileCalls(nullptr);
    std::vector<double> findTimes;
    for (int i = 0; i < 5; ++i) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        const double s = nowSeconds();
        p.start(QStringLiteral("find"), {treePath, "-printf", "%m %p\n"});
        p.waitForFinished(-1);
        findTimes.push_back(nowSeconds() - s);
    }
    const double find = median(findTimes);
    reportLine("listing: %lld entries in %.3f s; find -printf '%%m %%p\\n': %.3f s; ratio %.2f (target <= 1.5)\n",
                (long long)listed, withXattr, find, withXattr / find);
    reportLine("user.DOSATTRIB reads (file system %s user xattrs): listing without them %.3f s, "
                "they cost %.3f s (%.0f%% of the listing); ratio without them %.2f\n",
                userXattrs ? "keeps" : "has no", withoutXattr, withXattr - withoutXattr,
                100.0 * (withXattr - withoutXattr) / withXattr, withoutXattr / find);

    // 3. Check on the tree with its sort file (no size run: that is
    //    genisoimage's own time).
    iso::IsoOptions o;
    o.setText(iso::Opt::root_folder, treePath);
    o.setCheck(iso::Opt::Joliet, true);
    o.setCheck(iso::Opt::RRRidge, true);
    o.setCheck(iso::Opt::sorting, true);
    o.setText(iso::Opt::sorting_list, sortFile);
    iso::CheckReport report;
    const double check = timeMedian(3, [&] {
        report = iso::CheckReport();
        iso::checkTree(o, iso::resolvePaths(o), &report);
    });
    qsizetype unmatched = 0;
    for (const iso::CheckProblem &p : report.problems)
        if (p.sentence.startsWith(QStringLiteral("Sort file lines that match no")))
            unmatched = p.count;
    reportLine("check: %lld entries and a %lld-line sort file in %.3f s (target < 2 s), %.2f times the listing "
                "(target <= 3); %lld lines matched nothing\n",
                (long long)report.entries, (long long)sortText.count('\n'), check, check / withXattr,
                (long long)unmatched);
    if (report.entries != listed || unmatched != 100)
        status = 1;

    // 4. The whole Check, its size run included (genisoimage without the
    //    sort file, while the tree is walked), against the listing.
    o.setText(iso::Opt::mkisofs_folder, mkisofs);
    o.setText(iso::Opt::output_folder, dir.filePath(QStringLiteral("out/")));
    o.setText(iso::Opt::output_filename, QStringLiteral("cd.iso"));
    iso::CheckReport whole;
    const double full = timeMedian(3, [&] { whole = iso::runCheck(o); });
    // Its floor: the size run alone, as genisoimage takes it.
    exec::CommandLine size = iso::sizeRunCommand(iso::buildCommandLine(o).command);
    size.setProgram(mkisofs, exec::Shown::Quoted);
    const double sizeRun = timeMedian(3, [&] {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        QStringList args;
        for (const exec::Word &w : size.arguments())
            args << platform::decodePath(w.bytes);
        p.start(mkisofs, args);
        p.waitForFinished(-1);
    });
    std::printf("check with its size run: %.3f s, %.2f times the listing (target <= 3); the size run alone %.3f s "
                "(%.2f of the check); %lld sectors [%s]\n",
                full, full / withXattr, sizeRun, sizeRun / full, (long long)whole.sectors, loadAverage());
    if (whole.sectors < 0)
        status = 1;
    return status;
}
