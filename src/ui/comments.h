#pragma once
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// Free-text notes that travel with an image template. Shown without being
// modal; closing only hides it, so the text stays.
class TComments_form : public QDialog
{
    Q_OBJECT
public:
    explicit TComments_form(QWidget *parent = nullptr);
    QPlainTextEdit *Memo1;
    QPushButton *CloseBt;
    void CloseBtClick();
};
