// The Case and Attributes window on a real temporary tree.
#define SPINDLE_UI_TESTS
#include "app/integrator.h"
#include "app/windows.h"
#include "base/folder_tree.h"
#include "base/windows.h"
#include "platform/file_calls.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tree/renamer_form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cerrno>

namespace {
QStringList texts(const QListWidget *l)
{
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        out << l->item(i)->text();
    return out;
}

QList<int> selectedRows(const QListWidget *l)
{
    QList<int> rows;
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->isSelected())
            rows << i;
    return rows;
}

void selectRows(QListWidget *l, const QList<int> &rows)
{
    l->clearSelection();
    for (int r : rows)
        l->item(r)->setSelected(true);
}

class NoXattrCalls : public platform::FileCalls
{
public:
    int getDosAttrib(const char *, QByteArray *) override { return ENOTSUP; }
    int setDosAttrib(const char *, const QByteArray &) override { return ENOTSUP; }
};
} // namespace

class TestRenamer : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_tmp = nullptr;
    FakeDialogs *m_dialogs = nullptr;
    Trenamer_form *f = nullptr;
    QString m_root;

    QString p(const QString &rel) const { return m_root + QLatin1Char('/') + rel; }
    void choose(const QString &folder)
    {
        f->ShellTreeView1->selectPath(folder);
        QCOMPARE(f->ShellTreeView1->selectedPath(), folder);
    }

