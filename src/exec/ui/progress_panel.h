#pragma once
#include "exec/progress.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace exec {

// A progress bar and, under it, the elapsed time, the rate and the time
// left of a tool run, read from the tool's own output lines. Without a
// known total the bar is a busy indicator. It adds to the memo that shows
// the output; it takes nothing from it.
class ProgressPanel : public QWidget
{
    Q_OBJECT
public:
    explicit ProgressPanel(QWidget *parent = nullptr);

    QProgressBar *bar;
    QLabel *status;

    // A new run starts: clears the bar and starts the clock. `totalBytes`
    // is what dd copies, when the caller knows it.
    void start(qint64 totalBytes = 0);
    // One output text as the runner delivers it.
    void feed(const QString &text, bool entireLine);
    // The run has ended; a successful run fills the bar.
    void finish(bool success);

    bool isRunning() const { return m_running; }
    // Whole percentage, or -1 while none is known.
    int percent() const { return m_parser.percent(); }

signals:
    void percentChanged(int percent);

private:
    void showStatus();
    ProgressParser m_parser;
    ProgressEstimate m_estimate;
    QElapsedTimer m_clock;
    QTimer m_ticker;
    bool m_running = false;
};

} // namespace exec
