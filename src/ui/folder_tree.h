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
    // Selects `path`, a folder that has just been renamed to it, and keeps
    // it selected while the tree catches up with the rename (dropping the
    // old name moves the selection elsewhere) until the user picks another.
    void followRenamed(const QString &path);

signals:
    // The selection moved to another folder.
    void pathChanged(const QString &path);

protected:
    void showEvent(QShowEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    // Built at first showing: watching the file system costs start-up time.
    void ensureModel();
    // Selects the followed folder again when the model's changes moved the
    // selection away from it.
    void keepFollowed();
    QFileSystemModel *m_model = nullptr;
    QString m_followed;
};

} // namespace ui
