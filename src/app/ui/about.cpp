#include "app/ui/about.h"

#include "ui/dialogs.h"
#include "base/session.h"
#include "app/ui/windows.h"
#include "ui/style.h"
#include "exec/tool_identity.h"

#include <QEvent>
#include <QTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

QString TAbout_form::homePage() { return base::kHomePage; }

QString TAbout_form::description()
{
    return QStringLiteral("Spindle " SPINDLE_VERSION ": turns check boxes, fields and lists into exact command "
                          "lines for the console CD mastering tools, runs them and shows their output, "
                          "so every image and disc can be made again the same way.");
}

QString TAbout_form::credits()
{
    return QStringLiteral(
        "Spindle " SPINDLE_VERSION "\n"
        "\n"
        "\n"
        "\n"
        "This application is GUI for:\n"
        "- mkisofs, cdrecord and readcd: the cdrtools family of CD mastering tools "
        "(on Linux: genisoimage, wodim and readom of the cdrkit project, as Debian ships them)\n"
        "- bbie: Spindle's own El Torito boot image extractor\n"
        "- dd: the disk copier of the GNU core utilities\n"
        "- additional stuff from me.\n"
        "\n"
        "Dedicated to everyone who masters discs by hand and wants to keep the exact command line.\n"
        "\n"
        "Thanks to:\n"
        "- the authors and Debian maintainers of the CD recording tools,\n"
        "- the Qt project,\n"
        "- the users who reported what their drives print.\n");
}

TAbout_form::TAbout_form(QWidget *parent)
    : QDialog(parent, Qt::Dialog | ui::kToolWindowFlags)
{
    ui::setUpWindow(this, "About_form", QStringLiteral("About"));
    Label1 = new QLabel(QStringLiteral("Spindle v2"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    QFont f = Label1->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() * 2);
    Label1->setFont(f);
    Label3 = new QLabel(description(), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignCenter);
    Label3->setWordWrap(true);
    Label2 = new QLabel(homePage(), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setStyleSheet(QStringLiteral("color: blue;"));
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->installEventFilter(this);
    lbTools = new QLabel(this);
    lbTools->setObjectName(QStringLiteral("lbTools"));
    lbTools->setAlignment(Qt::AlignCenter);
    lbTools->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Memo1 = new QPlainTextEdit(credits(), this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Button1 = ui::button(this, "Button1", QStringLiteral("&Close"));
    connect(Button1, &QPushButton::clicked, this, &TAbout_form::Button1Click);

    auto *l = new QVBoxLayout(this);
    l->addWidget(Label1);
    l->addWidget(Label3);
    l->addWidget(Label2);
    l->addWidget(lbTools);
    l->addWidget(Memo1, 1);
    l->addWidget(Button1, 0, Qt::AlignCenter);
    Label2->setToolTip(QStringLiteral("Opens the project's web page"));
    resize(802, 555);
}

bool TAbout_form::eventFilter(QObject *o, QEvent *e)
{
    if (o == Label2 && e->type() == QEvent::MouseButtonRelease) {
        Label2Click();
        return true;
    }
    return QDialog::eventFilter(o, e);
}

void TAbout_form::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    // Asked after the box is drawn: each tool's version query may take a
    // moment the first time (later ones come from the cache).
    QTimer::singleShot(0, this, [this] {
        lbTools->setText(QStringLiteral("The tools behind Spindle's links:\n")
                         + exec::toolReport().join(QLatin1Char('\n')));
    });
}

void TAbout_form::Label2Click() { ui::dialogs().openDocument(Label2->text()); }

void TAbout_form::Button1Click() { close(); }
