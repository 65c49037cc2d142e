#pragma once
#include "folder_tree.h"

#include <QDialog>

class QPushButton;


// Picks a folder from a tree rooted at the file system's root. There is no
// cancel: the folder selected when the dialog closes is taken.
class TSelectForm : public QDialog
{
    Q_OBJECT
public:
    explicit TSelectForm(QWidget *parent = nullptr);

    base::FolderTree *ShellTreeView1;
    QPushButton *SelectBt;

    void SelectBtClick();
    // The selected folder's path; empty when nothing is selected.
    QString selectedPath() const;
    void selectPath(const QString &path);
};

namespace base {
// Shows the dialog modally and returns its selection with a trailing
// separator (a lone separator when nothing was selected).
QString pickFolder(QWidget *parent);
} // namespace base
