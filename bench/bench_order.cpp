// `spindle-cli order` on an image of 100,000 files against a sort file of
// 100,000 lines, most of which hold a backslash or a bracket, against the
// same command listing the image without a sort file (the baseline, in the
// same run); then patterns that all share one folder and beginning.
#include "bench_util.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {
constexpr int kFolders = 100;
constexpr int kPerFolder = 1000;

// Wall seconds of one run with its output thrown away; -1 when it failed
// (order's exit status 1 only says that files lie out of order).
double timed(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    const double s = nowSeconds();
    p.start(program, args);
    p.waitForFinished(-1);
    const double t = nowSeconds() - s;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() <= 1 ? t : -1;
}

double medianOf(int runs, const QString &program, const QStringList &args)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i)
        t.push_back(timed(program, args));
    return median(t);
}

bool write(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    // The image's files are graft points of one empty file: genisoimage
    // lists each under its own name, and no 100,000 files are written.
    // The sort lines name them below /cd, the root order finds from them.
    const QByteArray empty = QFile::encodeName(dir.filePath("empty"));
    QByteArray grafts, lines, shared;
    int n = 0;
    for (int d = 0; d < kFolders; ++d) {
        const QByteArray folder = "d" + QByteArray::number(d);
        for (int i = 0; i < kPerFolder; ++i, ++n) {
            const QByteArray num = QByteArray::number(i);
            // Half the names have plain names, half brackets in them.
            const QByteArray name = i % 2 ? "t [" + num + "].bin" : "f" + num + ".bin";
            grafts += folder + '/' + name + '=' + empty + '\n';
            // As the Layout Sorter writes them (for genisoimage "[12]" is
            // one of two bytes), with the bracket quoted, or with a bracket
            // of their own.
            const QByteArray at = "/cd/" + folder;
            QByteArray line;
            switch (n % 4) {
            case 0:
            case 3: line = at + '/' + name; break;
            case 1: line = at + "/t \\[" + num + "].bin"; break;
            case 2: line = at + "/f" + num + ".bi[n]"; break;
            }
            lines += line + ' ' + QByteArray::number(n % 1000) + '\n';
            if (d < 10)
                shared += at + "/*" + num + ".bin " + QByteArray::number(i) + '\n';
        }
    }
    const QString image = dir.filePath("big.iso"), sortFile = dir.filePath("big.sort"),
                  sharedFile = dir.filePath("shared.sort"), graftFile = dir.filePath("grafts");
    if (!write(QFile::decodeName(empty), QByteArray()) || !write(sortFile, lines) || !write(sharedFile, shared) ||
        !write(graftFile, grafts))
        return 1;
    const QString bin = QCoreApplication::applicationDirPath();
    if (timed(bin + "/mkisofs", {"-quiet", "-r", "-graft-points", "-path-list", graftFile, "-o", image}) < 0)
        return 1;
    const QString cli = bin + "/spindle-cli";
    const double listing = medianOf(3, cli, {"order", image});
    const double ordered = medianOf(3, cli, {"order", image, sortFile});
    std::printf("order, %d files x %d lines: %.3f s (target < 2 s); listing alone %.3f s; ratio %.2f; %s\n", n,
                n, ordered, listing, ordered / listing, loadAverage());
    const double sharing = medianOf(1, cli, {"order", "--root", "/cd", image, sharedFile});
    std::printf("order, %d files x %d patterns sharing one folder and beginning per 1,000: %.3f s; ratio %.2f; %s\n",
                n, 10 * kPerFolder, sharing, sharing / listing, loadAverage());
    return listing > 0 && ordered > 0 && sharing > 0 ? 0 : 1;
}
