#pragma once
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TAbout_form : public QDialog
{
    Q_OBJECT
public:
    explicit TAbout_form(QWidget *parent = nullptr);
    static QString homePage();
    static QString credits();
    // What Spindle is, with its version.
    static QString description();

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QPlainTextEdit *Memo1;
    QPushButton *Button1;
    // The programs behind the tool links, as each names itself.
    QLabel *lbTools;

    void Label2Click();
    void Button1Click();

protected:
    bool eventFilter(QObject *o, QEvent *e) override;
    void showEvent(QShowEvent *e) override;
};
