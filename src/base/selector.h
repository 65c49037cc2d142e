#pragma once
#include <QDialog>

class QFileSystemModel;
class QPushButton;
class QTreeView;

// Picks a folder from a tree rooted at the file system's root. There is no
// cancel: the folder selected when the dialog closes is taken.
class TSelectForm : public QDialog
{
    Q_OBJECT
public:
    explicit TSelectForm(QWidget *parent = nullptr);

    QTreeView *ShellTreeView1;
    QPushButton *SelectBt;

    void SelectBtClick();
    // The selected folder's path; empty when nothing is selected.
    QString selectedPath() const;
    void selectPath(const QString &path);

protected:
    void showEvent(QShowEvent *e) override;

private:
    // Built at first showing: watching the file system costs start-up time.
    void ensureModel();
    QFileSystemModel *m_model = nullptr;
};

namespace base {
// Shows the dialog modally and returns its selection with a trailing
// separator (a lone separator when nothing was selected).
QString pickFolder(QWidget *parent);
} // namespace base
