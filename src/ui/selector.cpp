#include "ui/selector.h"

#include "ui/folder_tree.h"
#include "ui/style.h"

#include "platform/attributes.h"
#include "platform/files.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
bool isFolder(const QString &path) { return platform::isFolder(path); }
} // namespace

TSelectForm::TSelectForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | ui::kToolWindowFlags)
{
    ui::setUpWindow(this, "SelectForm", QStringLiteral("Select Folder"));
    ShellTreeView1 = new ui::FolderTree(this);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    PathEdit = new QLineEdit(this);
    PathEdit->setObjectName(QStringLiteral("PathEdit"));
    PathEdit->setToolTip(QStringLiteral("The folder to take: pick it in the tree, or type or paste its path"));
    SelectBt = ui::button(this, "SelectBt", QStringLiteral("&OK"), QStringLiteral("Take this folder"));
    SelectBt->setDefault(true);
    CancelBt = ui::button(this, "CancelBt", QStringLiteral("&Cancel"),
                            QStringLiteral("Close without changing the field"));
    connect(SelectBt, &QPushButton::clicked, this, &TSelectForm::SelectBtClick);
    connect(CancelBt, &QPushButton::clicked, this, &TSelectForm::CancelBtClick);
    connect(ShellTreeView1, &ui::FolderTree::pathChanged, PathEdit,
            [this](const QString &p) { PathEdit->setText(platform::pathFromQt(p)); });
    connect(PathEdit, &QLineEdit::returnPressed, this, &TSelectForm::SelectBtClick);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SelectBt);
    buttons->addWidget(CancelBt);
    auto *l = new QVBoxLayout(this);
    l->addWidget(ShellTreeView1, 1);
    l->addWidget(PathEdit);
    l->addLayout(buttons);
    resize(330, 409);
}

void TSelectForm::SelectBtClick()
{
    // A typed path that names no folder is not taken: the field shows it
    // until it is corrected or the dialog is cancelled.
    if (selectedPath().isEmpty()) {
        PathEdit->setFocus();
        PathEdit->selectAll();
        return;
    }
    accept();
}

void TSelectForm::CancelBtClick() { reject(); }

QString TSelectForm::selectedPath() const
{
    // The blanks of a name are its own; a pasted path's stray ones are not.
    QString typed = PathEdit->text();
    if (!isFolder(typed))
        typed = typed.trimmed();
    if (!typed.isEmpty())
        return isFolder(typed) && QDir::isAbsolutePath(typed) ? QDir::cleanPath(typed) : QString();
    return platform::pathFromQt(ShellTreeView1->selectedPath());
}

void TSelectForm::selectPath(const QString &path)
{
    ShellTreeView1->selectPath(path);
    PathEdit->setText(path);
}

namespace ui {
QString pickFolder(TSelectForm *f, const QString &start)
{
    f->selectPath(isFolder(start) && QDir::isAbsolutePath(start) ? QDir::cleanPath(start) : QDir::homePath());
    // Typing goes to the path field, not to the tree's quick search; Return
    // there takes the typed path.
    f->PathEdit->setFocus();
    f->PathEdit->selectAll();
    if (f->exec() != QDialog::Accepted)
        return QString();
    QString path = f->selectedPath();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}
} // namespace ui
