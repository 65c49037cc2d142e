#include "support/dialogs.h"

#include <QFileInfo>

#include <utility>

FakeDialogs::~FakeDialogs() { delete helpWindow; }

void FakeDialogs::message(QWidget *, const QString &text, const QString &title, Icon icon)
{
    log << QStringLiteral("message:%1:%2").arg(title, text);
    messageIcons << icon;
    if (onMessage)
        onMessage(text);
}

int FakeDialogs::choose(QWidget *, const QString &text, const QStringList &buttons, int defaultButton,
                        int escapeButton)
{
    log << QStringLiteral("choose:") + text;
    chooseOffers << (QStringList{buttons.value(defaultButton)} + buttons);
    const qsizetype i = chooseAnswers.isEmpty() ? -1 : buttons.indexOf(chooseAnswers.takeFirst());
    return i >= 0 ? int(i) : escapeButton;
}

void FakeDialogs::closeQuestions(QWidget *parent)
{
    if (questionOpen && parent == m_questionParent) {
        questionOpen = false;
        m_closed = true;
        log << QStringLiteral("closed");
    }
}

bool FakeDialogs::canOpenDocument(const QString &path)
{
    return openableSuffixes.contains(QFileInfo(path).suffix());
}

QWidget *FakeDialogs::showHtml(const QString &indexPath)
{
    log << QStringLiteral("html:") + indexPath;
    if (!helpWindow) {
        helpWindow = new QWidget;
        helpWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    return helpWindow;
}

bool FakeDialogs::ask(QWidget *parent, const QString &text, bool yesDefault)
{
    log << QStringLiteral("confirm:") + text;
    confirmYesDefaults << yesDefault;
    const bool answer = confirmAnswers.isEmpty() ? false : confirmAnswers.takeFirst();
    if (!whileQuestionOpen)
        return answer;
    m_questionParent = parent;
    m_closed = false;
    questionOpen = true;
    const auto wait = std::exchange(whileQuestionOpen, nullptr);
    wait();
    questionOpen = false;
    return m_closed ? false : answer;
}

QString FakeDialogs::file(const char *kind, const ui::FileDialogOptions &o)
{
    log << QLatin1String(kind) + o.filter;
    fileOptions << o;
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}
