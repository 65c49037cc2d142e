#pragma once
#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

// Spindle's own help viewer, for desktops that have no program for the
// pages: the pages with Back, Contents and Close; Escape closes it.
class THelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit THelpWindow(QWidget *parent = nullptr);

    QTextBrowser *Browser;
    QPushButton *BackBT;
    QPushButton *ContentsBT;
    QPushButton *CloseBT;

    // Shows `indexPath` as the contents page.
    void showIndex(const QString &indexPath);

    void BackBTClick();
    void ContentsBTClick();
    void CloseBTClick();

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    QUrl m_index;
};

namespace ui {
// The one help window, created when first needed.
THelpWindow *helpWindow();
} // namespace ui
