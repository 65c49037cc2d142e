// Sort lists of 10,000, 100,000 and 1,000,000 rows. `spindle-cli sortlist
// sort` against GNU sort ordering the same way, both timed with their peak
// memory in the same run: LC_ALL=C sort -s -t' ' -k2,2nr -k1,1f (weight
// highest first, equal weights by path with letters folded, equal paths
// in file order: the lines here hold one blank and ASCII paths, where that
// is the list's own order, and the two outputs are compared byte for
// byte). Then the list itself: the bytes it holds against the file's size,
// its sort step at each size, and the Layout Sorter's grid on the largest.
#include "bench_dialogs.h"
#include "bench_util.h"
#include "tree/sort_file.h"
#include "tree/sort_list.h"
#include "tree/ui/sorter_form.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>

#include <cmath>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
struct Measured
{
    double seconds = -1;
    long peakKb = 0;
};

// One run of argv (stdout into `out`), its wall time and peak memory.
Measured measure(const QList<QByteArray> &argv, const QByteArray &out, bool cLocale)
{
    std::vector<char *> args;
    for (const QByteArray &a : argv)
        args.push_back(const_cast<char *>(a.constData()));
    args.push_back(nullptr);
    const double start = nowSeconds();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        if (cLocale)
            ::setenv("LC_ALL", "C", 1);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage use{};
    while (::wait4(pid, &status, 0, &use) < 0 && errno == EINTR) {
    }
    Measured m;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        m.seconds = nowSeconds() - start;
    m.peakKb = use.ru_maxrss;
    return m;
}

Measured best(int runs, const QList<QByteArray> &argv, const QByteArray &out, bool cLocale)
{
    std::vector<double> t;
    Measured m;
    for (int i = 0; i < runs; ++i) {
        m = measure(argv, out, cLocale);
        t.push_back(m.seconds);
    }
    m.seconds = median(t);
    return m;
}

// Answers Load List with one file.
class OneFile : public SilentDialogs
{
public:
    QString file;
    QString openFile(QWidget *, const ui::FileDialogOptions &) override { return file; }
};

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    OneFile dialogs;
    QTemporaryDir dir;
    const QByteArray cli = QFile::encodeName(QCoreApplication::applicationDirPath() + "/spindle-cli");
    const double baseKb = double(measure({cli, "--version"}, "/dev/null", false).peakKb);
    std::printf("spindle-cli at rest: %.0f kB; %s\n", baseKb, loadAverage());
    QRandomGenerator rng(1);
    bool ok = true;
    double lastSort = 0;
    QString largest;
    for (int rows : {10000, 100000, 1000000}) {
        QByteArray text;
        text.reserve(qsizetype(rows) * 44);
        for (int i = 0; i < rows; ++i)
            text += "/cd/Data/folder" + QByteArray::number(rng.bounded(100)) + "/File" + QByteArray::number(i) +
                    ".bin " + QByteArray::number(rng.bounded(-1000000, 1000000)) + "\r\n";
        const QString in = dir.filePath(QStringLiteral("in%1.lst").arg(rows));
        {
            QFile f(in);
            if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
                return 1;
        }
        largest = in;
        const double fileMb = double(text.size()) / (1 << 20);
        const QByteArray ours = QFile::encodeName(dir.filePath("ours.lst")),
                         theirs = QFile::encodeName(dir.filePath("theirs.lst"));
        const int runs = rows < 1000000 ? 5 : 3;
        const Measured a = best(runs, {cli, "sortlist", "sort", QFile::encodeName(in), ours}, "/dev/null", false);
        const Measured b =
            best(runs, {"sort", "-s", "-t", " ", "-k2,2nr", "-k1,1f", QFile::encodeName(in)}, theirs, true);
        const bool same = readFile(QFile::decodeName(ours)) == readFile(QFile::decodeName(theirs));
        ok = ok && same && a.seconds > 0 && b.seconds > 0;
        std::printf("%7d rows (%.1f MB): sortlist sort %.3f s, GNU sort %.3f s, ratio %.2f (target <= 2); "
                    "peak %.0f MB (%.2fx the file; %.2fx above spindle-cli at rest; target <= 3x), "
                    "GNU sort %.0f MB; same order: %s; %s\n",
                    rows, fileMb, a.seconds, b.seconds, a.seconds / b.seconds, a.peakKb / 1024.0,
                    a.peakKb / 1024.0 / fileMb, (a.peakKb - baseKb) / 1024.0 / fileMb, b.peakKb / 1024.0,
                    same ? "yes" : "NO", loadAverage());

        // The list in the process: what it holds, and its sort step.
        tree::SortList list;
        tree::SortSpans spans;
        QString error;
        if (!tree::readSortFile(in, true, &spans, &error))
            return 1;
        list.insertSpans(std::move(spans));
        const double held = double(list.heldBytes()) / (1 << 20);
        const double t0 = threadCpuSeconds();
        list.sort(&error);
        const double sortCpu = threadCpuSeconds() - t0;
        std::printf("%7d rows: the list holds %.1f MB (%.2fx the file; target <= 2x); sort step %.3f s CPU%s\n",
                    rows, held, held / fileMb, sortCpu,
                    lastSort > 0 ? qPrintable(QStringLiteral(" (x%1 for x10 rows; n log n: x%2)")
                                                  .arg(sortCpu / lastSort, 0, 'f', 1)
                                                  .arg(10.0 * std::log2(double(rows)) / std::log2(rows / 10.0), 0, 'f', 1))
                                 : "");
        lastSort = sortCpu;
    }

    // The grid on a million rows: Load List, the end of the list, a row
    // picked there, Sort; the longest wait on each.
    dialogs.file = largest;
    ui::setDialogs(&dialogs);
    {
        Tsorter_form form;
        form.show();
        app.processEvents();
        double t = nowSeconds();
        form.Button14Click();
        app.processEvents();
        const double load = nowSeconds() - t;
        t = nowSeconds();
        form.ValueListEditor1->scrollToBottom();
        app.processEvents();
        const double end = nowSeconds() - t;
        t = nowSeconds();
        const int last = int(form.sortList()->size()) - 1;
        form.ValueListEditor1->setCurrentIndex(form.sortList()->index(last - 5, 1));
        form.ValueListEditor1Click(); // the next weight, by path lookup
        app.processEvents();
        const double pick = nowSeconds() - t;
        t = nowSeconds();
        form.Button1Click();
        app.processEvents();
        const double sorted = nowSeconds() - t;
        std::printf("grid of %d rows: load %.3f s, to the end %.3f s, a row picked %.3f s, Sort %.3f s; "
                    "current row %d; %s\n",
                    last + 1, load, end, pick, sorted, form.sortList()->currentRow(), loadAverage());
    }
    ui::setDialogs(nullptr);
    return ok ? 0 : 1;
}
