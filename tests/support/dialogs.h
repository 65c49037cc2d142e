#pragma once
// The dialogs every window goes through, answered by a test.
#include "ui/dialogs.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

// Answers every dialog from queues and records what was asked, in order:
// "message:TITLE:TEXT", "confirm:TEXT", "choose:TEXT", "error:TEXT", "open:FILTER",
// "save:FILTER", "document:TARGET", "html:INDEX".
class FakeDialogs : public ui::Dialogs
{
public:
    QStringList log;
    QList<bool> confirmAnswers;  // default when empty: No
    QList<QString> fileAnswers;  // default when empty: cancelled
    QList<ui::FileDialogOptions> fileOptions;
    QList<Icon> messageIcons; // one per message box, in order
    std::function<void(const QString &)> onMessage;
    // One per confirmation, in order: whether Yes was its default.
    QList<bool> confirmYesDefaults;
    // Runs while a confirmation is open, before it is answered (a user who
    // takes time to answer); closeQuestions during it closes the question.
    std::function<void()> whileQuestionOpen;
    bool questionOpen = false;
    // Answers to choose(), by caption; default when empty: the escape answer.
    QStringList chooseAnswers;
    // One per choose(): its buttons, the default one's caption first.
    QList<QStringList> chooseOffers;
    // File types the fake desktop has a program for.
    QStringList openableSuffixes{QStringLiteral("chm"), QStringLiteral("html")};
    // The help window showHtml opened, while it is open.
    QPointer<QWidget> helpWindow;

    ~FakeDialogs() override;
    void message(QWidget *, const QString &text, const QString &title, Icon icon) override;
    int choose(QWidget *, const QString &text, const QStringList &buttons, int defaultButton,
               int escapeButton) override;
    bool confirm(QWidget *parent, const QString &text) override { return ask(parent, text, false); }
    bool confirmYesDefault(QWidget *parent, const QString &text) override { return ask(parent, text, true); }
    void closeQuestions(QWidget *parent) override;
    void error(QWidget *, const QString &text) override { log << QStringLiteral("error:") + text; }
    QString openFile(QWidget *, const ui::FileDialogOptions &o) override { return file("open:", o); }
    QString saveFile(QWidget *, const ui::FileDialogOptions &o) override { return file("save:", o); }
    void openDocument(const QString &target) override { log << QStringLiteral("document:") + target; }
    bool canOpenDocument(const QString &path) override;
    QWidget *showHtml(const QString &indexPath) override;

private:
    bool ask(QWidget *parent, const QString &text, bool yesDefault);
    QString file(const char *kind, const ui::FileDialogOptions &o);
    QWidget *m_questionParent = nullptr;
    bool m_closed = false;
};
