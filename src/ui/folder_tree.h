#pragma once
#include <QTreeView>

class QFileSystemModel;

namespace ui {

// The folder tree of the tool windows: every folder from the root down,
// hidden ones included, no files, no icons; a right click selects too, and
// the tree follows changes on disk.
class FolderTree : public QTreeView
{
    Q_OBJECT
public:
    explicit FolderTree(QWidget *parent = nullptr);

    // The selected folder's path; empty when nothing is selected.
    QString selectedPath() const;
    void selectPath(const QString &path);

signals:
    // The selection moved to another folder.
    void pathChanged(const QString &path);

protected:
    void showEvent(QShowEvent *e) override;

private:
    // Built at first showing: watching the file system costs start-up time.
    void ensureModel();
    QFileSystemModel *m_model = nullptr;
};

} // namespace ui
