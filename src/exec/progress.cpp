#include "exec/progress.h"

#include <cmath>

namespace exec {

namespace {

// A tiny cursor over one line of tool output.
struct Scan
{
    QStringView t;
    qsizetype i = 0;

    bool atEnd() const { return i >= t.size(); }
    void spaces()
    {
        while (i < t.size() && t[i] == QLatin1Char(' '))
            ++i;
    }
    bool word(QLatin1StringView w)
    {
        if (!t.mid(i).startsWith(w))
            return false;
        i += w.size();
        return true;
    }
    // Digits; false when there are none or too many for 64 bits.
    bool integer(qint64 *out)
    {
        const qsizetype from = i;
        qint64 v = 0;
        while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
            if (i - from >= 18)
                return false;
            v = v * 10 + (t[i].unicode() - '0');
            ++i;
        }
        *out = v;
        return i > from;
    }
    // Digits with an optional fraction.
    bool decimal(double *out)
    {
        qint64 whole = 0;
        if (!integer(&whole))
            return false;
        double v = double(whole);
        if (i < t.size() && t[i] == QLatin1Char('.')) {
            ++i;
            double scale = 0.1;
            const qsizetype from = i;
            while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128) {
                v += scale * (t[i].unicode() - '0');
                scale /= 10;
                ++i;
            }
            if (i == from)
                return false;
        }
        *out = v;
        return true;
    }
};

constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kSectorBytes = 2048;

} // namespace

void ProgressParser::reset()
{
    m_readerEnd = 0;
    m_fraction = -1;
    m_bytes = -1;
    m_active = false;
}

int ProgressParser::percent() const
{
    if (m_fraction < 0)
        return -1;
    return int(std::floor(qBound(0.0, m_fraction, 1.0) * 100.0 + 1e-9));
}

void ProgressParser::set(double fraction, qint64 bytes)
{
    m_fraction = fraction < 0 ? -1 : qBound(0.0, fraction, 1.0);
    m_bytes = bytes;
    m_active = true;
}

bool ProgressParser::feed(QStringView text, bool complete)
{
    if (text.isEmpty())
        return false;
    // A cheap look at the first non-blank character keeps ordinary lines cheap.
    qsizetype k = 0;
    while (k < text.size() && text[k] == QLatin1Char(' '))
        ++k;
    if (k == text.size())
        return false;
    const QChar c = text[k];
    if (c.isDigit())
        return image(text) || copied(text);
    if (c == QLatin1Char('T'))
        return track(text);
    // xorrisofs: "xorriso : UPDATE :  54.08% done[, estimate finish ...]".
    if (c == QLatin1Char('x')) {
        const QLatin1StringView update("xorriso : UPDATE :");
        return text.mid(k).startsWith(update) && image(text.mid(k + update.size()));
    }
    if (c == QLatin1Char('e') || c == QLatin1Char('a'))
        return reader(text, complete);
    return false;
}

// " 12.34% done, estimate finish Tue Dec  8 11:20:32 2026"
bool ProgressParser::image(QStringView t)
{
    Scan s{t};
    double pct = 0;
    s.spaces();
    if (!s.decimal(&pct) || !s.word(QLatin1StringView("% done")))
        return false;
    set(pct / 100.0, -1);
    return true;
}

// "Track 01:   12 of  700 MB written (fifo 100%) [buf  99%]  16.0x."
// "Track 01:   12 MB written ..." when the track's size is not known;
// "Track 01: Total bytes read/written: 734003200/734003200 (358400 sectors)."
// once the track is written.
bool ProgressParser::track(QStringView t)
{
    Scan s{t};
    qint64 number = 0, written = 0, total = 0;
    if (!s.word(QLatin1StringView("Track ")) || !s.integer(&number) || !s.word(QLatin1StringView(":")))
        return false;
    s.spaces();
    // The track's summary: the progress lines may stop short of the total
    // when the burn ends between two of them ("72 of 73 MB").
    if (s.word(QLatin1StringView("Total bytes read/written:"))) {
        s.spaces();
        qint64 read = 0;
        if (!s.integer(&read) || !s.word(QLatin1StringView("/")) || !s.integer(&written) || written <= 0)
            return false;
        set(1.0, written);
        return true;
    }
    if (!s.integer(&written))
        return false;
    if (s.word(QLatin1StringView(" of"))) {
        s.spaces();
        if (!s.integer(&total))
            return false;
    }
    // The unit and the word after it show that both numbers are whole.
    if (!s.word(QLatin1StringView(" MB written")))
        return false;
    set(total > 0 ? double(written) / double(total) : -1, written * kMiB);
    return true;
}

