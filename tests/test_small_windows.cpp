// Select Folder, About, and what every window shares (readable text on any
// desktop).
#define SPINDLE_UI_TESTS
#include "app/ui/about.h"
#include "app/ui/windows.h"
#include "ui/help_window.h"
#include "ui/selector.h"
#include "ui/style.h"
#include "testutil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>

#include <memory>
#include <QAbstractItemView>
#include <QGroupBox>
#include <QToolButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTest>
#include <QTimer>

namespace {
using ui::contrast;

// A desktop under a dark theme, as Fusion gives it: light text on dark
// windows and fields, faint disabled text.
QPalette darkDesktop()
{
    const QColor light(0xF0, 0xF0, 0xF0), dark(0x35, 0x35, 0x35), field(0x23, 0x23, 0x23);
    QPalette p(light, dark, QColor(0x4A, 0x4A, 0x4A), QColor(0x20, 0x20, 0x20), QColor(0x2A, 0x2A, 0x2A), light,
               Qt::white, field, dark);
    p.setColor(QPalette::Button, dark);
    p.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, r, QColor(0x60, 0x60, 0x60));
    return p;
}

// Runs `act` on the Select Folder dialog once it is open.
void whenOpen(const std::function<void(TSelectForm *)> &act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        TSelectForm *f = app::windows().SelectForm;
        if (!f->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(f);
    });
    poll->start(0);
}
} // namespace

class TestSmallWindows : public QObject
{
    Q_OBJECT
    FakeDialogs *m_dialogs = nullptr;
    QTemporaryDir m_tree;

private slots:
    void init()
    {
        m_dialogs = new FakeDialogs;
        createWindowsWith(m_dialogs);
        QDir(m_tree.path()).mkpath(QStringLiteral("a/b"));
    }
    void cleanup() { destroyWindowsOf(m_dialogs); }

