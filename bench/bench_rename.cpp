// Case rename of a 10,000-entry Step 2 list (100 folders, each before its
// 99 files), against a plain loop of 10,000 renameat2 calls over the files
// of a tree of the same shape, in the same run.
#include "bench_util.h"
#include "platform/platform.h"
#include "tree/rename_plan.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kFolders = 100, kFilesPerFolder = 99;

bool makeTree(const QString &root, int filesPerFolder)
{
    const std::string base = QFile::encodeName(root).toStdString();
    for (int d = 0; d < kFolders; ++d) {
        const std::string dir = base + "/folder " + std::to_string(d);
        if (::mkdir(dir.c_str(), 0755) != 0)
            return false;
        for (int f = 0; f < filesPerFolder; ++f) {
            const int fd = ::open((dir + "/file-" + std::to_string(f) + ".txt").c_str(), O_CREAT | O_WRONLY, 0644);
            if (fd < 0)
                return false;
            ::close(fd);
        }
    }
    return true;
}
} // namespace

int main()
{
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/bench-rename-XXXXXX"));
    const QString listRoot = tmp.filePath(QStringLiteral("list")), loopRoot = tmp.filePath(QStringLiteral("loop"));
    if (!tmp.isValid() || !QDir().mkdir(listRoot) || !QDir().mkdir(loopRoot) || !makeTree(listRoot, kFilesPerFolder)
        || !makeTree(loopRoot, kFilesPerFolder + 1)) {
        std::fputs("cannot build the trees\n", stderr);
        return 1;
    }

    // Step 2 with "include files" and "include subfolders".
    QStringList work = tree::stepTwo(listRoot, false, true, true);
    QStringList candidates;
    int failures = 0, renamed = 0;
    bool upper = true;
    const double plan = timeMedian(5, [&] {
        renamed = tree::changeCase(&work, &candidates, upper ? tree::Case::Upper : tree::Case::Lower,
                                   [&](const QString &, const QString &, bool) { ++failures; });
        upper = !upper;
    });

    // The loop renames the 10,000 files of its tree, to upper case and back.
    std::vector<std::pair<std::string, std::string>> names;
    const std::string base = QFile::encodeName(loopRoot).toStdString();
    for (int d = 0; d < kFolders; ++d)
        for (int f = 0; f <= kFilesPerFolder; ++f) {
            const std::string dir = base + "/folder " + std::to_string(d) + "/";
            names.push_back({dir + "file-" + std::to_string(f) + ".txt", dir + "FILE-" + std::to_string(f) + ".TXT"});
        }
    int loopFailures = 0;
    upper = true;
    const double loop = timeMedian(5, [&] {
        for (const auto &n : names) {
            const std::string &from = upper ? n.first : n.second, &to = upper ? n.second : n.first;
            if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
                ++loopFailures;
        }
        upper = !upper;
    });

    reportLine("case rename of a Step 2 list: %lld entries, %d renamed per run, %.3f s (%.1f us/entry)\n",
                static_cast<long long>(work.size()), renamed, plan, plan / double(work.size()) * 1e6);
    reportLine("renameat2 loop baseline: %zu renames, %.3f s (%.1f us/rename)\n", names.size(), loop,
                loop / double(names.size()) * 1e6);
    reportLine("ratio (list rename time / loop time): %.2f (target <= 3)\n", plan / loop);
    const bool ok = failures == 0 && loopFailures == 0 && renamed == kFolders * (1 + kFilesPerFolder);
    if (!ok)
        std::printf("unexpected: %d list failures, %d loop failures\n", failures, loopFailures);
    return ok ? 0 : 1;
}
