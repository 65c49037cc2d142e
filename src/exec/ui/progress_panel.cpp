#include "exec/ui/progress_panel.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace exec {

ProgressPanel::ProgressPanel(QWidget *parent)
    : QWidget(parent), bar(new QProgressBar(this)), status(new QLabel(this))
{
    setObjectName(QStringLiteral("ProgressPanel"));
    bar->setObjectName(QStringLiteral("ProgressBar1"));
    status->setObjectName(QStringLiteral("StatusLabel"));
    bar->setRange(0, 100);
    bar->setValue(0);
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(2);
    l->addWidget(bar);
    l->addWidget(status);
    m_ticker.setInterval(1000);
    connect(&m_ticker, &QTimer::timeout, this, &ProgressPanel::showStatus);
}

void ProgressPanel::start(qint64 totalBytes)
{
    const int before = percent();
    m_parser.reset();
    m_parser.setTotalBytes(totalBytes);
    m_estimate.reset();
    m_clock.start();
    m_running = true;
    bar->setRange(0, 0); // busy until the tool tells how far it is
    m_ticker.start();
    showStatus();
    if (before != -1)
        emit percentChanged(-1);
}

void ProgressPanel::feed(const QString &text, bool entireLine)
{
    if (!m_running)
        return;
    const int before = m_parser.percent();
    if (!m_parser.feed(text, entireLine))
        return;
    m_estimate.sample(m_clock.elapsed(), m_parser.fraction(), m_parser.bytesDone());
    const int now = m_parser.percent();
    if (now == before)
        return;
    if (now < 0) {
        bar->setRange(0, 0);
    } else {
        bar->setRange(0, 100);
        bar->setValue(now);
    }
    showStatus();
    emit percentChanged(now);
}

void ProgressPanel::finish(bool success)
{
    if (!m_running)
        return;
    m_running = false;
    m_ticker.stop();
    const int p = m_parser.percent();
    bar->setRange(0, 100);
    bar->setValue(success ? 100 : qMax(0, p));
    showStatus();
}

void ProgressPanel::showStatus()
{
    const qint64 elapsed = m_clock.isValid() ? m_clock.elapsed() / 1000 : 0;
    status->setText(progressStatus(elapsed, m_estimate.bytesPerSecond(),
                                   m_running ? m_estimate.secondsLeft() : -1));
}

} // namespace exec
