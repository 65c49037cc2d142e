#pragma once
#include <QString>
#include <QStringView>

namespace exec {

// Reads how far a tool has got from its own output, one text at a time, as
// the runner delivers it. It knows the progress lines of the image builder
// (" 12.34% done, ...", from xorrisofs "xorriso : UPDATE :  54.08% done"),
// the disc writer ("Track 01:   12 of  700 MB written ..."), the disc reader ("end: N", then "addr: N cnt: M") and dd
// with status=progress ("N bytes (...) copied, T s, R MB/s"). Any other text
// leaves the state alone, so every line can be fed.
class ProgressParser
{
public:
    // What dd copies, when the caller knows it: dd reports bytes only.
    void setTotalBytes(qint64 bytes) { m_totalBytes = bytes; }
    qint64 totalBytes() const { return m_totalBytes; }
    // Forgets what was read (the caller's total stays).
    void reset();

    // One output text; `complete` is false for the unfinished text of a line
    // (a read that ended mid-line). True when the text was a progress line.
    bool feed(QStringView text, bool complete);

    // Whole percentage 0 to 100, or -1 while no total is known.
    int percent() const;
    // 0.0 to 1.0, or -1 while no total is known.
    double fraction() const { return m_fraction; }
    // Bytes done so far when the tool says so, else -1.
    qint64 bytesDone() const { return m_bytes; }
    // True once any progress line was seen.
    bool active() const { return m_active; }

private:
    bool image(QStringView t);
    bool track(QStringView t);
    bool reader(QStringView t, bool complete);
    bool copied(QStringView t);
    void set(double fraction, qint64 bytes);

    qint64 m_totalBytes = 0;
    qint64 m_readerEnd = 0; // sectors, from "end:"
    double m_fraction = -1;
    qint64 m_bytes = -1;
    bool m_active = false;
};

// How fast a run goes, from timed progress samples: the rate and the time
// left are averages since the first sample, which smooths the bursts of a
// writer's buffer.
class ProgressEstimate
{
public:
    void reset() { *this = ProgressEstimate(); }
    // A sample at `ms` (any monotonic clock); fraction or bytes may be -1.
    void sample(qint64 ms, double fraction, qint64 bytes);
    // Bytes a second, or -1 when unknown.
    double bytesPerSecond() const;
    // Whole seconds left, or -1 when unknown.
    qint64 secondsLeft() const;

private:
    qint64 m_firstMs = -1, m_lastMs = -1;
    double m_firstFraction = -1, m_lastFraction = -1;
    qint64 m_firstBytes = -1, m_lastBytes = -1;
};

// "0:07", "12:34", "1:02:03".
QString formatDuration(qint64 seconds);
// "512 B/s", "1.5 kB/s", "12.3 MB/s" (decimal units, as dd prints them).
QString formatRate(double bytesPerSecond);
// The line under a progress bar: "Elapsed 0:42   12.3 MB/s   1:05 left",
// leaving out what is unknown (negative).
QString progressStatus(qint64 elapsedSeconds, double bytesPerSecond, qint64 secondsLeft);

} // namespace exec
