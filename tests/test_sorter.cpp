#define SPINDLE_UI_TESTS
#include "app/ui/integrator.h"
#include "app/ui/windows.h"
#include "ui/style.h"
#include "exec/command_line.h"
#include "iso/command_builder.h"
#include "iso/iso_options.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tree/folder_listing.h"
#include "tree/ui/sorter_form.h"

#include <QApplication>
#include <QComboBox>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

using tree::SortRow;

class TestSorter : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;
    FakeDialogs *m_dialogs = nullptr;
    Tsorter_form *f = nullptr;

    QString tmp(const QString &n) const { return m_tmp.filePath(n); }
    QString tree(const QString &n = QString()) const
    {
        return n.isEmpty() ? m_tmp.filePath("tree") : m_tmp.filePath("tree/" + n);
    }
    QStringList paths() const
    {
        QStringList out;
        for (const SortRow &r : f->sortList()->rows())
            out << r.path;
        return out;
    }
    QStringList weights() const
    {
        QStringList out;
        for (const SortRow &r : f->sortList()->rows())
            out << r.weight;
        return out;
    }
    // Selects a folder in the tree and waits for its files.
    bool show(const QString &folder)
    {
        QSignalSpy filled(f, &Tsorter_form::fileListFilled);
        f->selectFolder(folder);
        return filled.wait(60000) && f->Edit1->text() == folder;
    }
    void selectFiles(const QList<int> &rows)
    {
        for (int r : rows)
            f->ListBox1->selectionModel()->select(f->fileList()->index(r), QItemSelectionModel::Select);
    }
    void loadText(const QByteArray &text)
    {
        QVERIFY(writeAll(tmp("in.lst"), text));
        m_dialogs->fileAnswers << tmp("in.lst");
        f->Button14Click();
    }
    void setCurrentRow(int row)
    {
        f->ValueListEditor1->setCurrentIndex(f->sortList()->index(row, 0));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QDir().mkpath(tree("sub/deeper"));
        QDir().mkpath(tmp("empty"));
        for (const char *n : {"b.dat", "a.dat", "c d.dat", ".hidden", "sub/in.dat"})
            QVERIFY(writeAll(tree(n), QByteArray(3000, n[0])));
    }

    void init()
    {
        m_dialogs = new FakeDialogs;
        ui::setDialogs(m_dialogs);
        f = new Tsorter_form;
    }
    void cleanup()
    {
        delete f;
        f = nullptr;
        ui::setDialogs(nullptr);
        delete m_dialogs;
    }

    void controls()
    {
        QCOMPARE(f->windowTitle(), QStringLiteral("Layout Sorter"));
        QCOMPARE(f->size(), QSize(928, 697));
        const struct
        {
            QPushButton *b;
            const char *name, *caption, *hint;
        } buttons[] = {
            {f->Button6, "Button6", "+/-", "Toggle negative/positive"},
            {f->Button1, "Button1", "Sort", "Sort the list according to Weight"},
            {f->Button4, "Button4", "Delete Row", "Delete selected row"},
            {f->Button17, "Button17", "Clear List", "Clear list"},
            {f->Button2, "Button2", "Replace", ""},
            {f->Button14, "Button14", "Load List", ""},
            {f->Button3, "Button3", "Save List", ""},
            {f->Button15, "Button15", "Import List", "Import List relative to the folder selected on left side"},
            {f->Button16, "Button16", "Export List", "Export List relative to the folder selected on left side"},
            {f->Button13, "Button13", "Add to list", "Add selected file or folder to list"},
            {f->Button11, "Button11", "Close", ""},
        };
        for (const auto &b : buttons) {
            QCOMPARE(b.b->objectName(), QLatin1String(b.name));
            QCOMPARE(b.b->text(), QLatin1String(b.caption));
            QCOMPARE(b.b->toolTip(), QLatin1String(b.hint));
            QVERIFY(!b.b->autoDefault());
        }
        QCOMPARE(f->Label6->text(), QStringLiteral("Weight for next file"));
        QCOMPARE(f->Label1->text(), QStringLiteral("step"));
        QCOMPARE(f->Label2->text(), QStringLiteral("Replace string:"));
        QCOMPARE(f->Label3->text(), QStringLiteral("with string:"));
        QVERIFY(f->Edit2->text().isEmpty() && f->Edit3->text().isEmpty());
        QCOMPARE(f->ComboBox1->currentText(), QStringLiteral("1"));
        QCOMPARE(f->ComboBox1->currentIndex(), -1);
        QCOMPARE(f->ComboBox1->count(), 9);
        QCOMPARE(f->ComboBox1->itemText(8), QStringLiteral("100000000"));
        auto *grid = f->ValueListEditor1;
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("File/Folder"));
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Weight"));
        QCOMPARE(grid->columnWidth(0), 370);
        QCOMPARE(grid->columnWidth(1), 57);
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(f->ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
        // The tree: folders only, hidden ones too, "/" the single top node.
        f->selectFolder(tree());
        auto *folders = f->ShellTreeView1->model();
        QCOMPARE(folders->rowCount(f->ShellTreeView1->rootIndex()), 1);
        QCOMPARE(folders->index(0, 0, f->ShellTreeView1->rootIndex()).data(QFileSystemModel::FilePathRole).toString(),
                 QStringLiteral("/"));
    }

    void folderSelectionFillsTheFileList()
    {
        QVERIFY(show(tree()));
        const QStringList files = f->fileList()->stringList();
        QStringList expected;
        tree::listFolder(tree(), 0x3F, 0x10, false, &expected);
        QCOMPARE(files, expected);
        QCOMPARE(files.size(), 4);
        QVERIFY(files.contains(tree(".hidden")));
        QVERIFY(!files.contains(tree("sub")));
        // A click in the tree clears the file selection.
        selectFiles({0, 1});
        f->ShellTreeView1Click();
        QVERIFY(!f->ListBox1->selectionModel()->hasSelection());
        QVERIFY(show(tmp("empty")));
        QCOMPARE(f->fileList()->rowCount(), 0);
    }

    // A name that is not UTF-8 looks the same in the file list and in the
    // grid (its bytes as Windows-1252), and keeps its bytes.
    void oneRenderingOfNames()
    {
        QVERIFY(QDir().mkpath(tmp("latin")));
        const QByteArray file = QFile::encodeName(tmp("latin")) + "/caf\xe9.bin";
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        QVERIFY(show(tmp("latin")));
        const QString listed = f->ListBox1->model()->index(0, 0).data().toString();
        QCOMPARE(listed, tmp("latin") + QStringLiteral("/caf\u00e9.bin"));
        selectFiles({0});
        f->Button13Click();
        QCOMPARE(f->sortList()->index(0, 0).data().toString(), listed);
        QCOMPARE(QByteArray(f->sortList()->pathBytes(0).toByteArray()), file);
    }

    void addToList()
    {
        QVERIFY(show(tree()));
        const QStringList files = f->fileList()->stringList();
        selectFiles({2, 0});
        f->Button13Click();
        QCOMPARE(paths(), (QStringList{files[0], files[2]}));
        QCOMPARE(weights(), (QStringList{"0", "1"}));
        QCOMPARE(f->Edit2->text(), QStringLiteral("2"));
        QCOMPARE(f->Edit3->text(), QStringLiteral("1"));
        // No file selected: the folder itself, with the next weight.
        f->ShellTreeView1Click();
        f->Edit3->setText("5");
        f->Button13Click();
        QCOMPARE(f->sortList()->at(2), (SortRow{tree(), "2"}));
        QCOMPARE(f->Edit2->text(), QStringLiteral("7"));
        // An empty folder adds itself too; a bad field stops everything.
        QVERIFY(show(tmp("empty")));
        f->Edit3->setText("five");
        f->Button13Click();
        QCOMPARE(m_dialogs->log, QStringList{"error:'five' is not a valid integer value"});
        QCOMPARE(f->sortList()->size(), 3);
        f->Edit3->setText("1");
        f->Button13Click();
        QCOMPARE(f->sortList()->at(3), (SortRow{tmp("empty"), "7"}));
        // Weight plus step beyond the 32-bit range: the error, nothing added.
        m_dialogs->log.clear();
        f->Edit2->setText("2147483647");
        f->Button13Click();
        QCOMPARE(m_dialogs->log, QStringList{"error:'2147483647' is not a valid integer value"});
        QCOMPARE(f->sortList()->size(), 4);
    }

    void arrowsSignAndNextWeight()
    {
        loadText("/a 5\r\n/b 7\r\n/a 9\r\n");
        setCurrentRow(2);
        // No step chosen in the list: the arrows do nothing, typed text or not.
        f->ComboBox1->setEditText("100");
        f->UpDown1->up()->click();
        QCOMPARE(weights(), (QStringList{"5", "7", "9"}));
        f->ComboBox1->setCurrentIndex(1);
        f->UpDown1->up()->click();
        QCOMPARE(weights(), (QStringList{"15", "7", "9"}));
        f->UpDown1->down()->click();
        f->UpDown1->down()->click();
        QCOMPARE(weights(), (QStringList{"-5", "7", "9"}));
        f->Button6->click();
        QCOMPARE(weights(), (QStringList{"5", "7", "9"}));
        // A click or a key in the grid sets the next weight from the current row.
        f->Edit3->setText("3");
        const QRect cell = f->ValueListEditor1->visualRect(f->sortList()->index(1, 0));
        QTest::mouseClick(f->ValueListEditor1->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(f->sortList()->currentRow(), 1);
        QCOMPARE(f->Edit2->text(), QStringLiteral("10"));
        QTest::keyClick(f->ValueListEditor1, Qt::Key_Up);
        QCOMPARE(f->sortList()->currentRow(), 0);
        QCOMPARE(f->Edit2->text(), QStringLiteral("8"));
        f->sortList()->setWeight(0, "2147483646");
        QTest::keyClick(f->ValueListEditor1, Qt::Key_Right);
        QCOMPARE(m_dialogs->log.last(), QStringLiteral("error:'2147483646' is not a valid integer value"));
        QCOMPARE(f->Edit2->text(), QStringLiteral("8"));
    }

    void sortKeepsOrderOnError()
    {
        loadText("/b 1\r\n/a x\r\n/c 3\r\n");
        f->Button1->click();
        QCOMPARE(m_dialogs->log.last(), QStringLiteral("error:'x' is not a valid integer value (row 2)"));
        QCOMPARE(paths(), (QStringList{"/b", "/a", "/c"}));
        f->sortList()->setWeight(1, "2");
        setCurrentRow(2);
        f->Button1->click();
        QCOMPARE(paths(), (QStringList{"/c", "/a", "/b"}));
        QCOMPARE(f->ValueListEditor1->currentIndex().row(), 0);
        // Replace, Delete Row and Clear List.
        f->Edit4->setText("/a");
        f->Edit5->setText("/A");
        f->Button2->click();
        QCOMPARE(paths(), (QStringList{"/c", "/A", "/b"}));
        f->Button4->click();
        QCOMPARE(paths(), (QStringList{"", "/A", "/b"}));
        setCurrentRow(2);
        QCOMPARE(paths(), (QStringList{"/A", "/b"}));
        QCOMPARE(f->ValueListEditor1->currentIndex().row(), 1);
        f->Button4->click();
        QCOMPARE(paths(), QStringList{"/A"});
        f->Button17->click();
        QVERIFY(f->sortList()->isEmptyList());
    }

    void filesThroughTheDialogs()
    {
        // Load: a cancelled dialog still leaves the list cleared.
        loadText("/x 1\r\n");
        f->Button14Click();
        QVERIFY(f->sortList()->isEmptyList());
        QCOMPARE(m_dialogs->log, (QStringList{"open:Lists|*.lst|All Files|*.*", "open:Lists|*.lst|All Files|*.*"}));
        QCOMPARE(m_dialogs->fileOptions.last().defaultExt, QStringLiteral("lst"));
        m_dialogs->log.clear();
        m_dialogs->fileAnswers << tmp("missing.lst");
        f->Button14Click();
        QCOMPARE(m_dialogs->log.size(), 2);
        QVERIFY(m_dialogs->log.last().startsWith("error:Cannot open file \"" + tmp("missing.lst") + "\". "));
        QVERIFY(f->sortList()->isEmptyList());
        // Save and Export (replacing a file is asked by the dialog).
        loadText(QString(tree("a.dat") + " 10\r\n/elsewhere/z 3\r\n").toUtf8());
        m_dialogs->log.clear();
        m_dialogs->fileAnswers << tmp("saved.lst") << tmp("rel.lst");
        f->Button3Click();
        f->Edit1->setText(tree());
        f->Button16Click();
        QCOMPARE(m_dialogs->log, (QStringList{"save:Lists|*.lst|All Files|*.*", "save:Lists|*.lst|All Files|*.*"}));
        QVERIFY(m_dialogs->fileOptions.last().overwritePrompt);
        QCOMPARE(readAll(tmp("saved.lst")), QString(tree("a.dat") + " 10\r\n/elsewhere/z 3\r\n").toUtf8());
        QCOMPARE(readAll(tmp("rel.lst")), QByteArray("a.dat 10\r\n/elsewhere/z 3\r\n"));
        // Save cancelled writes nothing; a save that fails says so, list unchanged.
        f->Button3Click();
        m_dialogs->fileAnswers << tmp("empty");
        m_dialogs->log.clear();
        f->Button3Click();
        QVERIFY(m_dialogs->log.last().startsWith("error:Cannot create file \"" + tmp("empty") + "\". "));
        QCOMPARE(f->sortList()->size(), 2);
        // Import below the base folder, which gains its separator.
        f->Edit1->setText(tmp("new"));
        m_dialogs->fileAnswers << tmp("rel.lst");
        f->Button15Click();
        QCOMPARE(f->Edit1->text(), tmp("new") + "/");
        QCOMPARE(paths(), (QStringList{tmp("new/a.dat"), tmp("new") + "//elsewhere/z"}));
        // An empty base joins to a lone separator.
        f->Edit1->clear();
        m_dialogs->fileAnswers << tmp("rel.lst");
        f->Button15Click();
        QCOMPARE(f->Edit1->text(), QStringLiteral("/"));
        QCOMPARE(paths().first(), QStringLiteral("/a.dat"));
    }

    // Lines without a valid weight: one box after Load or Import, the rows
    // marked until they hold a number, and Sort names the row.
    void badLinesAreMarked()
    {
        loadText("/a 1\r\n/no-blank\r\n/c abc\r\n/d 4\r\n/e \r\n");
        QCOMPARE(m_dialogs->log.size(), 2);
        QVERIFY(m_dialogs->log.last().startsWith("message:Information:3 lines have no valid weight (first: line 2)\n"));
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        const QColor marked(255, 205, 205);
        auto cellColour = [&](int row, int column) {
            const QRect cell = f->ValueListEditor1->visualRect(f->sortList()->index(row, column));
            return QColor(f->ValueListEditor1->viewport()->grab().toImage().pixel(cell.right() - 2, cell.center().y()));
        };
        for (int column : {0, 1}) {
            QCOMPARE(cellColour(1, column), marked);
            QCOMPARE(cellColour(2, column), marked);
            QCOMPARE(cellColour(4, column), marked);
            QVERIFY(cellColour(3, column) != marked);
        }
        QCOMPARE(f->sortList()->index(2, 0).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("No valid weight: Sort needs a whole number here"));
        f->Button1->click();
        QCOMPARE(m_dialogs->log.last(), QStringLiteral("error:'/no-blank' is not a valid integer value (row 2)"));
        QCOMPARE(paths(), (QStringList{"/a", "/no-blank", "/c", "/d", "/e"}));
        // Given numbers, the rows lose their mark and Sort goes through.
        f->sortList()->setWeight(1, "2");
        f->sortList()->setWeight(2, "3");
        QVERIFY(cellColour(1, 0) != marked);
        f->Button1->click();
        QCOMPARE(m_dialogs->log.last(), QStringLiteral("error:'' is not a valid integer value (row 5)"));
        f->hide();
        // Import says the same; a file without such lines says nothing.
        QVERIFY(writeAll(tmp("rel.lst"), "x 1\r\ny\r\n"));
        m_dialogs->log.clear();
        m_dialogs->fileAnswers << tmp("rel.lst");
        f->Edit1->setText("/base");
        f->Button15Click();
        QVERIFY(m_dialogs->log.last().startsWith("message:Information:1 line has no valid weight (line 2)\n"));
        QCOMPARE(paths(), (QStringList{"/base/x", "/base/y"}));
        m_dialogs->log.clear();
        loadText("/ok 1\r\n/fine -2\r\n");
        QCOMPARE(m_dialogs->log, QStringList{"open:Lists|*.lst|All Files|*.*"});
    }

    // Names that are not UTF-8 go through the window byte for byte, and
    // the image tool places those files by their weights.
    void namesKeepTheirBytes()
    {
        const QByteArray root = QFile::encodeName(tmp("bytes"));
        QVERIFY(QDir().mkpath(tmp("bytes")));
        // UTF-8, Latin-1, bytes of no code page, ASCII: weights that put them
        // in another order than the image's default (by name).
        const QList<QByteArray> names{"caf\xc3\xa9.bin", "caf\xe9.bin", "\x80\xff\x81 x.bin", "plain.bin"};
        const QList<int> weightOf{20, 40, 50, 30};
        QByteArray text;
        for (int i = 0; i < names.size(); ++i) {
            const QByteArray file = root + '/' + names[i];
            const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            QVERIFY(fd >= 0);
            const QByteArray content = QByteArray("MARK" + QByteArray::number(i) + "-").repeated(1000);
            QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
            ::close(fd);
            text += file + ' ' + QByteArray::number(weightOf[i]) + "\r\n";
        }
        loadText(text);
        QCOMPARE(f->sortList()->size(), 4);
        m_dialogs->fileAnswers << tmp("bytes-saved.lst") << tmp("bytes-rel.lst");
        f->Button3Click();
        QCOMPARE(readAll(tmp("bytes-saved.lst")), text);
        f->Edit1->setText(tmp("bytes"));
        f->Button16Click();
        QCOMPARE(readAll(tmp("bytes-rel.lst")), QByteArray(text).replace(root + '/', ""));
        m_dialogs->fileAnswers << tmp("bytes-rel.lst") << tmp("bytes-back.lst");
        f->Button15Click();
        f->Button3Click();
        QCOMPARE(readAll(tmp("bytes-back.lst")), text);
        // Sorted: the same lines, heaviest first.
        f->Button1->click();
        m_dialogs->fileAnswers << tmp("bytes.lst");
        f->Button3Click();
        const QList<QByteArray> lines = text.split('\n');
        QCOMPARE(readAll(tmp("bytes.lst")), lines[2] + '\n' + lines[1] + '\n' + lines[3] + '\n' + lines[0] + '\n');
        QVERIFY2(!m_dialogs->log.join('\n').contains("error:"), qPrintable(m_dialogs->log.join('\n')));

        iso::IsoOptions o;
        o.clearAll();
        o.setText(iso::Opt::mkisofs_folder, binDir() + "/mkisofs");
        o.setText(iso::Opt::root_folder, tmp("bytes") + "/");
        o.setText(iso::Opt::output_folder, m_tmp.path() + "/");
        o.setText(iso::Opt::output_filename, "bytes.iso");
        o.setCheck(iso::Opt::sorting, true);
        o.setText(iso::Opt::sorting_list, tmp("bytes.lst"));
        QStringList args = words(iso::buildCommandLine(o).command);
        QProcess p;
        p.setWorkingDirectory(m_tmp.path());
        p.start(args.takeFirst(), args);
        QVERIFY(p.waitForFinished(120000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        // Each file's first sector in the image, heaviest first.
        QFile image(tmp("bytes.iso"));
        QVERIFY(image.open(QIODevice::ReadOnly));
        QVERIFY(image.size() < 8 << 20);
        const QByteArray data = image.readAll();
        QList<qsizetype> at;
        for (int i : {2, 1, 3, 0}) {
            at << data.indexOf("MARK" + QByteArray::number(i) + "-");
            QVERIFY(at.last() > 0);
        }
        QVERIFY2(std::is_sorted(at.begin(), at.end()), qPrintable(QStringLiteral("%1 %2 %3 %4").arg(at[0]).arg(at[1]).arg(at[2]).arg(at[3])));
    }

    void gridKeys()
    {
        loadText("/a 1\r\n/b 2\r\n");
        auto *grid = f->ValueListEditor1;
        grid->setFocus();
        setCurrentRow(1);
        // Down on the last row adds a blank row; leaving it removes it again.
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(paths(), (QStringList{"/a", "/b", ""}));
        QCOMPARE(grid->currentIndex().row(), 2);
        QTest::keyClick(grid, Qt::Key_Down); // a blank row: no second one
        QCOMPARE(f->sortList()->size(), 3);
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(paths(), (QStringList{"/a", "/b"}));
        QCOMPARE(grid->currentIndex().row(), 1);
        // Insert, then Escape drops the blank row.
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(paths(), (QStringList{"/a", "", "/b"}));
        QCOMPARE(grid->currentIndex().row(), 1);
        QTest::keyClick(grid, Qt::Key_Escape);
        QCOMPARE(paths(), (QStringList{"/a", "/b"}));
        QTest::keyClick(grid, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(grid->currentIndex().row(), 1);
        QTest::keyClick(grid, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(grid->currentIndex().row(), 0);
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(paths(), QStringList{"/b"});
        // F2 edits the cell in place.
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_F2);
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY2(editor, QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
        QCOMPARE(editor->text(), QStringLiteral("/b"));
        editor->selectAll();
        QTest::keyClicks(editor, "/z");
        QCOMPARE(editor->text(), QStringLiteral("/z"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(paths(), QStringList{"/z"}, 30000);
        f->hide();
    }

    void closingKeepsTheList()
    {
        loadText("/keep 1\r\n");
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->Button11->click();
        QVERIFY(!f->isVisible());
        f->show();
        QCOMPARE(paths(), QStringList{"/keep"});
        f->hide();
    }

    void layoutSorterButton()
    {
        platform::setSpindleFolder(m_tmp.path());
        app::createWindows();
        TIntegrator *main = app::windows().Integrator;
        Tsorter_form *sorter = app::windows().sorter_form;
        QVERIFY(sorter);
        QVERIFY(main->SpeedButton3->isEnabled());
        bool wasModal = false;
        QTimer::singleShot(0, sorter, [&] {
            wasModal = sorter->isVisible() && sorter->isModal();
            sorter->Button11->click();
        });
        main->SpeedButton3->click();
        QVERIFY(wasModal);
        QVERIFY(!sorter->isVisible());
        app::destroyWindows();
    }

    // A sort file saved by the window orders the files of an image built
    // from the Make ISO command line.
    void imageFollowsTheWeights()
    {
        const QString root = tmp("image");
        QDir().mkpath(root + "/sub");
        const QStringList names{"one.dat", "two.dat", "three.dat", "four.dat", "five.dat"};
        for (const QString &n : names)
            QVERIFY(writeAll(root + "/" + n, QByteArray(5000, n[0].toLatin1())));
        QVERIFY(writeAll(root + "/sub/six.dat", QByteArray(5000, 's')));
        QVERIFY(show(root));
        const int n = f->fileList()->rowCount();
        QCOMPARE(n, 5);
        QList<int> all(n);
        std::iota(all.begin(), all.end(), 0);
        selectFiles(all);
        f->Edit2->setText("100");
        f->Edit3->setText("-10");
        f->Button13Click();
        f->ShellTreeView1Click();
        QVERIFY(show(root + "/sub"));
        f->Button13Click(); // the folder "sub"
        QVERIFY(show(root));
        // The fourth file goes up past the others, the folder to the top.
        f->ComboBox1->setCurrentIndex(2);
        setCurrentRow(3);
        f->UpDown1->up()->click();
        setCurrentRow(5);
        f->UpDown1->up()->click();
        f->UpDown1->up()->click();
        m_dialogs->fileAnswers << tmp("image.lst");
        f->Button3Click();
        QVERIFY2(m_dialogs->log == QStringList{"save:Lists|*.lst|All Files|*.*"}, qPrintable(m_dialogs->log.join('\n')));

        iso::IsoOptions o;
        o.clearAll();
        o.setText(iso::Opt::mkisofs_folder, binDir() + "/mkisofs");
        o.setText(iso::Opt::root_folder, root + "/");
        o.setText(iso::Opt::output_folder, m_tmp.path() + "/");
        o.setText(iso::Opt::output_filename, "sorted.iso");
        o.setCheck(iso::Opt::sorting, true);
        o.setText(iso::Opt::sorting_list, tmp("image.lst"));
        const QString commandLine = iso::buildCommandLine(o).command.display();
        QVERIFY(commandLine.contains(" -sort "));
        QStringList args = words(iso::buildCommandLine(o).command);
        QProcess p;
        p.setWorkingDirectory(m_tmp.path());
        p.start(args.takeFirst(), args);
        QVERIFY(p.waitForFinished(120000));
        QVERIFY2(p.exitCode() == 0 && QFile::exists(tmp("sorted.iso")),
                 qPrintable(commandLine + "\n" + p.readAllStandardError()));
        QProcess info;
        info.start("isoinfo", {"-l", "-i", tmp("sorted.iso")});
        QVERIFY(info.waitForFinished(60000));
        const QByteArray l = info.readAllStandardOutput();
        auto extent = [&](const QString &path) {
            QString name = path.section('/', -1).toUpper();
            const int at = l.indexOf((name + ";1").toLatin1());
            const int open = l.lastIndexOf('[', at);
            return at < 0 ? -1 : l.mid(open + 1, l.indexOf(' ', open + 7) - open - 1).trimmed().toInt();
        };
        // Files only: heavier first, each at a lower extent.
        QList<std::pair<qint64, QString>> byWeight;
        for (const SortRow &r : f->sortList()->rows())
            if (QFileInfo(r.path).isFile())
                byWeight.append({r.weight.toLongLong(), r.path});
        byWeight.append({f->sortList()->weightOf(root + "/sub").toLongLong(), root + "/sub/six.dat"});
        QCOMPARE(byWeight.size(), 6);
        std::stable_sort(byWeight.begin(), byWeight.end(), [](auto &a, auto &b) { return a.first > b.first; });
        QCOMPARE(byWeight.first().first, 250);
        QCOMPARE(byWeight.at(1).first, 170);
        QString order;
        for (int i = 0; i + 1 < byWeight.size(); ++i) {
            const int a = extent(byWeight[i].second), b = extent(byWeight[i + 1].second);
            QVERIFY2(a > 0 && b > 0, l.constData());
            QVERIFY2(a < b, qPrintable(byWeight[i].second + " / " + byWeight[i + 1].second + "\n" + l));
        }
    }
};

QTEST_MAIN(TestSorter)
#include "test_sorter.moc"
