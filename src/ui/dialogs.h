#pragma once
#include <QString>
#include <QStringList>

class QWidget;

namespace ui {

// What a file dialog is asked for. `filter` uses the "Text|pattern|Text|
// pattern" form; `filterIndex` counts from 1.
struct FileDialogOptions
{
    QString caption;
    QString filter;
    int filterIndex = 1;
    QString defaultExt;
    QString fileName;
    // The folder the dialog opens in; empty: Spindle's folder.
    QString directory;
    bool overwritePrompt = false;
};

// Every message box, file dialog and desktop hand-off goes through here, so
// tests can answer them and check their texts and order.
class Dialogs
{
public:
    enum class Icon { None, Information, Warning, Error };
    virtual ~Dialogs() = default;
    // A box with an OK button. An empty title means the application's.
    virtual void message(QWidget *parent, const QString &text, const QString &title, Icon icon) = 0;
    // A confirmation with Yes and No, No the default; true for Yes.
    virtual bool confirm(QWidget *parent, const QString &text) = 0;
    // The same with Yes the default (Enter answers Yes).
    virtual bool confirmYesDefault(QWidget *parent, const QString &text) { return confirm(parent, text); }
    // A question answered by one of `buttons` (their captions, with & for
    // the Alt key); Enter gives `defaultButton`, Escape and the close box
    // `escapeButton`. Returns the index of the answer.
    virtual int choose(QWidget *parent, const QString &text, const QStringList &buttons, int defaultButton,
                       int escapeButton) = 0;
    // Closes the confirmations open over `parent` as if answered No: for a
    // question that the event it asks about has made moot.
    virtual void closeQuestions(QWidget *parent) { (void)parent; }
    // The application's standard error box.
    virtual void error(QWidget *parent, const QString &text) = 0;
    // Returns the chosen file's full path, or empty when cancelled.
    virtual QString openFile(QWidget *parent, const FileDialogOptions &o) = 0;
    virtual QString saveFile(QWidget *parent, const FileDialogOptions &o) = 0;
    // Asks the desktop to open a document or address; failures are ignored.
    virtual void openDocument(const QString &target) = 0;
    // Whether the desktop has a program for this file's type.
    virtual bool canOpenDocument(const QString &) { return false; }
    // Shows HTML pages in Spindle's own help window and returns that window
    // (closing it deletes it), or nullptr when there is none.
    virtual QWidget *showHtml(const QString &) { return nullptr; }

    // Shorthands for the two kinds of box the windows use.
    void plain(QWidget *parent, const QString &text) { message(parent, text, QString(), Icon::None); }
    void info(QWidget *parent, const QString &text, const QString &title = QStringLiteral("Information"))
    {
        message(parent, text, title, Icon::Information);
    }
};

// Opens the help: help.chm with the desktop's viewer, else the HTML pages
// with the desktop's browser, else in Spindle's own help window, which is
// then returned (it lives only as long as Spindle does).
QWidget *openHelp();

// The program-wide instance (the Qt implementation unless replaced).
Dialogs &dialogs();
// Replaces it; pass nullptr to go back to the Qt implementation.
void setDialogs(Dialogs *d);

// Turns "Text|*.a;*.b|All|*.*" into Qt's "Text (*.a *.b);;All (*.*)".
QString qtFilter(const QString &filter);

} // namespace ui
