#pragma once
#include "iso/iso_options.h"

#include "ui/dialogs.h"

#include <QDialog>
#include <QHash>

class QCheckBox;
class TComments_form;
class TSelectForm;
class Tconsole;
namespace base {
class DebugLog;
}
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// The Make ISO window: the option set for an image, its command line in
// build.bat, and templates. The options live in an IsoOptions model; the
// controls show it and pass the user's changes to it.
class TMkisofs_form : public QDialog
{
    Q_OBJECT
public:
    // The windows it uses.
    struct Uses
    {
        Tconsole *console;
        TComments_form *comments;
        TSelectForm *selectFolder;
        base::DebugLog *log;
        // Modeless windows whose return of the focus runs the activation steps.
        QList<QWidget *> modeless;
    };
    explicit TMkisofs_form(const Uses &uses, QWidget *parent = nullptr);
    ~TMkisofs_form() override;

    iso::IsoOptions &options() { return m_options; }

    QGroupBox *GroupFS, *GroupOptions, *HideGroup, *FolderBox, *GroupBoot, *GroupInfo;
    QCheckBox *CheckBox1, *CheckBox3, *CheckBox7, *CheckBox6, *CheckBox4, *CheckBox5, *CheckBox20;
    QSpinBox *SpinEdit1;
    QCheckBox *CheckBox8, *CheckBox9, *CheckBox26, *CheckBox12, *CheckBox21, *CheckBox22, *CheckBox24,
        *CheckBox25, *CheckBox16;
    QLineEdit *Edit14;
    QCheckBox *CheckBox14, *CheckBox15;
    QCheckBox *CheckBox2, *OtherParam, *CheckBox23;
    QLineEdit *Edit17, *Edit6, *Edit16;
    QPushButton *Button5;
    QLineEdit *Edit7, *Edit8, *Edit13, *Edit9, *Edit12;
    QPushButton *Button1, *Button2, *Button3, *Button4;
    QCheckBox *CheckBoot, *NoEmulBox, *CheckBox17, *CheckBox18, *CheckBox19;
    QLineEdit *Edit5, *Edit10, *Edit11;
    QPushButton *BTopenBimg;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit15;
    QPushButton *ClearBT, *OpenTemplate, *SaveTemplate, *Button6, *MkBatBT, *RunBatBT, *Quit;

    // Activation steps: on showing, and when the focus comes back from a
    // modeless window of the program.
    void FormActivate();
    // The activation rule for a change of active window.
    void activatedFrom(QWidget *previousWindow);

    void CheckBootClick();
    void CheckBox18Click();
    void CheckBox19Click();
    void CheckBox16Click();
    void OtherParamClick();
    void CheckBox23Click();
    void CheckBox2Click();
    void CheckBox5Click();
    void CheckBox20Click();
    void CheckBox6Click();
    void CheckBox7Click();
    void Edit5Change();
    void Edit7Change();
    void Edit8Change();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void BTopenBimgClick();
    void Button6Click();
    void ClearBTClick();
    void QuitClick();
    void OpenTemplateClick();
    void SaveTemplateClick();
    void MkBatBTClick();
    void RunBatBTClick();

    // Check: the report of the current options, shown in a panel the user
    // can read and copy. Run Batch checks first when the options changed
    // since the last Check.
    QPushButton *CheckBT = nullptr;
    void CheckBTClick();
    QDialog *CheckPanel = nullptr;
    QPlainTextEdit *CheckMemo = nullptr;

protected:
    void showEvent(QShowEvent *e) override;

private:
    QCheckBox *check(const char *name, const QString &caption, const char *key);
    QLineEdit *edit(const char *name, const char *key);
    QPushButton *button(const char *name, const QString &caption);
    void pickFolderInto(const QString &key);
    void bindHandler(QCheckBox *box, void (TMkisofs_form::*handler)());
    void showValue(const QString &key);
    void showEnabled(const QString &key, bool on);
    void setCheckFromBox(QCheckBox *box);
    void setTextFromEdit(QLineEdit *edit);
    void buildLayout();
    // The Comments memo is the comments option; take its current text.
    void pullComments();

    Uses m_uses;
    iso::IsoOptions m_options;
    QHash<QString, QCheckBox *> m_checks;
    QHash<QString, QLineEdit *> m_edits;
    QHash<QObject *, QString> m_keyOf;
    bool m_runBatchLocked = false;
    // Where the file dialogs open: Spindle's folder, or the batch folder
    // after Make Batch or Run Batch.
    QString m_dialogFolder;
    ui::FileDialogOptions dialogOptions() const;
    // Returns whether the check found a problem that makes the image unusable.
    bool runCheckAndShow();
    static constexpr quint64 kNeverChecked = ~quint64(0);
    quint64 m_optionsRevision = 0, m_checkedRevision = kNeverChecked;
};
