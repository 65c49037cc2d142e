#include "ui/comments.h"

#include "ui/style.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TComments_form::TComments_form(QWidget *parent)
    : QDialog(parent, Qt::Dialog | ui::kToolWindowFlags)
{
    ui::setUpWindow(this, "Comments_form", QStringLiteral("Comments"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    CloseBt = new QPushButton(QStringLiteral("Close"), this);
    CloseBt->setObjectName(QStringLiteral("CloseBt"));
    connect(CloseBt, &QPushButton::clicked, this, &TComments_form::CloseBtClick);
    auto *l = new QVBoxLayout(this);
    l->addWidget(Memo1, 1);
    l->addWidget(CloseBt, 0, Qt::AlignCenter);
    resize(594, 338);
}

void TComments_form::CloseBtClick() { close(); }