    void cancelledSelectFolderChangesNothing_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Escape") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("Cancel") << 2;
    }
    void cancelledSelectFolderChangesNothing()
    {
        QFETCH(int, how);
        const QString b = m_tree.path() + QStringLiteral("/a/b");
        whenOpen([&](TSelectForm *f) {
            f->selectPath(m_tree.path()); // moved, then given up
            if (how == 0)
                QTest::keyClick(f->ShellTreeView1, Qt::Key_Escape);
            else if (how == 1)
                f->close();
            else
                f->CancelBt->click();
        });
        QCOMPARE(ui::pickFolder(app::windows().SelectForm, b), QString());
    }

    void opensAtTheFieldsFolderElseHome()
    {
        const QString b = m_tree.path() + QStringLiteral("/a/b");
        QString seen;
        whenOpen([&](TSelectForm *f) {
            seen = f->selectedPath();
            f->SelectBt->click();
        });
        QCOMPARE(ui::pickFolder(app::windows().SelectForm, b + "/"), b + "/");
        QCOMPARE(seen, b);
        // No folder in the field, or one that is gone, or a relative one: home.
        for (const QString &start : {QString(), m_tree.path() + "/gone/", QStringLiteral("a/b")}) {
            whenOpen([&](TSelectForm *f) {
                seen = f->PathEdit->text();
                f->CancelBt->click();
            });
            QCOMPARE(ui::pickFolder(app::windows().SelectForm, start), QString());
            QCOMPARE(seen, QDir::homePath());
        }
    }

    void typedPathIsTaken()
    {
        const QString a = m_tree.path() + QStringLiteral("/a");
        whenOpen([&](TSelectForm *f) {
            f->PathEdit->setText(m_tree.path() + "/nothing-here");
            f->SelectBt->click(); // not a folder: the dialog stays open
            QVERIFY(f->isVisible());
            f->PathEdit->clear();
            QTest::keyClicks(f->PathEdit, a);
            QTest::keyClick(f->PathEdit, Qt::Key_Return);
        });
        QCOMPARE(ui::pickFolder(app::windows().SelectForm), a + "/");
    }

    // The dialog opens with the focus in the path field: a typed path and
    // Return are taken, not fed to the tree's quick search.
    void typingGoesToThePathField()
    {
        const QString a = m_tree.path() + QStringLiteral("/a");
        whenOpen([&](TSelectForm *f) {
            QWidget *focus = f->focusWidget();
            if (!focus) {
                f->CancelBt->click();
                return;
            }
            QTest::keyClicks(focus, a);
            QTest::keyClick(focus, Qt::Key_Return);
        });
        QCOMPARE(ui::pickFolder(app::windows().SelectForm, m_tree.path() + QStringLiteral("/a/b")), a + "/");
    }

    void aboutSaysWhatAndWhichVersion()
    {
        TAbout_form *a = app::windows().About_form;
        QCOMPARE(a->Label2->text(), QStringLiteral(SPINDLE_HOMEPAGE));
        QVERIFY(a->Label3->text().startsWith(QStringLiteral("Spindle " SPINDLE_VERSION ": ")));
        QVERIFY(a->Memo1->toPlainText().startsWith(QStringLiteral("Spindle " SPINDLE_VERSION "\n")));
        a->Label2Click();
        QCOMPARE(m_dialogs->log, QStringList{QStringLiteral("document:" SPINDLE_HOMEPAGE)});
        // The programs behind the links, told by their own version texts.
        a->show();
        QTRY_VERIFY(a->lbTools->text().contains(QStringLiteral("mkisofs: genisoimage (genisoimage ")));
        a->close();
    }

    // Every text reads (4.5:1) on what it is drawn on, on and off, whatever
    // the desktop's colours; an off push button in a sky-blue window has a
    // face of its own.
    void textIsReadableOnAnyDesktop_data()
    {
        QTest::addColumn<QPalette>("desktop");
        const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        QTest::newRow("light") << fusion->standardPalette();
        QTest::newRow("dark") << darkDesktop();
    }
    void textIsReadableOnAnyDesktop()
    {
        QFETCH(QPalette, desktop);
        const QPalette saved = QApplication::palette();
        app::destroyWindows();
        QApplication::setPalette(desktop);
        app::createWindows();
        // What each kind of control draws its text on.
        const auto roles = [](QWidget *c) -> std::pair<QPalette::ColorRole, QPalette::ColorRole> {
            if (qobject_cast<QPushButton *>(c) || qobject_cast<QComboBox *>(c))
                return {QPalette::ButtonText, QPalette::Button};
            if (qobject_cast<QToolButton *>(c))
                return {QPalette::ButtonText, QPalette::Window};
            if (qobject_cast<QLineEdit *>(c) || qobject_cast<QAbstractSpinBox *>(c)
                || qobject_cast<QAbstractItemView *>(c) || qobject_cast<QPlainTextEdit *>(c))
                return {QPalette::Text, QPalette::Base};
            if (qobject_cast<QAbstractButton *>(c) || qobject_cast<QLabel *>(c) || qobject_cast<QGroupBox *>(c))
                return {QPalette::WindowText, QPalette::Window};
            return {QPalette::NoRole, QPalette::NoRole};
        };
        int checked = 0;
        QStringList poor;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            for (QWidget *c : top->findChildren<QWidget *>()) {
                const auto [fg, bg] = roles(c);
                if (fg == QPalette::NoRole)
                    continue;
                const QPalette p = c->palette();
                for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Disabled}) {
                    const double ratio = contrast(p.color(g, fg), p.color(g, bg));
                    if (ratio < 4.5)
                        poor << QStringLiteral("%1 in %2 (%3): %4:1")
                                    .arg(c->objectName(), top->objectName(),
                                         g == QPalette::Active ? QStringLiteral("on") : QStringLiteral("off"))
                                    .arg(ratio, 0, 'f', 2);
                }
                // An off button in a sky-blue window: another face.
                if (qobject_cast<QPushButton *>(c) && top->autoFillBackground()
                    && contrast(p.color(QPalette::Active, QPalette::Button), p.color(QPalette::Disabled, QPalette::Button)) < 1.1)
                    poor << QStringLiteral("%1 in %2: off face as on").arg(c->objectName(), top->objectName());
                ++checked;
            }
        }
        QApplication::setPalette(saved);
        QVERIFY2(poor.isEmpty(), qPrintable(poor.join(QStringLiteral(", "))));
        QVERIFY(checked > 100);
    }

    void everyControlHasATooltip()
    {
        QStringList bare;
        for (QWidget *top : QApplication::topLevelWidgets())
            for (QWidget *c : top->findChildren<QWidget *>()) {
                const bool control = qobject_cast<QAbstractButton *>(c) || qobject_cast<QLineEdit *>(c)
                                     || qobject_cast<QAbstractSpinBox *>(c) || qobject_cast<QComboBox *>(c);
                // Parts of composite controls (a spin box's own field) carry no name.
                if (control && !c->objectName().isEmpty() && !c->objectName().startsWith(QLatin1String("qt_"))
                    && c->toolTip().isEmpty())
                    bare << QStringLiteral("%1.%2 [%3] \"%4\"")
                                .arg(top->objectName(), c->objectName(), QString::fromLatin1(c->metaObject()->className()),
                                     qobject_cast<QAbstractButton *>(c) ? qobject_cast<QAbstractButton *>(c)->text() : QString());
            }
        for (const QString &b : bare)
            qWarning("no tooltip: %s", qPrintable(b));
        QVERIFY(bare.isEmpty());
    }

    // Each window opens at its usual size, can be resized, and gives the
    // room to the field that holds the most text.
    void windowsResizeAndFieldsGrow_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QSize>("size");
        QTest::newRow("Make ISO") << "Mkisofs_form" << "Edit7" << QSize(809, 553);
        QTest::newRow("console") << "console" << "Memo1" << QSize(665, 360);
        QTest::newRow("CD Operations") << "CD_Operations" << "ComboBox1" << QSize(458, 314);
        QTest::newRow("Other tools") << "other_form" << "Memo1" << QSize(570, 369);
        QTest::newRow("Layout Sorter") << "sorter_form" << "ValueListEditor1" << QSize(928, 697);
        QTest::newRow("Case and Attributes") << "renamer_form" << "ListBox1" << QSize(1010, 522);
        QTest::newRow("Comments") << "Comments_form" << "Memo1" << QSize(594, 338);
        QTest::newRow("Select Folder") << "SelectForm" << "ShellTreeView1" << QSize(330, 409);
        QTest::newRow("About") << "About_form" << "Memo1" << QSize(802, 555);
    }
    void windowsResizeAndFieldsGrow()
    {
        QFETCH(QString, window);
        QFETCH(QString, field);
        QFETCH(QSize, size);
        QWidget *w = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == window)
                w = top;
        QVERIFY(w);
        QWidget *f = w->findChild<QWidget *>(field);
        QVERIFY2(f, qPrintable(field));
        w->setAttribute(Qt::WA_DontShowOnScreen);
        w->show();
        QVERIFY(w->isVisible());
        QCOMPARE(w->size(), size);
        QVERIFY(w->minimumSize() != w->maximumSize());
        // Other tools has no title-bar buttons at all: it closes only by its Close.
        if (window != QLatin1String("other_form"))
            QVERIFY(w->windowFlags() & Qt::WindowMaximizeButtonHint);
        const QSize before = f->size();
        w->resize(size * 3 / 2);
        QCoreApplication::processEvents();
        QTRY_VERIFY(f->width() > before.width());
        w->hide();
    }

    // Alt+letter reaches each window's main buttons, and no letter is given
    // twice in one window.
    void mainButtonsHaveKeys()
    {
        const QStringList mainButtons{
            QStringLiteral("Integrator.SpeedButton5"), QStringLiteral("Mkisofs_form.MkBatBT"),
            QStringLiteral("Mkisofs_form.RunBatBT"),  QStringLiteral("CD_Operations.btBurn"),
            QStringLiteral("other_form.btISO"),       QStringLiteral("sorter_form.Button3"),
            QStringLiteral("renamer_form.Button5"),   QStringLiteral("console.StopBT"),
            QStringLiteral("SelectForm.SelectBt"),    QStringLiteral("About_form.Button1")};
        QStringList found;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            QHash<QChar, QString> taken;
            for (QAbstractButton *b : top->findChildren<QAbstractButton *>()) {
                const QString t = b->text();
                const int amp = t.indexOf(QLatin1Char('&'));
                if (amp < 0 || amp + 1 >= t.size())
                    continue;
                const QChar key = t.at(amp + 1).toLower();
                QVERIFY2(!taken.contains(key), qPrintable(QStringLiteral("%1: %2 and %3 share Alt+%4")
                                                              .arg(top->objectName(), taken.value(key), b->objectName(), key)));
                taken.insert(key, b->objectName());
                found << top->objectName() + QLatin1Char('.') + b->objectName();
            }
        }
        for (const QString &m : mainButtons)
            QVERIFY2(found.contains(m), qPrintable(m));
    }

    void helpWindowGoesBackAndToContents()
    {
        QTemporaryDir pages;
        QVERIFY(writeAll(pages.filePath("index.html"),
                         "<html><body><h1>Contents</h1><a href=\"two.html\">two</a></body></html>"));
        QVERIFY(writeAll(pages.filePath("two.html"),
                         "<html><body><h1>Two</h1><a href=\"three.html\">three</a></body></html>"));
        QVERIFY(writeAll(pages.filePath("three.html"), "<html><body><h1>Three</h1></body></html>"));
        QPointer<THelpWindow> h = ui::helpWindow();
        h->setAttribute(Qt::WA_DontShowOnScreen);
        h->showIndex(pages.filePath("index.html"));
        QVERIFY(h->isVisible());
        QVERIFY(!h->BackBT->isEnabled());
        auto page = [h] { return h->Browser->source().fileName(); };
        h->Browser->setSource(QUrl(QStringLiteral("two.html")));
        h->Browser->setSource(QUrl(QStringLiteral("three.html")));
        QCOMPARE(page(), QStringLiteral("three.html"));
        QVERIFY(h->BackBT->isEnabled());
        h->BackBT->click();
        QCOMPARE(page(), QStringLiteral("two.html"));
        h->ContentsBT->click();
        QCOMPARE(page(), QStringLiteral("index.html"));
        QVERIFY(h->Browser->toPlainText().contains(QStringLiteral("Contents")));
        QTest::keyClick(h->Browser, Qt::Key_Escape);
        QTRY_VERIFY(!h); // closed, and gone
    }
};

QTEST_MAIN(TestSmallWindows)
#include "test_small_windows.moc"