// "end:    146659" gives the last sector; "addr:     1000 cnt: 1000" the
// sector reached.
bool ProgressParser::reader(QStringView t, bool complete)
{
    Scan s{t};
    qint64 v = 0;
    if (s.word(QLatin1StringView("end:"))) {
        // Only a finished line: a number cut by a read would be too small.
        s.spaces();
        if (!complete || !s.integer(&v))
            return false;
        s.spaces();
        if (!s.atEnd())
            return false;
        m_readerEnd = v;
        set(v > 0 ? 0.0 : -1, 0);
        return true;
    }
    if (!s.word(QLatin1StringView("addr:")))
        return false;
    s.spaces();
    if (!s.integer(&v))
        return false;
    // The last one, "addr: END" with no count, says the read is done.
    if (!s.word(QLatin1StringView(" cnt:"))) {
        s.spaces();
        if (!complete || !s.atEnd())
            return false;
    }
    set(m_readerEnd > 0 ? double(v) / double(m_readerEnd) : -1, v * kSectorBytes);
    return true;
}

// "1224736768 bytes (1.2 GB, 1.1 GiB) copied, 7 s, 175 MB/s", or
// "7 bytes copied, 2 s, 0.0 kB/s" while below a kilobyte.
bool ProgressParser::copied(QStringView t)
{
    Scan s{t};
    qint64 bytes = 0;
    s.spaces();
    if (!s.integer(&bytes) || !s.word(QLatin1StringView(" byte")))
        return false;
    s.word(QLatin1StringView("s"));
    if (s.word(QLatin1StringView(" ("))) {
        while (!s.atEnd() && t[s.i] != QLatin1Char(')'))
            ++s.i;
        if (!s.word(QLatin1StringView(")")))
            return false;
    }
    if (!s.word(QLatin1StringView(" copied,")))
        return false;
    set(m_totalBytes > 0 ? double(bytes) / double(m_totalBytes) : -1, bytes);
    return true;
}

void ProgressEstimate::sample(qint64 ms, double fraction, qint64 bytes)
{
    if (m_firstMs < 0)
        m_firstMs = ms;
    m_lastMs = ms;
    if (fraction >= 0) {
        if (m_firstFraction < 0)
            m_firstFraction = fraction;
        m_lastFraction = fraction;
    }
    if (bytes >= 0) {
        if (m_firstBytes < 0)
            m_firstBytes = bytes;
        m_lastBytes = bytes;
    }
}

namespace {
// Below this the averages swing too much to be shown.
constexpr qint64 kMinSpanMs = 1000;
} // namespace

double ProgressEstimate::bytesPerSecond() const
{
    const qint64 span = m_lastMs - m_firstMs;
    if (m_firstBytes < 0 || span < kMinSpanMs || m_lastBytes < m_firstBytes)
        return -1;
    return double(m_lastBytes - m_firstBytes) * 1000.0 / double(span);
}

qint64 ProgressEstimate::secondsLeft() const
{
    const qint64 span = m_lastMs - m_firstMs;
    const double gained = m_lastFraction - m_firstFraction;
    if (m_firstFraction < 0 || span < kMinSpanMs || gained <= 0)
        return -1;
    const double left = double(span) / gained * (1.0 - m_lastFraction) / 1000.0;
    return qint64(std::ceil(qMax(0.0, left)));
}

QString formatDuration(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

QString formatRate(double bps)
{
    if (bps < 1000)
        return QStringLiteral("%1 B/s").arg(qint64(std::round(qMax(0.0, bps))));
    if (bps < 1e6)
        return QStringLiteral("%1 kB/s").arg(bps / 1e3, 0, 'f', 1);
    if (bps < 1e9)
        return QStringLiteral("%1 MB/s").arg(bps / 1e6, 0, 'f', 1);
    return QStringLiteral("%1 GB/s").arg(bps / 1e9, 0, 'f', 2);
}

QString progressStatus(qint64 elapsedSeconds, double bytesPerSecond, qint64 secondsLeft)
{
    QString s = QStringLiteral("Elapsed ") + formatDuration(elapsedSeconds);
    if (bytesPerSecond >= 0)
        s += QStringLiteral("   ") + formatRate(bytesPerSecond);
    if (secondsLeft >= 0)
        s += QStringLiteral("   ") + formatDuration(secondsLeft) + QStringLiteral(" left");
    return s;
}

} // namespace exec
