#pragma once
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QToolButton;
namespace app {
struct Windows;
}

// The main window: a launcher with one button per tool window.
class TIntegrator : public QWidget
{
    Q_OBJECT
public:
    // The main window shows the program's other windows and sets its session.
    explicit TIntegrator(app::Windows &windows, QWidget *parent = nullptr);

    QToolButton *SpeedButton1; // Case and Attributes
    QToolButton *SpeedButton3; // Layout Sorter
    QToolButton *SpeedButton5; // Make ISO
    QToolButton *SpeedButton6; // CD operations
    QToolButton *SpeedButton2; // Other
    QToolButton *SpeedButton4; // Help
    QToolButton *SpeedButton8; // About
    QToolButton *SpeedButton7; // Exit
    QLabel *Label1;
    QCheckBox *cbDebug;

    // The program's arguments without its name; defaults to the real ones.
    void setArguments(const QStringList &args) { m_args = args; }

    // Start-up sequence; runs once, at the first activation (once the
    // window has been drawn). It makes the other windows first.
    void FormActivate();
    // The start-up message for missing tool files: which, and where they
    // were looked for.
    static QString missingToolsText(const QStringList &files);
    void cbDebugClick();
    // Exit sequence; never refuses.
    bool FormCloseQuery();

    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void SpeedButton8Click();

signals:
    // After the exit sequence: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    bool createScratchFiles();
    app::Windows &m_windows;
    QStringList m_args;
    bool m_started = false;
};
