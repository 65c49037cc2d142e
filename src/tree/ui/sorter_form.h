#pragma once
#include "ui/folder_tree.h"
#include "tree/sort_list.h"

#include <QDialog>
#include <QPair>
#include <QTableView>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QListView;
class QPushButton;
class QStringListModel;
class QThread;
class QToolButton;

// The sort list's grid: the list's own keys (Down on the last row and
// Insert add a blank row, Ctrl+Delete deletes, Ctrl+Up/Down go to the ends,
// Escape drops a blank entry) and rows dragged to a new place.
class SortGrid : public QTableView
{
    Q_OBJECT
public:
    explicit SortGrid(QWidget *parent = nullptr) : QTableView(parent) {}
    void setList(tree::SortList *list);

signals:
    // A key was released in the grid.
    void keyUp();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    tree::SortList *m_list = nullptr;
};

// A pair of arrow buttons that raise or lower a value.
class UpDownArrows : public QWidget
{
    Q_OBJECT
public:
    explicit UpDownArrows(QWidget *parent = nullptr);
    QToolButton *up() const { return m_up; }
    QToolButton *down() const { return m_down; }

signals:
    void clicked(bool up);

private:
    QToolButton *m_up, *m_down;
};

// The Layout Sorter window: builds the weighted sort list that orders the
// files inside an image, from folders and files picked in a tree and list.
class Tsorter_form : public QDialog
{
    Q_OBJECT
public:
    explicit Tsorter_form(QWidget *parent = nullptr);
    ~Tsorter_form() override;

    ui::FolderTree *ShellTreeView1;
    QListView *ListBox1;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5;
    QLabel *Label1, *Label2, *Label3, *Label6;
    SortGrid *ValueListEditor1;
    UpDownArrows *UpDown1;
    QComboBox *ComboBox1;
    QPushButton *Button1, *Button2, *Button3, *Button4, *Button6, *Button11, *Button13, *Button14,
        *Button15, *Button16, *Button17;

    tree::SortList *sortList() const { return m_list; }
    QStringListModel *fileList() const { return m_files; }
    // Selects a folder in the tree, as a click would (tests, start folder).
    void selectFolder(const QString &path);
    // The selected tree folder; empty when none.
    QString selectedFolder() const;

    void ShellTreeView1Change();
    void ShellTreeView1Click();
    void ValueListEditor1Click();
    void ValueListEditor1KeyUp();
    void UpDown1Click(bool up);
    void Button6Click();
    void Button1Click();
    void Button4Click();
    void Button17Click();
    void Button2Click();
    void Button14Click();
    void Button3Click();
    void Button15Click();
    void Button16Click();
    void Button13Click();
    void Button11Click();

    // --- Show order -----------------------------------------------------------
    QPushButton *ShowOrderBT;
    void ShowOrderBTClick();
    // The read-only box the last listing went to; null before the first.
    QDialog *orderBox() const { return m_orderBox; }
    QPlainTextEdit *orderText() const { return m_orderText; }

signals:
    // The file list holds the files of the folder last selected.
    void fileListFilled();

private:
    QLineEdit *edit(const char *name);
    QLabel *label(const char *name, const QString &caption);
    void updateNextWeight();
    void readList(bool import);
    void writeList(bool exportRelative);
    void showCurrentRow(int row);

    tree::SortList *m_list;
    QStringListModel *m_files;
    // Folder listings run off the event loop; only the latest one counts.
    quint64 m_listing = 0;
    QList<QThread *> m_listers;
    bool m_syncing = false;
    QDialog *m_orderBox = nullptr;
    QPlainTextEdit *m_orderText = nullptr;
};
