// The Case and Attributes window on a real temporary tree.
#define SPINDLE_UI_TESTS
#include "app/ui/debug_unit.h"
#include "app/ui/integrator.h"
#include "app/ui/windows.h"
#include "ui/folder_tree.h"
#include "ui/style.h"
#include "platform/file_calls.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tree/ui/renamer_form.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QFileSystemModel>
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
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

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
    int getDosAttrib(int, QByteArray *) override { return ENOTSUP; }
    int getDosAttribAt(int, const char *, QByteArray *) override { return ENOTSUP; }
    int setDosAttrib(int, const QByteArray &) override { return ENOTSUP; }
};

// Mode, extended attribute (or link target) and names of an entry, never
// following it.
QByteArray snapshot(const QString &path)
{
    const QByteArray b = platform::encodePath(path);
    struct stat st;
    if (::lstat(b.constData(), &st) != 0)
        return "missing";
    QByteArray s = QByteArray::number(st.st_mode, 8) + ' ';
    char buf[4096];
    if (S_ISLNK(st.st_mode)) {
        const ssize_t n = ::readlink(b.constData(), buf, sizeof buf);
        return s + QByteArray(buf, n < 0 ? 0 : n);
    }
    const ssize_t n = ::getxattr(b.constData(), "user.DOSATTRIB", buf, sizeof buf);
    s += n < 0 ? QByteArray("-") : QByteArray(buf, n);
    if (S_ISDIR(st.st_mode))
        s += ' ' + QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)
                       .join('/')
                       .toUtf8();
    return s;
}
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
        ui::setDialogs(m_dialogs);
        app::createWindows();
        f = app::windows().renamer_form;
    }
    void cleanup()
    {
        platform::setFileCalls(nullptr);
        app::destroyWindows();
        ui::setDialogs(nullptr);
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
        // The warning holds only where an open folder blocks a rename.
        QCOMPARE(f->Label1->isHidden(), !platform::openFoldersBlockRenames());
#ifndef Q_OS_WIN
        QVERIFY(f->Label1->isHidden());
#endif
        QVERIFY(!f->Edit1->isEnabled());
        QCOMPARE(f->ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(f->ListBox2->selectionMode(), QAbstractItemView::ExtendedSelection);
    }

    // The main window's button shows the window modally; closing keeps the lists.
    void mainButtonOpensTheWindow()
    {
        TIntegrator *main = app::windows().Integrator;
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
                 (QStringList{QStringLiteral("message:Information:file not renamed\n%1/readme: \"README\" already exists")
                                  .arg(upper),
                              QStringLiteral("message:Information:6 renamed, 1 not renamed, 1 already in upper case")}));
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
        QCOMPARE(m_dialogs->log,
                 QStringList{QStringLiteral("message:Information:7 renamed, 0 not renamed, 1 already in lower case")});
        m_dialogs->log.clear();
        QVERIFY(QFileInfo::exists(m_tmp->filePath(QStringLiteral("cd/sub/deep/two"))));
        QCOMPARE(readAll(m_tmp->filePath(QStringLiteral("cd/readme"))), QByteArray("Cd/README"));
        const QStringList lower = texts(f->ListBox2);
        QCOMPARE(lower.count(m_tmp->filePath(QStringLiteral("cd/readme"))), 2);
        f->Button3->click();
        QCOMPARE(texts(f->ListBox2), lower);
        QCOMPARE(texts(f->ListBox1), lower);
        QCOMPARE(m_dialogs->log,
                 QStringList{QStringLiteral("message:Information:0 renamed, 0 not renamed, 8 already in lower case")});
        // An empty work list does nothing and says nothing.
        m_dialogs->log.clear();
        f->Button6->click();
        f->Button4->click();
        QVERIFY(m_dialogs->log.isEmpty());
    }

    // After To Uppercase renames the chosen folder itself, the tree and the
    // field under it stay on that folder, also once the tree has seen the
    // old name go.
    void renamedChosenFolderStaysChosen()
    {
        f->setAttribute(Qt::WA_DontShowOnScreen);
        f->show();
        choose(p(QStringLiteral("Sub")));
        f->Button1->click();
        f->Button10->click();
        f->Button2->click();
        auto *model = qobject_cast<QFileSystemModel *>(f->ShellTreeView1->model());
        QVERIFY(model);
        const QModelIndex cd = model->index(m_root);
        const auto listed = [&](const QString &name) {
            for (int r = 0; r < model->rowCount(cd); ++r)
                if (model->index(r, 0, cd).data().toString() == name)
                    return true;
            return false;
        };
        QTRY_VERIFY(listed(QStringLiteral("Sub")));
        f->Button4->click();
        QVERIFY(QFileInfo::exists(p(QStringLiteral("SUB/ONE.TXT"))));
        QTRY_VERIFY_WITH_TIMEOUT(!listed(QStringLiteral("Sub")), 20000);
        QTRY_COMPARE(f->ShellTreeView1->selectedPath(), p(QStringLiteral("SUB")));
        QCOMPARE(f->Edit1->text(), p(QStringLiteral("SUB")));
        f->hide();
    }

    // Change Attrib. ends with a summary; with the default "include selected
    // folder" and Read only it names what it made read-only. The debug log
    // keeps what was done.
    void changeAttribSaysWhatItDid()
    {
        app::windows().session.DebugMode = true;
        choose(p(QStringLiteral("Sub")));
        f->Button1->click();
        f->Button10->click();
        f->Button2->click();
        const struct
        {
            QCheckBox *box;
            QString text;
        } presses[] = {
            {f->CheckBox4, QStringLiteral("2 changed, 0 not changed\n\nNow read-only (nothing can be added to, renamed in "
                                          "or removed from the folders):\n%1/\n%2")
                               .arg(p(QStringLiteral("Sub")), p(QStringLiteral("Sub/One.TXT")))},
            {f->CheckBox8, QStringLiteral("2 changed, 0 not changed")}};
        for (const auto &press : presses) {
            press.box->click();
            m_dialogs->log.clear();
            f->Button5->click();
            QCOMPARE(m_dialogs->log, QStringList{QStringLiteral("message:Information:") + press.text});
        }
        const QString log = app::windows().Debug_win->Memo1->toPlainText();
        QVERIFY2(log.contains(QStringLiteral("*****  Case and Attributes: Change Attrib. on 2 entries, set Read only, "
                                             "remove nothing\n2 changed, 0 not changed\n")),
                 qPrintable(log));
        QVERIFY(log.contains(QStringLiteral("set nothing, remove Read only\n2 changed, 0 not changed")));
    }

    // Per-entry boxes as they happen, then the summary naming the changes
    // that cannot be undone.
    void lossyRenamesAreNamed()
    {
        QVERIFY(writeAll(p(QStringLiteral("straße.txt")), "s"));
        QVERIFY(QDir().mkdir(p(QStringLiteral("Maß"))));
        QVERIFY(QDir().mkdir(p(QStringLiteral("Sub/DEEP"))));
        f->ListBox2->addItems({p(QStringLiteral("straße.txt")), p(QStringLiteral("Sub/Deep")), p(QStringLiteral("Maß")),
                               p(QStringLiteral("gone.txt")), p(QStringLiteral("README"))});
        f->Button4->click();
        QCOMPARE(m_dialogs->log,
                 (QStringList{
                     QStringLiteral("message:Information:folder not renamed\n%1: \"DEEP\" already exists")
                         .arg(p(QStringLiteral("Sub/Deep"))),
                     QStringLiteral("message:Information:file not renamed\n%1: %2")
                         .arg(p(QStringLiteral("gone.txt")), QString::fromLocal8Bit(std::strerror(ENOENT))),
                     QStringLiteral("message:Information:2 renamed, 2 not renamed, 1 already in upper case\n\n"
                                    "These changes cannot be undone by changing the case back, as their letters or "
                                    "length changed:\n%1 \u2192 STRASSE.TXT\n%2 \u2192 MASS")
                         .arg(p(QStringLiteral("straße.txt")), p(QStringLiteral("Maß")))}));
        QVERIFY(QFileInfo::exists(p(QStringLiteral("STRASSE.TXT"))));
        QCOMPARE(texts(f->ListBox2).first(), p(QStringLiteral("STRASSE.TXT")));
    }

    // Step 2 with every box on a tree with links out of it: no attribute
    // and no name outside changes, and the box names each link.
    void linksOutOfTheTree()
    {
        const QString outside = m_tmp->filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/dir")));
        QVERIFY(writeAll(outside + QStringLiteral("/victim"), "v"));
        QVERIFY(writeAll(outside + QStringLiteral("/ro"), "r"));
        QVERIFY(::chmod(platform::encodePath(outside + QStringLiteral("/ro")).constData(), 0444) == 0);
        const QStringList links{p(QStringLiteral("link_to_file")), p(QStringLiteral("Sub/link_to_dir")),
                                p(QStringLiteral("link_to_ro"))};
        QVERIFY(::symlink("../outside/victim", platform::encodePath(links[0]).constData()) == 0);
        QVERIFY(::symlink("../../outside/dir", platform::encodePath(links[1]).constData()) == 0);
        QVERIFY(::symlink("../outside/ro", platform::encodePath(links[2]).constData()) == 0);
        const auto outsideNow = [&] {
            QByteArrayList s;
            for (const char *rel : {"", "/victim", "/dir", "/ro"})
                s << snapshot(outside + QLatin1String(rel));
            for (const QString &l : links)
                s << snapshot(l);
            return s;
        };
        const QByteArrayList before = outsideNow();
        choose(m_root);
        f->CheckBox3->setChecked(true);
        f->Button1->click();
        f->Button10->click();
        f->Button2->click();
        QCOMPARE(f->ListBox2->count(), 11);
        const QStringList work = texts(f->ListBox2);
        QStringList inOrder;
        for (const QString &w : work)
            if (links.contains(w))
                inOrder << w;
        QCOMPARE(inOrder.size(), 3);
        // The box names each link; clearing Hidden also names the dot name.
        const auto expected = [&](bool clearsHidden) {
            QString text = QStringLiteral("The attributes of these entries were not changed:");
            for (const QString &w : work) {
                if (links.contains(w))
                    text += QStringLiteral("\n%1: symbolic link, not changed").arg(w);
                else if (clearsHidden && w.endsWith(QStringLiteral("/.hidden")))
                    text += QStringLiteral("\n%1: the name begins with \".\", so it always reads as hidden").arg(w);
            }
            return text;
        };
        const QList<std::pair<QCheckBox *, QCheckBox *>> boxes{{f->CheckBox4, f->CheckBox8},
                                                               {f->CheckBox6, f->CheckBox10},
                                                               {f->CheckBox7, f->CheckBox11},
                                                               {f->CheckBox5, f->CheckBox9}};
        for (const auto &[set, clear] : boxes) {
            for (QCheckBox *box : {set, clear}) {
                box->click();
                m_dialogs->log.clear();
                f->Button5->click();
                QCOMPARE(m_dialogs->log.size(), 1);
                const int failed = box == f->CheckBox10 ? 4 : 3;
                QVERIFY2(m_dialogs->log[0].startsWith(QStringLiteral("message:Information:%1 changed, %2 not changed\n\n")
                                                          .arg(work.size() - failed)
                                                          .arg(failed)),
                         qPrintable(m_dialogs->log[0]));
                QVERIFY(m_dialogs->log[0].endsWith(expected(box == f->CheckBox10)));
                QCOMPARE(outsideNow(), before);
                box->click();
            }
        }
        quint16 w = 0;
        QVERIFY(platform::readAttributes(p(QStringLiteral("Sub/One.TXT")), &w, nullptr));
        QCOMPARE(w, quint16(0));
        // The case change renames the links themselves.
        m_dialogs->log.clear();
        f->Button4->click();
        QVERIFY(QFileInfo(m_tmp->filePath(QStringLiteral("CD/LINK_TO_FILE"))).isSymLink());
        QVERIFY(QFileInfo(m_tmp->filePath(QStringLiteral("CD/SUB/LINK_TO_DIR"))).isSymLink());
        QCOMPARE(snapshot(outside), before[0]);
        QCOMPARE(snapshot(outside + QStringLiteral("/ro")), before[3]);
        QCOMPARE(QDir(outside + QStringLiteral("/dir")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    // A folder swapped for a link after Step 2, below the chosen folder or
    // the chosen folder itself: nothing below it changes, nothing outside.
    void folderSwappedAfterStepTwo()
    {
        const QString outside = m_tmp->filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/Deep")));
        QVERIFY(writeAll(outside + QStringLiteral("/One.TXT"), "o"));
        QVERIFY(writeAll(outside + QStringLiteral("/README"), "r"));
        const auto outsideNow = [&] {
            return snapshot(outside) + snapshot(outside + QStringLiteral("/One.TXT"))
                   + snapshot(outside + QStringLiteral("/README")) + snapshot(outside + QStringLiteral("/Deep"));
        };
        const QByteArray before = outsideNow();
        choose(m_root);
        f->CheckBox3->setChecked(true);
        f->Button1->click();
        f->Button10->click();
        f->Button2->click();
        // Clear Selected keeps what the remaining rows know.
        selectRows(f->ListBox2, {0});
        f->Button7->click();
        QCOMPARE(f->ListBox2->count(), 7);
        QVERIFY(QFile::rename(p(QStringLiteral("Sub")), p(QStringLiteral("Moved"))));
        QVERIFY(QFile::link(QStringLiteral("../outside"), p(QStringLiteral("Sub"))));
        f->CheckBox6->click();
        f->Button5->click();
        QCOMPARE(m_dialogs->log.size(), 1);
        QString box = m_dialogs->log[0];
        QVERIFY2(box.contains(p(QStringLiteral("Sub: symbolic link, not changed"))), qPrintable(box));
        QVERIFY(box.contains(p(QStringLiteral("Sub/One.TXT: a folder on its path is a symbolic link"))));
        QVERIFY(box.contains(p(QStringLiteral("Sub/Deep/Two: a folder on its path is a symbolic link"))));
        QVERIFY(!box.contains(p(QStringLiteral("README"))));
        m_dialogs->log.clear();
        f->Button4->click();
        QCOMPARE(outsideNow(), before);
        QVERIFY(QFileInfo::exists(p(QStringLiteral("Moved/One.TXT"))));
        QVERIFY(QFileInfo::exists(p(QStringLiteral("Moved/Deep/Two"))));

        // The chosen folder itself replaced by a link to the outside.
        const QString upper = m_root; // its own row was cleared, so it kept its name
        QVERIFY(QFileInfo::exists(upper + QStringLiteral("/README")));
        QVERIFY(QFile::rename(upper, m_tmp->filePath(QStringLiteral("Kept"))));
        QVERIFY(QFile::link(QStringLiteral("outside"), upper));
        m_dialogs->log.clear();
        f->Button5->click();
        QCOMPARE(m_dialogs->log.size(), 1);
        box = m_dialogs->log[0];
        QVERIFY2(box.contains(upper + QStringLiteral("/README: the chosen folder was replaced since it was listed")),
                 qPrintable(box));
        m_dialogs->log.clear();
        f->Button3->click();
        QVERIFY(m_dialogs->log.last().startsWith(QStringLiteral("message:Information:0 renamed, ")));
        QCOMPARE(outsideNow(), before);
    }
};

QTEST_MAIN(TestRenamer)
#include "test_renamer.moc"
