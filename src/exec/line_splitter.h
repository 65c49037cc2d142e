#pragma once
#include <QByteArray>
#include <QByteArrayView>

namespace exec {

enum TOutputType { otEntireLine, otBeginningOfLine };
enum TReturnCode { rcCRLF, rcLF };

// Cuts a child's output bytes into lines. Each fed chunk is one read: a CR LF
// pair inside a chunk ends a line (rcCRLF); any other CR or LF ends a line
// (rcLF); an LF that opens a chunk after a chunk that ended in CR is skipped;
// zero bytes are dropped. After each chunk fed with feed() the unfinished
// text is reported as a beginning; feedLines() leaves that report to the
// caller (reportPending), which may gather several chunks first. finish()
// reports it once more. An unfinished line is never reported as an entire
// line.
class LineSplitter
{
public:
    // sink(QByteArrayView text, TOutputType type). The view is valid only
    // during the call.
    template <class Emit>
    void feed(const char *data, qsizetype n, Emit &&sink)
    {
        if (n <= 0)
            return;
        feedLines(data, n, sink);
        reportPending(sink);
    }

    // Reports the finished lines of one chunk and keeps the rest.
    template <class Emit>
    void feedLines(const char *data, qsizetype n, Emit &&sink);

    template <class Emit>
    void reportPending(Emit &&sink)
    {
        if (!m_pending.isEmpty())
            sink(QByteArrayView(m_pending), otBeginningOfLine);
    }

    template <class Emit>
    void finish(Emit &&sink)
    {
        reportPending(sink);
    }

    TReturnCode outputReturnCode() const { return m_returnCode; }
    const QByteArray &pending() const { return m_pending; }
    // The unfinished line; the runner's input echo continues or replaces it.
    QByteArray &pendingText() { return m_pending; }
    void reset()
    {
        m_pending.clear();
        m_prevEndedWithCR = false;
        m_returnCode = rcCRLF;
    }

private:
    // Index of the first 0, LF or CR at or after `from`, or `n`.
    static qsizetype findSpecial(const char *p, qsizetype from, qsizetype n);

    QByteArray m_pending;
    bool m_prevEndedWithCR = false;
    TReturnCode m_returnCode = rcCRLF;
};

template <class Emit>
void LineSplitter::feedLines(const char *p, qsizetype n, Emit &&sink)
{
    if (n <= 0)
        return;
    qsizetype i = 0;
    if (p[0] == '\n' && m_prevEndedWithCR)
        i = 1;
    // Start of the current line's bytes inside this chunk; text before it
    // that belongs to the line sits in m_pending.
    qsizetype start = i;
    auto endLine = [&](qsizetype end) {
        if (m_pending.isEmpty()) {
            sink(QByteArrayView(p + start, end - start), otEntireLine);
        } else {
            m_pending.append(p + start, end - start);
            sink(QByteArrayView(m_pending), otEntireLine);
            m_pending.clear();
        }
    };
    while (i < n) {
        const qsizetype j = findSpecial(p, i, n);
        if (j >= n)
            break;
        const char c = p[j];
        if (c == 0) {
            // Dropped: keep what came before it and carry on after it.
            m_pending.append(p + start, j - start);
            start = i = j + 1;
            continue;
        }
        const bool crlf = c == '\r' && j + 1 < n && p[j + 1] == '\n';
        m_returnCode = crlf ? rcCRLF : rcLF;
        endLine(j);
        i = j + (crlf ? 2 : 1);
        start = i;
    }
    m_pending.append(p + start, n - start);
    m_prevEndedWithCR = p[n - 1] == '\r';
}

} // namespace exec
