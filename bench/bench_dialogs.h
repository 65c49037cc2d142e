#pragma once
// Dialogs for benchmarks: every box is answered at once, with No (or the
// escape answer).
#include "ui/dialogs.h"

class SilentDialogs : public ui::Dialogs
{
public:
    void message(QWidget *, const QString &, const QString &, Icon) override {}
    bool confirm(QWidget *, const QString &) override { return false; }
    int choose(QWidget *, const QString &, const QStringList &, int, int escapeButton) override { return escapeButton; }
    void error(QWidget *, const QString &) override {}
    QString openFile(QWidget *, const ui::FileDialogOptions &) override { return {}; }
    QString saveFile(QWidget *, const ui::FileDialogOptions &) override { return {}; }
    void openDocument(const QString &) override {}
};