private slots:
    void init()
    {
        m_tmp = new QTemporaryDir;
        QVERIFY(m_tmp->isValid());
        m_root = m_tmp->filePath(QStringLiteral("Cd"));
        QVERIFY(QDir().mkpath(p(QStringLiteral("Sub/Deep"))));
        for (const char *name : {"Cd/README", "Cd/readme", "Cd/.hidden", "Cd/Sub/One.TXT", "Cd/Sub/Deep/Two"})
            QVERIFY(writeAll(m_tmp->filePath(QString::fromLatin1(name)), name));
        m_dialogs = new FakeDialogs;
        base::setDialogs(m_dialogs);
        app::createWindows();
        f = base::windows().renamer_form;
    }
    void cleanup()
    {
        platform::setFileCalls(nullptr);
        app::destroyWindows();
        base::setDialogs(nullptr);
        delete m_dialogs;
        delete m_tmp;
    }

    void controls()
    {
        QCOMPARE(f->windowTitle(), QStringLiteral("Case and Attributes"));
        QCOMPARE(f->objectName(), QStringLiteral("renamer_form"));
        QCOMPARE(f->size(), QSize(1010, 522));
        const QList<std::pair<QPushButton *, const char *>> buttons{
            {f->Button1, ">>"},           {f->Button2, ">>"},          {f->Button3, "To Lowercase"},
            {f->Button4, "To Uppercase"}, {f->Button5, "Change Attrib."}, {f->Button6, "Clear"},
            {f->Button7, "Clear Selected"}, {f->Button8, "Clear"},      {f->Button9, "Clear Selected"},
            {f->Button10, "Select All"},  {f->Button11, "Close"}};
        for (const auto &[b, caption] : buttons) {
            QCOMPARE(b->text().remove(QLatin1Char('&')), QString::fromLatin1(caption));
            QCOMPARE(f->findChild<QPushButton *>(b->objectName()), b);
        }
        const QList<std::tuple<QCheckBox *, const char *, bool>> boxes{
            {f->CheckBox1, "include selected folder", true}, {f->CheckBox3, "include subfolders", false},
            {f->CheckBox2, "include files", true},            {f->CheckBox4, "Read only", false},
            {f->CheckBox5, "Archive", false},                 {f->CheckBox6, "Hidden", false},
            {f->CheckBox7, "System", false},                  {f->CheckBox8, "Read only", false},
            {f->CheckBox9, "Archive", false},                 {f->CheckBox10, "Hidden", false},
            {f->CheckBox11, "System", false}};
        for (const auto &[box, caption, checked] : boxes) {
            QCOMPARE(box->text(), QString::fromLatin1(caption));
            QCOMPARE(box->isChecked(), checked);
        }
        QCOMPARE(f->CheckBox1->parentWidget()->objectName(), f->GroupBox1->objectName());
        QCOMPARE(f->GroupBox1->title(), QStringLiteral("Include"));
        QCOMPARE(f->GroupBox2->title(), QStringLiteral("Set Attributes"));
        QCOMPARE(f->CheckBox7->parentWidget(), f->GroupBox2);
        QCOMPARE(f->GroupBox3->title(), QStringLiteral("Remove Attr."));
        QCOMPARE(f->CheckBox11->parentWidget(), f->GroupBox3);
        QCOMPARE(f->Label1->text(),
                 QStringLiteral("Attention: if you have folder opened in other application, it can't be renamed"));
        QVERIFY(f->Label1->font().bold());
        QVERIFY(f->Label1->wordWrap());
        QCOMPARE(f->Label1->palette().color(QPalette::WindowText), QColor(160, 0, 0));
        QVERIFY(!f->Edit1->isEnabled());
        QCOMPARE(f->ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(f->ListBox2->selectionMode(), QAbstractItemView::ExtendedSelection);
    }

    // The main window's button shows the window modally; closing keeps the lists.
    void mainButtonOpensTheWindow()
    {
        TIntegrator *main = base::windows().Integrator;
        QVERIFY(main->SpeedButton1->isEnabled());
        f->ListBox1->addItem(QStringLiteral("kept"));
        f->CheckBox6->click();
        bool wasModal = false;
        QTimer::singleShot(0, f, [&] {
            wasModal = f->isVisible() && f->isModal();
            f->Button11->click();
        });
        main->SpeedButton1->click();
        QVERIFY(wasModal);
        QVERIFY(!f->isVisible());
        QCOMPARE(texts(f->ListBox1), QStringList{"kept"});
        QVERIFY(f->CheckBox6->isChecked());
    }

    void treeSelectionFillsEdit1()
    {
        choose(p("Sub"));
        QCOMPARE(f->Edit1->text(), p("Sub"));
        choose(m_root);
        QCOMPARE(f->Edit1->text(), m_root);
    }

    // Step 2 adds to the candidates; pressed twice, twice.
    void stepTwoAccumulates()
    {
        f->Button1Click(); // no folder chosen: nothing
        QCOMPARE(f->ListBox1->count(), 0);
        choose(m_root);
        f->Button1->click();
        const QStringList once = texts(f->ListBox1);
        QCOMPARE(once.first(), m_root);
        QCOMPARE(QSet<QString>(once.begin() + 1, once.end()),
                 (QSet<QString>{p("README"), p("readme"), p(".hidden")}));
        f->Button1->click();
        QCOMPARE(texts(f->ListBox1), once + once);
        // Only "include subfolders": no subfolders, only entries whose word is zero.
        f->Button8->click();
        f->CheckBox1->setChecked(false);
        f->CheckBox2->setChecked(false);
        f->CheckBox3->setChecked(true);
        f->Button1->click();
        const QStringList zero = texts(f->ListBox1);
        QCOMPARE(QSet<QString>(zero.begin(), zero.end()), (QSet<QString>{p("README"), p("readme")}));
    }

    void listButtons()
    {
        f->ListBox1->addItems({"a", "b", "c", "d"});
        selectRows(f->ListBox1, {3, 1});
        f->Button2->click();
        QCOMPARE(texts(f->ListBox2), (QStringList{"b", "d"}));
        QCOMPARE(selectedRows(f->ListBox1), (QList<int>{1, 3}));
        f->Button2->click();
        QCOMPARE(texts(f->ListBox2), (QStringList{"b", "d", "b", "d"}));
        selectRows(f->ListBox2, {0, 3});
        f->Button7->click();
        QCOMPARE(texts(f->ListBox2), (QStringList{"d", "b"}));
        f->Button9->click();
        QCOMPARE(texts(f->ListBox1), (QStringList{"a", "c"}));
        f->Button10->click();
        QCOMPARE(selectedRows(f->ListBox1), (QList<int>{0, 1}));
        f->Button6->click();
        QCOMPARE(f->ListBox2->count(), 0);
        QCOMPARE(f->ListBox1->count(), 2);
        f->Button8->click();
        QCOMPARE(f->ListBox1->count(), 0);
    }

    void partnerBoxes()
    {
        const QList<std::pair<QCheckBox *, QCheckBox *>> pairs{{f->CheckBox4, f->CheckBox8},
                                                               {f->CheckBox5, f->CheckBox9},
                                                               {f->CheckBox6, f->CheckBox10},
                                                               {f->CheckBox7, f->CheckBox11}};
        for (const auto &[set, remove] : pairs) {
            set->click();
            QVERIFY(set->isChecked() && !remove->isChecked());
            remove->click();
            QVERIFY(!set->isChecked() && remove->isChecked());
            set->click();
            QVERIFY(set->isChecked() && !remove->isChecked());
            set->click(); // unchecking changes nothing else
            QVERIFY(!set->isChecked() && !remove->isChecked());
            remove->click();
            remove->click();
            QVERIFY(!set->isChecked() && !remove->isChecked());
        }
        // The other attributes are untouched by a pair's clicks.
        f->CheckBox4->click();
        f->CheckBox9->click();
        QVERIFY(f->CheckBox4->isChecked() && f->CheckBox9->isChecked());
    }

    // The whole road: Step 2 with all boxes, Select All, Step 4, To Uppercase;
    // the collision is reported and both lists show the paths as they now are.
    void renameThroughTheWindow()
    {
        choose(m_root);
        f->CheckBox3->setChecked(true);
        f->Button1->click();
        f->Button10->click();
        f->Button2->click();
        QCOMPARE(f->ListBox2->count(), 8);
        selectRows(f->ListBox2, {1});
        f->Button4->click();
        const QString upper = m_tmp->filePath(QStringLiteral("CD"));
        QCOMPARE(m_dialogs->log,
                 QStringList{QStringLiteral("message:Information:folder not renamed\n%1/readme: \"README\" already exists")
                                 .arg(upper)});
        QVERIFY(QFileInfo::exists(upper + QStringLiteral("/SUB/DEEP/TWO")));
        QVERIFY(QFileInfo::exists(upper + QStringLiteral("/SUB/ONE.TXT")));
        QCOMPARE(readAll(upper + QStringLiteral("/README")), QByteArray("Cd/README"));
        QCOMPARE(readAll(upper + QStringLiteral("/readme")), QByteArray("Cd/readme"));
        const QStringList work = texts(f->ListBox2);
        QCOMPARE(work.first(), upper);
        QVERIFY(work.contains(upper + QStringLiteral("/SUB/DEEP/TWO")));
        QVERIFY(work.contains(upper + QStringLiteral("/.HIDDEN")));
        QCOMPARE(texts(f->ListBox1), work);
        QCOMPARE(selectedRows(f->ListBox2), QList<int>{1});
        // Lower case, then again: the second press finds nothing to do.
        m_dialogs->log.clear();
        QVERIFY(QFile::remove(upper + QStringLiteral("/readme")));
        f->Button3->click();
        QVERIFY(m_dialogs->log.isEmpty());
        QVERIFY(QFileInfo::exists(m_tmp->filePath(QStringLiteral("cd/sub/deep/two"))));
        QCOMPARE(readAll(m_tmp->filePath(QStringLiteral("cd/readme"))), QByteArray("Cd/README"));
        const QStringList lower = texts(f->ListBox2);
        QCOMPARE(lower.count(m_tmp->filePath(QStringLiteral("cd/readme"))), 2);
        f->Button3->click();
        QCOMPARE(texts(f->ListBox2), lower);
        QCOMPARE(texts(f->ListBox1), lower);
        QVERIFY(m_dialogs->log.isEmpty());
    }

    void changeAttribThroughTheWindow()
    {
        f->ListBox2->addItems({p("Sub"), p("README"), p("gone")});
        f->CheckBox5->click();
        f->CheckBox7->click();
        f->CheckBox10->click();
        f->Button5->click();
        quint16 w = 0;
        QVERIFY(platform::readAttributes(p("Sub"), &w, nullptr));
        QCOMPARE(w, quint16(platform::kDirectory | platform::kArchive | platform::kSystem));
        QVERIFY(platform::readAttributes(p("Sub/One.TXT"), &w, nullptr));
        QCOMPARE(w, quint16(0));
        QCOMPARE(m_dialogs->log, QStringList{QStringLiteral("message:Information:The attributes of these entries were "
                                                            "not changed:\n%1: %2")
                                                 .arg(p("gone"), QString::fromLocal8Bit(std::strerror(ENOENT)))});
        // Without user extended attributes: one box for every entry not changed.
        m_dialogs->log.clear();
        NoXattrCalls calls;
        platform::setFileCalls(&calls);
        f->ListBox2->clear();
        f->ListBox2->addItems({p("README"), p("readme")});
        f->CheckBox6->click();
        f->Button5->click();
        platform::setFileCalls(nullptr);
        QCOMPARE(m_dialogs->log.size(), 1);
        QCOMPARE(m_dialogs->log[0].count(QStringLiteral("no extended attributes")), 2);
        QVERIFY(m_dialogs->log[0].contains(p("readme") + QStringLiteral(": ")));
    }
};

QTEST_MAIN(TestRenamer)
#include "test_renamer.moc"
