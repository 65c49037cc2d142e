// Line splitter throughput on 100 MB of mixed line endings, against a
// memchr line counter over the same buffer.
#include "bench_util.h"
#include "exec/line_splitter.h"

#include <cstring>
#include <random>
#include <string>

int main()
{
    const size_t total = 100u << 20;
    std::string data;
    data.reserve(total + 256);
    std::mt19937 rng(42);
    const char *ends[] = {"\r\n", "\n", "\r"};
    while (data.size() < total) {
        const size_t len = 10 + rng() % 90;
        for (size_t i = 0; i < len; ++i)
            data += char('a' + rng() % 26);
        data += ends[rng() % 3];
    }

    size_t baselineLines = 0;
    const double baseline = timeMedian(5, [&] {
        size_t n = 0;
        const char *p = data.data(), *end = p + data.size();
        while ((p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p))))) {
            ++n;
            ++p;
        }
        baselineLines = n;
    });

    size_t lines = 0, bytes = 0;
    const double splitter = timeMedian(5, [&] {
        exec::LineSplitter s;
        lines = bytes = 0;
        auto sink = [&](QByteArrayView v, exec::TOutputType t) {
            if (t == exec::otEntireLine) {
                ++lines;
                bytes += size_t(v.size());
            }
        };
        // Reads of 64 KiB, as a pipe delivers them.
        const size_t chunk = 64 * 1024;
        for (size_t off = 0; off < data.size(); off += chunk)
            s.feed(data.data() + off, qsizetype(std::min(chunk, data.size() - off)), sink);
        s.finish(sink);
    });

    reportLine("splitter: %zu MB, %zu lines, %.3f s (%.0f MB/s)\n", data.size() >> 20, lines, splitter,
                double(data.size()) / splitter / 1e6);
    reportLine("memchr baseline: %zu LF, %.3f s (%.0f MB/s)\n", baselineLines, baseline,
                double(data.size()) / baseline / 1e6);
    reportLine("ratio (splitter throughput / baseline throughput): %.2f (target >= 0.5)\n", baseline / splitter);
    return lines > 0 ? 0 : 1;
}
