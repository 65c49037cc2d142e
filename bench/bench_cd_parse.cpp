// The drive scan and capability rules on 100,000-line outputs, against a
// memchr line count over the same text.
#include "bench_util.h"
#include "disc/cd_rules.h"

#include <cstring>
#include <string>

namespace {

// The runner hands the windows their output as a list of lines; split the
// same bytes the same way (outside the timed part).
QStringList toLines(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size())).split(QLatin1Char('\n'));
}

double memchrCount(const std::string &text, size_t *count)
{
    return cpuMedian(15, [&] {
        size_t n = 0;
        const char *p = text.data(), *end = p + text.size();
        while ((p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p))))) {
            ++n;
            ++p;
        }
        *count = n;
    });
}

} // namespace

int main()
{
    const int kLines = 100000;
    // A scan of many busses: a header and eight targets each, one a drive.
    std::string scan;
    for (int bus = 0, n = 0; n < kLines; ++bus) {
        scan += "scsibus" + std::to_string(bus) + ":\n";
        ++n;
        for (int t = 0; t < 8 && n < kLines; ++t, ++n) {
            const std::string addr = std::to_string(bus) + "," + std::to_string(t) + ",0";
            if (t == 0)
                scan += "\t" + addr + "\t" + std::to_string(bus * 100) +
                        ") 'ACME    ' 'CDRW 52X        ' 'A1  ' Removable CD-ROM\n";
            else
                scan += "\t" + addr + "\t" + std::to_string(bus * 100 + t) + ") *\n";
        }
    }
    // A capability report whose lines repeat a real report's mix.
    const char *reportLines[] = {
        "  Does read CD-R media",        "  Does write CD-R media",
        "  Does read CD-RW media",       "  Does write CD-RW media",
        "  Does not write DVD-R media",  "  Does support test writing",
        "  Maximum read  speed:  7056 kB/s (CD  40x, DVD  5x)",
        "  Maximum write speed:  7056 kB/s (CD  40x, DVD  5x)",
        "  Current write speed:  7056 kB/s (CD  40x, DVD  5x)",
        "  Buffer size in KB: 2048",
    };
    std::string report;
    for (int i = 0; i < kLines; ++i)
        report += std::string(reportLines[i % 10]) + "\n";

    const QStringList scanLines = toLines(scan);
    const QStringList reportList = toLines(report);

    size_t scanCount = 0, reportCount = 0;
    const double scanBase = memchrCount(scan, &scanCount);
    const double reportBase = memchrCount(report, &reportCount);

    qsizetype drives = 0;
    const double scanTime = cpuMedian(15, [&] { drives = disc::scanDrives(scanLines).size(); });
    disc::Capabilities caps;
    const double reportTime = cpuMedian(15, [&] { caps = disc::evaluateCapabilities(reportList); });

    reportLine("scan: %zu lines, %lld drives, %.2f ms CPU; memchr count %.2f ms\n", scanCount, (long long)drives,
                scanTime * 1e3, scanBase * 1e3);
    reportLine("ratio (scan throughput / memchr throughput): %.2f (target >= 0.2)\n", scanBase / scanTime);
    reportLine("report: %zu lines, speed %d, %.2f ms CPU; memchr count %.2f ms\n", reportCount,
                caps.speed.value_or(0), reportTime * 1e3, reportBase * 1e3);
    reportLine("ratio (report throughput / memchr throughput): %.2f (target >= 0.2)\n", reportBase / reportTime);
    return drives > 0 && caps.writesCDRW ? 0 : 1;
}
