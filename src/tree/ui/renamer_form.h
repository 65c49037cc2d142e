#pragma once
#include "base/debug_log.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace ui {
class FolderTree;
}

// The Case and Attributes window: entries below a chosen folder are listed
// (Step 2), picked into a work list (Step 4) and renamed to upper or lower
// case, or given and relieved of their DOS attributes.
class Trenamer_form : public QDialog
{
    Q_OBJECT
public:
    // Each case change and attribute change goes into the debug log with
    // what it did.
    explicit Trenamer_form(base::DebugLog &log, QWidget *parent = nullptr);

    ui::FolderTree *ShellTreeView1;
    QLineEdit *Edit1;
    QPushButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6, *Button7, *Button8, *Button9,
        *Button10, *Button11;
    QListWidget *ListBox1, *ListBox2;
    QGroupBox *GroupBox1, *GroupBox2, *GroupBox3;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3;
    QCheckBox *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7;
    QCheckBox *CheckBox8, *CheckBox9, *CheckBox10, *CheckBox11;
    QLabel *Label1;

    void ShellTreeView1Change(const QString &path);
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button10Click();
    void Button11Click();
    void CheckBox4Click();
    void CheckBox5Click();
    void CheckBox6Click();
    void CheckBox7Click();
    void CheckBox8Click();
    void CheckBox9Click();
    void CheckBox10Click();
    void CheckBox11Click();

private:
    base::DebugLog &m_log;
    QCheckBox *checkBox(const char *name, const QString &caption, bool checked);
    void changeCase(bool upper);
};
