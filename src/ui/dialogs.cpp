#include "ui/dialogs.h"

#include "platform/attributes.h"

#include "ui/help_window.h"

#include "base/help.h"
#include "platform/platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

namespace ui {

namespace {

class QtDialogs : public Dialogs
{
public:
    void message(QWidget *parent, const QString &text, const QString &title, Icon icon) override
    {
        QMessageBox box(icon == Icon::Information ? QMessageBox::Information
                        : icon == Icon::Warning   ? QMessageBox::Warning
                        : icon == Icon::Error     ? QMessageBox::Critical
                                                  : QMessageBox::NoIcon,
                        title.isEmpty() ? QApplication::applicationName() : title, text,
                        QMessageBox::Ok, parent);
        box.exec();
    }
    bool confirm(QWidget *parent, const QString &text) override { return ask(parent, text, QMessageBox::No); }
    bool confirmYesDefault(QWidget *parent, const QString &text) override
    {
        return ask(parent, text, QMessageBox::Yes);
    }
    int choose(QWidget *parent, const QString &text, const QStringList &buttons, int defaultButton,
               int escapeButton) override
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton, parent);
        QList<QAbstractButton *> made;
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            // The escape answer closes; the others accept.
            made << box.addButton(buttons[i], i == escapeButton ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        }
        if (defaultButton >= 0 && defaultButton < made.size())
            box.setDefaultButton(qobject_cast<QPushButton *>(made[defaultButton]));
        if (escapeButton >= 0 && escapeButton < made.size())
            box.setEscapeButton(made[escapeButton]);
        m_questions.append(&box);
        box.exec();
        m_questions.removeAll(QPointer<QMessageBox>(&box));
        m_questions.removeAll(QPointer<QMessageBox>());
        const qsizetype answer = made.indexOf(box.clickedButton());
        return answer >= 0 ? int(answer) : escapeButton;
    }
    void closeQuestions(QWidget *parent) override
    {
        for (const QPointer<QMessageBox> &box : std::as_const(m_questions))
            if (box && box->parentWidget() == parent)
                box->done(QMessageBox::No);
    }
    void error(QWidget *parent, const QString &text) override
    {
        message(parent, text, QApplication::applicationName(), Icon::Error);
    }
    QString openFile(QWidget *parent, const FileDialogOptions &o) override
    {
        return run(parent, o, QFileDialog::AcceptOpen);
    }
    QString saveFile(QWidget *parent, const FileDialogOptions &o) override
    {
        return run(parent, o, QFileDialog::AcceptSave);
    }
    void openDocument(const QString &target) override
    {
        const QUrl url = target.contains(QLatin1String("://"))
                             ? QUrl(target)
                             : QUrl::fromLocalFile(platform::absolutePath(target, platform::startDirectory()));
        QDesktopServices::openUrl(url);
    }
    bool canOpenDocument(const QString &path) override { return platform::hasDesktopHandler(path); }
    QWidget *showHtml(const QString &indexPath) override
    {
        THelpWindow *h = helpWindow();
        h->showIndex(indexPath);
        return h;
    }

private:
    bool ask(QWidget *parent, const QString &text, QMessageBox::StandardButton byDefault)
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
                        parent);
        box.setDefaultButton(byDefault);
        box.setEscapeButton(QMessageBox::No);
        m_questions.append(&box);
        const int answer = box.exec();
        m_questions.removeAll(QPointer<QMessageBox>(&box));
        m_questions.removeAll(QPointer<QMessageBox>());
        return answer == QMessageBox::Yes;
    }
    QList<QPointer<QMessageBox>> m_questions;

    static QString run(QWidget *parent, const FileDialogOptions &o, QFileDialog::AcceptMode mode)
    {
        QFileDialog d(parent, o.caption);
        d.setAcceptMode(mode);
        d.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                      : QFileDialog::AnyFile);
        const QStringList filters = qtFilter(o.filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
        d.setNameFilters(filters);
        if (o.filterIndex >= 1 && o.filterIndex <= filters.size())
            d.selectNameFilter(filters.at(o.filterIndex - 1));
        d.setDefaultSuffix(o.defaultExt);
        d.setDirectory(o.directory.isEmpty() ? platform::spindleFolder() : o.directory);
        if (!o.overwritePrompt)
            d.setOption(QFileDialog::DontConfirmOverwrite);
        if (!o.fileName.isEmpty())
            d.selectFile(o.fileName);
        if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
            return QString();
        // The dialog decodes a name that is not UTF-8 lossily: its bytes back.
        return platform::pathFromQt(QFileInfo(d.selectedFiles().first()).absoluteFilePath());
    }
};

QtDialogs g_qt;
Dialogs *g_current = nullptr;

} // namespace

Dialogs &dialogs() { return g_current ? *g_current : g_qt; }

QWidget *openHelp()
{
    Dialogs &d = dialogs();
    const base::HelpFiles h = base::findHelp();
    if (!h.chm.isEmpty() && d.canOpenDocument(h.chm)) {
        d.openDocument(h.chm);
        return nullptr;
    }
    if (!h.html.isEmpty()) {
        if (d.canOpenDocument(h.html)) {
            d.openDocument(h.html);
            return nullptr;
        }
        return d.showHtml(h.html);
    }
    // Neither found: the desktop says what it can about the file named.
    d.openDocument(h.chm.isEmpty() ? platform::spindleFolder() + QStringLiteral("help.chm") : h.chm);
    return nullptr;
}
void setDialogs(Dialogs *d) { g_current = d; }

QString qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString text = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(text, patterns);
    }
    return out.join(QStringLiteral(";;"));
}

} // namespace ui
