// The layout sorter at 100,000 entries: the folder listing against find,
// the list's Add/Sort/Save/Load, and the longest event-loop turn while a
// folder of 100,000 files is selected (`sortlist sort` against sort(1):
// bench_sort_list).
#include "bench_util.h"
#include "platform/file_calls.h"
#include "platform/platform.h"
#include "tree/folder_listing.h"
#include "tree/sort_file.h"
#include "tree/sort_list.h"
#include "tree/ui/sorter_form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kEntries = 100000;

// The listing's fallback, as on a kernel without getxattrat.
class ThroughDescriptors : public platform::FileCalls
{
public:
    bool haveDosAttribAt() override { return false; }
};

bool makeFiles(const QByteArray &folder, int count, const char *prefix)
{
    if (::mkdir(folder.constData(), 0755) != 0)
        return false;
    for (int i = 0; i < count; ++i) {
        const QByteArray name = folder + '/' + prefix + QByteArray::number(i) + ".dat";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    return true;
}

// CPU time (user and system) of the ended children, in seconds.
double childrenCpuSeconds()
{
    rusage use{};
    ::getrusage(RUSAGE_CHILDREN, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
}

double runProcess(const QString &program, const QStringList &args, const QString &out = QString())
{
    QProcess p;
    if (!out.isEmpty())
        p.setStandardOutputFile(out);
    else
        p.setStandardOutputFile(QProcess::nullDevice());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C");
    p.setProcessEnvironment(env);
    const double s = nowSeconds();
    p.start(program, args);
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
    // A flat folder, and a tree of 100 folders of 1000 files.
    if (!makeFiles(base + "/flat", kEntries, "file"))
        return 1;
    if (::mkdir((base + "/tree").constData(), 0755) != 0)
        return 1;
    for (int d = 0; d < kEntries / 1000; ++d)
        if (!makeFiles(base + "/tree/d" + QByteArray::number(d), 1000 - 1, "f"))
            return 1;
    const QString flat = dir.filePath("flat"), treeDir = dir.filePath("tree");

    // 1. The recursive listing against a find that does the same work: it
    //    examines every entry (%m needs its stat) and prints its path. Runs
    //    alternate, so a change of load touches both alike; the listing
    //    reads by name (fstatat, getxattrat) where the kernel can, and
    //    through each entry's descriptor as the fallback.
    //    Wall time, and CPU time (user and system), which a busy machine
    //    disturbs less.
    qsizetype listed = 0;
    const bool byName = platform::fileCalls().haveDosAttribAt();
    ThroughDescriptors fallback;
    std::vector<double> wall[3], cpu[3]; // find, by name, fallback
    const auto listOnce = [&](int way) {
        QStringList out;
        const double s = nowSeconds(), c = threadCpuSeconds();
        tree::listFolder(treeDir, platform::kAllAttributes, 0, true, &out);
        cpu[way].push_back(threadCpuSeconds() - c);
        wall[way].push_back(nowSeconds() - s);
        listed = out.size();
    };
    for (int i = 0; i < 7; ++i) {
        const double c = childrenCpuSeconds();
        wall[0].push_back(runProcess("find", {treeDir, "-printf", "%m %p\\n"}));
        cpu[0].push_back(childrenCpuSeconds() - c);
        listOnce(1);
        platform::setFileCalls(&fallback);
        listOnce(2);
        platform::setFileCalls(nullptr);
    }
    std::printf("listing: %lld entries; find -printf '%%m %%p\\n': %.3f s, CPU %.3f s; %s\n", (long long)listed,
                median(wall[0]), median(cpu[0]), loadAverage());
    const char *names[] = {"", "by name (fstatat, getxattrat)", "through descriptors (openat, fstat, fgetxattr, close)"};
    for (int way : {1, 2}) {
        if (way == 1 && !byName) {
            std::printf("listing by name: this kernel has no getxattrat\n");
            continue;
        }
        std::printf("listing %s: %.3f s, CPU %.3f s; ratio %.2f, CPU ratio %.2f%s; %s\n", names[way],
                    median(wall[way]), median(cpu[way]), median(wall[way]) / median(wall[0]),
                    median(cpu[way]) / median(cpu[0]), way == 1 ? " (target <= 1.5)" : "", loadAverage());
    }

    // 2. A folder of 100,000 files selected in the tree: the longest
    //    event-loop turn until the file list is filled.
    Tsorter_form form;
    form.show();
    double longest = 0, last = nowSeconds();
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = nowSeconds();
        longest = std::max(longest, now - last);
        last = now;
    });
    QEventLoop wait;
    QObject::connect(&form, &Tsorter_form::fileListFilled, &wait, &QEventLoop::quit);
    tick.start();
    last = nowSeconds();
    const double selectStart = nowSeconds();
    form.selectFolder(flat);
    wait.exec();
    // A few more turns for the list view's layout and paint.
    for (int i = 0; i < 20; ++i)
        app.processEvents();
    tick.stop();
    const double selectTime = nowSeconds() - selectStart;
    std::printf("select folder: %d files listed in %.3f s; longest event-loop turn %.1f ms (target < 100); %s\n",
                form.fileList()->rowCount(), selectTime, longest * 1000, loadAverage());

    // 3. Add all 100,000 to the list, Sort, Save, Load, with the grid showing.
    tree::SortList *list = form.sortList();
    form.ListBox1->selectAll();
    const QString lst = dir.filePath("big.lst");
    QString error;
    double t0 = nowSeconds();
    form.Button13Click();
    const double add = nowSeconds() - t0;
    t0 = nowSeconds();
    list->sort(&error);
    const double sortTime = nowSeconds() - t0;
    t0 = nowSeconds();
    const bool saved = tree::writeSortFile(lst, *list, QString(), &error);
    const double save = nowSeconds() - t0;
    t0 = nowSeconds();
    list->clear();
    tree::SortSpans rows;
    tree::readSortFile(lst, true, &rows, &error);
    list->insertSpans(std::move(rows));
    app.processEvents();
    const double load = nowSeconds() - t0;
    std::printf("list of %lld rows: add %.3f s, sort %.3f s, save %.3f s, load %.3f s; total %.3f s "
                "(target < 1); %s\n",
                (long long)list->size(), add, sortTime, save, load, add + sortTime + save + load, loadAverage());
    if (!saved || list->size() != kEntries)
        return 1;
    return 0;
}
