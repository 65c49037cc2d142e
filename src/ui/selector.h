#pragma once
#include "ui/folder_tree.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

// Picks a folder from a tree rooted at the file system's root, or typed or
// pasted into the path field. OK takes it; Cancel, Escape and the close box
// change nothing.
class TSelectForm : public QDialog
{
    Q_OBJECT
public:
    explicit TSelectForm(QWidget *parent = nullptr);

    ui::FolderTree *ShellTreeView1;
    QLineEdit *PathEdit;
    QPushButton *SelectBt;
    QPushButton *CancelBt;

    void SelectBtClick();
    void CancelBtClick();
    // The folder the dialog would take: the path field when it names an
    // existing folder, else the tree's selection; empty when neither.
    QString selectedPath() const;
    void selectPath(const QString &path);
};

namespace ui {
// Shows the dialog modally, opened at `start` when that is an existing
// folder (else at the home folder). Returns the chosen folder with a
// trailing separator, or an empty string when the dialog was cancelled.
QString pickFolder(TSelectForm *dialog, const QString &start = QString());
} // namespace ui
