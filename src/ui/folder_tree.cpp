#include "ui/folder_tree.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>

namespace ui {

namespace {
// No shell icons: the tree shows names only.
class NoIcons : public QAbstractFileIconProvider
{
public:
    QIcon icon(IconType) const override { return {}; }
    QIcon icon(const QFileInfo &) const override { return {}; }
};
} // namespace

FolderTree::FolderTree(QWidget *parent)
    : QTreeView(parent)
{
    setHeaderHidden(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QTreeView::customContextMenuRequested, this, [this](const QPoint &p) {
        const QModelIndex i = indexAt(p);
        if (i.isValid())
            setCurrentIndex(i);
    });
}

void FolderTree::ensureModel()
{
    if (m_model)
        return;
    m_model = new QFileSystemModel(this);
    static NoIcons noIcons;
    m_model->setIconProvider(&noIcons);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::Drives);
    m_model->setRootPath(QDir::rootPath());
    setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        hideColumn(c);
    expand(m_model->index(QDir::rootPath()));
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &i) { emit pathChanged(m_model->filePath(i)); });
    for (auto signal : {&QFileSystemModel::rowsRemoved, &QFileSystemModel::rowsInserted})
        connect(m_model, signal, this, &FolderTree::keepFollowed, Qt::QueuedConnection);
    connect(m_model, &QFileSystemModel::layoutChanged, this, &FolderTree::keepFollowed, Qt::QueuedConnection);
}

void FolderTree::followRenamed(const QString &path)
{
    selectPath(path);
    m_followed = path;
}

void FolderTree::keepFollowed()
{
    if (m_followed.isEmpty() || selectedPath() == m_followed)
        return;
    const QModelIndex i = m_model->index(m_followed);
    if (i.isValid() && m_model->filePath(i) == m_followed) {
        setCurrentIndex(i);
        scrollTo(i);
    }
}

void FolderTree::mousePressEvent(QMouseEvent *e)
{
    m_followed.clear(); // the user picks now
    QTreeView::mousePressEvent(e);
}

void FolderTree::keyPressEvent(QKeyEvent *e)
{
    m_followed.clear();
    QTreeView::keyPressEvent(e);
}

void FolderTree::showEvent(QShowEvent *e)
{
    ensureModel();
    QTreeView::showEvent(e);
}

QString FolderTree::selectedPath() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() && m_model ? m_model->filePath(i) : QString();
}

void FolderTree::selectPath(const QString &path)
{
    ensureModel();
    m_followed.clear();
    const QModelIndex i = m_model->index(path);
    setCurrentIndex(i);
    scrollTo(i);
}

} // namespace ui
