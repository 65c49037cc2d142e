#include "app/ui/debug_unit.h"

#include "ui/dialogs.h"
#include "ui/memo_lines.h"
#include "platform/platform.h"
#include "base/session.h"

#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScreen>
#include <QVBoxLayout>

TDebug_win::TDebug_win(const base::Session &session, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint),
      m_session(session)
{
    setObjectName(QStringLiteral("Debug_win"));
    setWindowTitle(QStringLiteral("Debug Window"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_lines = new ui::MemoLines(Memo1, [this] { Memo1Change(); });
    m_lines->setParent(this);
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(Memo1);
    dock();
}

void TDebug_win::dock()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect r = screen->availableGeometry();
    setGeometry(r.left(), r.bottom() + 1 - 95, r.width(), 95);
}

void TDebug_win::showEvent(QShowEvent *e)
{
    dock();
    QWidget::showEvent(e);
    FormActivate();
}

void TDebug_win::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
    QWidget::changeEvent(e);
}

void TDebug_win::FormActivate()
{
    if (m_session.Win9xMode) {
        m_debugFile.bind(platform::scratchFolder() + base::kDebugFile);
    }
}

bool TDebug_win::Memo1Change(QString *error)
{
    bool ok = true;
    if (m_session.Win9xMode) {
        // A change before the first activation binds the file at once, so
        // the overflow rule holds for the drive scan's hidden writes too.
        if (!m_debugFile.isBound())
            m_debugFile.bind(platform::scratchFolder() + base::kDebugFile);
        ok = m_lines->spillInto(m_debugFile, error);
    }
    m_lines->pageDown();
    return ok;
}

void TDebug_win::addText(const QString &text)
{
    m_lines->flush(); // lines a runner gathered come first
    // A run of lines that say the same (a build's hundreds of "Using ..."
    // lines) is kept as one line with a count.
    QStringList lines = base::splitTextLines(text);
    if (lines.size() < 3) {
        ui::memo::appendText(Memo1, text);
    } else {
        QString folded = base::foldRepeatedLines(lines).join(QLatin1Char('\n'));
        if (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
            folded += QLatin1Char('\n');
        ui::memo::appendText(Memo1, folded);
    }
    QString error;
    if (!Memo1Change(&error))
        ui::dialogs().error(this, error);
}

void TDebug_win::addEntry(const QString &text)
{
    addText(QStringLiteral("\r\n*****  ") + text + QStringLiteral("\r\n"));
}

void TDebug_win::entry(const QString &text)
{
    if (m_session.DebugMode)
        addEntry(text);
}

void TDebug_win::text(const QString &text)
{
    if (m_session.DebugMode)
        addText(text);
}

void TDebug_win::saveLog()
{
    m_lines->flush();
    const QStringList kept = base::linesWithout(ui::memo::lines(Memo1), QStringLiteral("ddr"));
    Memo1->setPlainText(kept.join(QLatin1Char('\n')));
    ui::FileDialogOptions o;
    o.defaultExt = QStringLiteral("log");
    o.fileName = QStringLiteral("debug");
    o.filter = QStringLiteral("Log File|*.log");
    o.overwritePrompt = true;
    const QString path = ui::dialogs().saveFile(this, o);
    if (path.isEmpty())
        return;
    // The saved log is the whole session: in Win9x mode the text already
    // moved into the scratch file comes first, under the same rule. It is
    // copied a line at a time, so the session's length never sits in memory.
    QFile spilled(m_session.Win9xMode && m_debugFile.isBound() ? m_debugFile.path() : QString());
    if (!spilled.fileName().isEmpty() && spilled.exists() && !spilled.open(QIODevice::ReadOnly)) {
        ui::dialogs().error(this, platform::cannotOpenText(spilled.fileName(), spilled.errorString()));
        return;
    }
    const QByteArray needle = QByteArrayLiteral("ddr");
    qsizetype next = 0;
    const auto piece = [&]() -> QByteArray {
        QByteArray out;
        // A line longer than this is cut into pieces of it; each is one line
        // of the saved log, as the memo would have wrapped it anyway.
        constexpr qint64 kLinePiece = 1 << 20;
        while (spilled.isOpen() && out.size() < kLinePiece) {
            QByteArray line = spilled.readLine(kLinePiece);
            if (line.isEmpty()) {
                spilled.close();
                break;
            }
            if (!line.endsWith('\n'))
                line += '\n';
            if (!line.contains(needle))
                out += line;
        }
        if (!out.isEmpty())
            return out;
        while (next < kept.size() && out.size() < kLinePiece)
            out += kept[next++].toUtf8() + '\n';
        return out;
    };
    QString reason;
    if (!platform::writeFileAtomic(path, std::function<QByteArray()>(piece), &reason))
        ui::dialogs().error(this, platform::cannotCreateText(path, reason));
}
