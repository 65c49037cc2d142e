#include "selector.h"

#include "folder_tree.h"
#include "windows.h"

#include <QPushButton>
#include <QVBoxLayout>

TSelectForm::TSelectForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | base::kToolWindowFlags)
{
    base::setUpWindow(this, "SelectForm", QStringLiteral("Select Folder"));
    ShellTreeView1 = new base::FolderTree(this);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    SelectBt = new QPushButton(QStringLiteral("OK"), this);
    SelectBt->setObjectName(QStringLiteral("SelectBt"));
    connect(SelectBt, &QPushButton::clicked, this, &TSelectForm::SelectBtClick);
    auto *l = new QVBoxLayout(this);
    l->addWidget(ShellTreeView1, 1);
    l->addWidget(SelectBt, 0, Qt::AlignCenter);
    setFixedSize(330, 409);
}

void TSelectForm::SelectBtClick() { accept(); }

QString TSelectForm::selectedPath() const { return ShellTreeView1->selectedPath(); }

void TSelectForm::selectPath(const QString &path) { ShellTreeView1->selectPath(path); }

namespace base {
QString pickFolder(QWidget *)
{
    TSelectForm *f = windows().SelectForm;
    f->exec();
    QString path = f->selectedPath();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}
} // namespace base
