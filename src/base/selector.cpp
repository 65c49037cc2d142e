#include "selector.h"

#include "windows.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

TSelectForm::TSelectForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | base::kToolWindowFlags)
{
    base::setUpWindow(this, "SelectForm", QStringLiteral("Select Folder"));
    ShellTreeView1 = new QTreeView(this);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    ShellTreeView1->setHeaderHidden(true);
    // A right click selects too.
    ShellTreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ShellTreeView1, &QTreeView::customContextMenuRequested, this, [this](const QPoint &p) {
        const QModelIndex i = ShellTreeView1->indexAt(p);
        if (i.isValid())
            ShellTreeView1->setCurrentIndex(i);
    });
    SelectBt = new QPushButton(QStringLiteral("OK"), this);
    SelectBt->setObjectName(QStringLiteral("SelectBt"));
    connect(SelectBt, &QPushButton::clicked, this, &TSelectForm::SelectBtClick);
    auto *l = new QVBoxLayout(this);
    l->addWidget(ShellTreeView1, 1);
    l->addWidget(SelectBt, 0, Qt::AlignCenter);
    setFixedSize(330, 409);
}

void TSelectForm::ensureModel()
{
    if (m_model)
        return;
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::Drives);
    m_model->setRootPath(QDir::rootPath());
    ShellTreeView1->setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        ShellTreeView1->hideColumn(c);
    ShellTreeView1->expand(m_model->index(QDir::rootPath()));
}

void TSelectForm::showEvent(QShowEvent *e)
{
    ensureModel();
    QDialog::showEvent(e);
}

void TSelectForm::SelectBtClick() { accept(); }

QString TSelectForm::selectedPath() const
{
    const QModelIndex i = ShellTreeView1->currentIndex();
    return i.isValid() && m_model ? m_model->filePath(i) : QString();
}

void TSelectForm::selectPath(const QString &path)
{
    ensureModel();
    const QModelIndex i = m_model->index(path);
    ShellTreeView1->setCurrentIndex(i);
    ShellTreeView1->scrollTo(i);
}

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
