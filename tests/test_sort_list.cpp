#include "platform/platform.h"
#include "testutil.h"
#include "tree/numbering.h"
#include "tree/sort_file.h"
#include "tree/sort_list.h"

#include <QAbstractItemModelTester>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tree;

namespace {
QList<SortRow> parse(const QByteArray &text, bool slash = true)
{
    return textRows(parseFileText(text, slash));
}

void load(SortList &list, const QByteArray &text)
{
    list.clear();
    list.insertSpans(parseFileText(text, true));
}

QStringList paths(const SortList &list)
{
    QStringList out;
    for (const SortRow &r : list.rows())
        out << r.path;
    return out;
}

// A sort file holding UTF-8, Latin-1 and bytes that are text in no code
// page, in paths and in a weight.
QByteArray mixedNames()
{
    return QByteArray("/cd/caf\xc3\xa9.bin 10\r\n"
                      "/cd/caf\xe9.bin 15\r\n"
                      "/cd/\x80\xff\x81 x.bin 20\r\n"
                      "/cd/na\xefve\xfe.bin 7\r\n");
}

// The lines of a sort file with their weights cut off, in byte order.
QList<QByteArray> sortedLines(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray &l : lines)
        l = l.left(l.lastIndexOf(' '));
    std::sort(lines.begin(), lines.end());
    return lines;
}

QByteArray relativeOf(const QByteArray &text)
{
    return QByteArray(text).replace("/cd/", "");
}

QStringList weights(const SortList &list)
{
    QStringList out;
    for (const SortRow &r : list.rows())
        out << r.weight;
    return out;
}
} // namespace

class TestSortList : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    int cli(const QStringList &args, QByteArray *err = nullptr)
    {
        QProcess p;
        p.start(binDir() + QStringLiteral("/spindle-cli"), QStringList{QStringLiteral("sortlist")} + args);
        if (!p.waitForFinished(60000))
            return -1;
        if (err)
            *err = p.readAllStandardError();
        return p.exitCode();
    }

private slots:
    void integers()
    {
        QCOMPARE(toInt32(QStringLiteral("+7")), 7);
        QCOMPARE(toInt32(QStringLiteral("007")), 7);
        QCOMPARE(toInt32(QStringLiteral("  -12")), -12);
        QCOMPARE(toInt32(QStringLiteral("-2147483648")), std::numeric_limits<qint32>::min());
        QCOMPARE(toInt64(QStringLiteral("-9223372036854775808")), std::numeric_limits<qint64>::min());
        QCOMPARE(toInt64(QStringLiteral("9223372036854775807")), std::numeric_limits<qint64>::max());
        for (const char *bad : {"", " ", "-", "+", "5 ", "1e3", "0x10", "2147483648", "- 1", "\t1"})
            QVERIFY2(!toInt32(QString::fromLatin1(bad)), bad);
        for (const char *bad : {"9223372036854775808", "-9223372036854775809", "99999999999999999999"})
            QVERIFY2(!toInt64(QString::fromLatin1(bad)), bad);
        QCOMPARE(toInt64(QStringLiteral("2147483648")), 2147483648LL);
        QCOMPARE(conversionErrorText(QStringLiteral("x1")), QStringLiteral("'x1' is not a valid integer value"));
    }

    void fileFormat()
    {
        SortList list;
        QCOMPARE(fileText(list), QByteArray(" \r\n"));
        list.insertEntry(QStringLiteral("/cd/boot/loader.bin"), QStringLiteral("100"));
        list.insertEntry(QStringLiteral("/cd/data"), QStringLiteral("-5"));
        list.insertBlankRow(1);
        list.insertEntry(QStringLiteral("/cd/a b/c d.txt"), QStringLiteral("3"));
        QCOMPARE(fileText(list),
                 QByteArray("/cd/boot/loader.bin 100\r\n \r\n/cd/data -5\r\n/cd/a b/c d.txt 3\r\n"));
        // What the file gives back, line by line.
        const QList<SortRow> rows = parse("a b 1\r\nnoblank\ntrail \r\rtab\there\t9\r\n \r\nlast 2");
        const QList<SortRow> expected{{"a b", "1"},      {"noblank", "noblank"}, {"trail", ""}, {},
                                      {"tab\there", "9"}, {},                     {"last", "2"}};
        QCOMPARE(rows, expected);
        QVERIFY(parse("").isEmpty());
        QCOMPARE(parse("\r\n"), QList<SortRow>{SortRow{}});
        // Only the first 4096 characters of a line count.
        const QByteArray longLine = QByteArray(4090, 'p') + " 123456789";
        QCOMPARE(parse(longLine).first().weight, QStringLiteral("12345"));
    }

    // Every line keeps its bytes: UTF-8, Latin-1 and bytes of no code page;
    // only the grid shows the ones that are not UTF-8 as Windows-1252.
    void namesKeepTheirBytes()
    {
        const QByteArray text = mixedNames();
        const QList<SortRow> rows = parse(text);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0).path, QStringLiteral("/cd/caf\u00e9.bin"));
        SortList list;
        list.insertEntries(rows);
        QCOMPARE(fileText(list), text);
        const QModelIndex latin = list.index(1, 0), odd = list.index(2, 0);
        QCOMPARE(latin.data().toString(), QStringLiteral("/cd/caf\u00e9.bin"));
        QCOMPARE(odd.data().toString(), QStringLiteral("/cd/\u20ac\u00ff\u0081 x.bin"));
        QCOMPARE(list.index(3, 0).data().toString(), QStringLiteral("/cd/na\u00efve\u00fe.bin"));
        QVERIFY(list.at(1).path != list.at(0).path);
        // A weight keeps its bytes as well, though no integer.
        list.insertEntries(parse("/cd/w 7\xe9\r\n"));
        QCOMPARE(list.index(4, 1).data().toString(), QStringLiteral("7\u00e9"));
        QCOMPARE(fileText(list), text + "/cd/w 7\xe9\r\n");
        // Committing the shown text unchanged keeps the bytes; a real edit
        // is the user's new name.
        QVERIFY(list.setData(latin, latin.data(Qt::EditRole), Qt::EditRole));
        QVERIFY(list.setData(list.index(4, 1), list.index(4, 1).data(Qt::EditRole), Qt::EditRole));
        QCOMPARE(fileText(list), text + "/cd/w 7\xe9\r\n");
        QVERIFY(list.setData(odd, QStringLiteral("/cd/new.bin"), Qt::EditRole));
        QCOMPARE(fileText(list).split('\n').at(2), QByteArray("/cd/new.bin 20\r"));
        // A name from the folder listing keeps its bytes too.
        list.clear();
        list.insertEntry(platform::decodePath("/odd\xff.bin"), QStringLiteral("4"));
        QCOMPARE(fileText(list), QByteArray("/odd\xff.bin 4\r\n"));
    }

    // Load and Save, Sort, Import and Export, in the list and on the command
    // line: each line comes back byte for byte (order and weights aside).
    void bytesThroughEveryOperation()
    {
        const QByteArray text = mixedNames();
        const QString in = m_dir.filePath("mixed.lst");
        QVERIFY(writeAll(in, text));
        SortList list;
        SortSpans rows;
        QString error;
        QVERIFY(readSortFile(in, true, &rows, &error));
        list.insertSpans(rows);
        QVERIFY(writeSortFile(m_dir.filePath("saved.lst"), list, QString(), &error));
        QCOMPARE(readAll(m_dir.filePath("saved.lst")), text);
        QVERIFY(list.sort(&error));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(sortedLines(fileText(list)), sortedLines(text));
        QCOMPARE(fileText(list).left(text.indexOf('\n') + 1), QByteArray("/cd/\x80\xff\x81 x.bin 20\r\n"));

        const QByteArray relative = fileText(list, exportBase(QStringLiteral("/cd")));
        QCOMPARE(sortedLines(relative), sortedLines(relativeOf(text)));
        list.clear();
        list.insertSpans(joinedTo(baseFolder(QStringLiteral("/cd")), parseFileText(relative, false)));
        QCOMPARE(sortedLines(fileText(list)), sortedLines(text));

        QByteArray err;
        QCOMPARE(cli({"sort", in, m_dir.filePath("cli-sorted.lst")}, &err), 0);
        QCOMPARE(sortedLines(readAll(m_dir.filePath("cli-sorted.lst"))), sortedLines(text));
        QCOMPARE(cli({"export", in, "/cd", m_dir.filePath("cli-rel.lst")}, &err), 0);
        QCOMPARE(readAll(m_dir.filePath("cli-rel.lst")), relativeOf(text));
        QCOMPARE(cli({"import", m_dir.filePath("cli-rel.lst"), "/cd", m_dir.filePath("cli-abs.lst")}, &err), 0);
        QCOMPARE(readAll(m_dir.filePath("cli-abs.lst")), text);
        // A base folder whose name is not UTF-8 keeps its bytes as well.
        const QByteArray base = "/d\xe9p\xf4t";
        const RawRun run = runRaw({QFile::encodeName(binDir() + "/spindle-cli"), "sortlist", "import",
                                   QFile::encodeName(m_dir.filePath("cli-rel.lst")), base,
                                   QFile::encodeName(m_dir.filePath("cli-odd.lst"))});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(readAll(m_dir.filePath("cli-odd.lst")).startsWith(base + "/caf\xc3\xa9.bin 10\r\n"));
    }

    // Lines whose weight is missing or no integer: counted with the first
    // line, and marked in the grid until they get a number.
    void linesWithoutValidWeight()
    {
        const SortSpans spans = parseFileText("/a 1\r\n\r\n/noblank\r\n/b abc\r\n/c \r\n/d -4\r\n/e 99999999999\r\n", true);
        const QList<SortRow> rows = textRows(spans);
        const WeightCheck c = checkWeights(spans);
        QCOMPARE(c.count, 3);
        QCOMPARE(c.firstLine, 3);
        QCOMPARE(noValidWeightText(c), QStringLiteral("3 lines have no valid weight (first: line 3)"));
        QCOMPARE(noValidWeightText({1, 12}), QStringLiteral("1 line has no valid weight (line 12)"));
        QCOMPARE(checkWeights(parseFileText("/a 1\r\n\r\n", true)).count, 0);
        SortList list;
        QAbstractItemModelTester tester(&list);
        list.insertEntries(rows);
        QList<bool> marked;
        for (int r = 0; r < list.size(); ++r)
            marked << list.index(r, 0).data(SortList::NoValidWeightRole).toBool();
        QCOMPARE(marked, (QList<bool>{false, false, true, true, true, false, false}));
        QCOMPARE(list.index(3, 1).data(Qt::ToolTipRole).toString(), noValidWeightTip());
        QVERIFY(list.index(0, 1).data(Qt::ToolTipRole).isNull());
        // A number typed in takes the mark away, on both cells.
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        list.setWeight(3, QStringLiteral("5"));
        QVERIFY(!list.index(3, 0).data(SortList::NoValidWeightRole).toBool());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().at(0).toModelIndex().column(), 0);
        QCOMPARE(changed.first().at(1).toModelIndex().column(), 1);
        // Sort names the row.
        QString error;
        list.setCurrentRow(0);
        QVERIFY(list.sort(&error));
        QCOMPARE(error, QStringLiteral("'' is not a valid integer value (row 2)"));
        list.setCurrentRow(1);
        list.setCurrentRow(0); // the blank row goes when left
        QVERIFY(list.sort(&error));
        QCOMPARE(error, QStringLiteral("'/noblank' is not a valid integer value (row 2)"));
    }

    void loadingAndTheInsertRule()
    {
        SortList list;
        QAbstractItemModelTester tester(&list);
        // An empty first line is a blank row that the next entry fills; a
        // later one stays until the user moves away from it.
        load(list, "\r\n/a 1\r\n\r\n/b 2\r\n");
        QCOMPARE(paths(list), (QStringList{"/a", "", "/b"}));
        QCOMPARE(list.currentRow(), 0);
        QCOMPARE(list.setCurrentRow(1), 1);
        QCOMPARE(list.setCurrentRow(2), 1);
        QCOMPARE(paths(list), (QStringList{"/a", "/b"}));
        // Clear on a one-entry list leaves one blank row; an empty list stays.
        load(list, "/only 5\r\n");
        list.clear();
        QVERIFY(list.isEmptyList());
        QCOMPARE(fileText(list), QByteArray(" \r\n"));
        list.clear();
        QCOMPARE(list.size(), 1);
        // Appending does not move the current row.
        load(list, "/a 1\r\n/b 2\r\n/c 3\r\n");
        list.setCurrentRow(1);
        list.insertEntry(QStringLiteral("/d"), QStringLiteral("4"));
        QCOMPARE(list.currentRow(), 1);
        QCOMPARE(paths(list).last(), QStringLiteral("/d"));
    }

    void deleteRow()
    {
        SortList list;
        QAbstractItemModelTester tester(&list);
        load(list, "/a 1\r\n/b 2\r\n/c 3\r\n");
        // The first row is emptied, not removed, and then filled by the next entry.
        list.deleteRow();
        QCOMPARE(paths(list), (QStringList{"", "/b", "/c"}));
        QCOMPARE(weights(list), (QStringList{"", "2", "3"}));
        list.insertEntry(QStringLiteral("/n"), QStringLiteral("9"));
        QCOMPARE(paths(list), (QStringList{"/n", "/b", "/c"}));
        // Emptied again, it goes once the user moves to another row.
        list.deleteRow();
        QCOMPARE(list.setCurrentRow(2), 1);
        QCOMPARE(paths(list), (QStringList{"/b", "/c"}));
        list.deleteRow();
        QCOMPARE(paths(list), (QStringList{"/b"}));
        QCOMPARE(list.currentRow(), 0);
        list.deleteRow();
        list.deleteRow(); // a blank first row: nothing happens
        QVERIFY(list.isEmptyList());
        // Escape removes a blank entry, never the last row.
        load(list, "/a 1\r\n\r\n");
        list.setCurrentRow(1);
        list.dropBlankCurrentRow();
        QCOMPARE(paths(list), QStringList{"/a"});
        list.dropBlankCurrentRow();
        QCOMPARE(list.size(), 1);
    }

    void sorting()
    {
        SortList list;
        QAbstractItemModelTester tester(&list);
        load(list, "/b 5\r\n  /B2\t+7\r\n/a 5\r\n/A 5\r\n/z 007\r\n/big 5000000000\r\n/neg -3\r\n");
        QString error;
        QVERIFY(list.sort(&error));
        QVERIFY(error.isEmpty());
        // Names stay as they are, blanks and all: trimmed, they would name
        // other files.
        QCOMPARE(paths(list), (QStringList{"/big", "  /B2", "/z", "/a", "/A", "/b", "/neg"}));
        QCOMPARE(weights(list), (QStringList{"5000000000", "7", "7", "5", "5", "5", "-3"}));
        QCOMPARE(list.currentRow(), 0);
        // A blank row or a weight that is no number: error, order unchanged.
        load(list, "/x 1\r\n/y 2\r\n\r\n");
        list.setCurrentRow(1);
        QCOMPARE(list.size(), 3);
        // (moving from row 0 keeps the blank third row)
        QVERIFY(list.sort(&error));
        QCOMPARE(error, conversionErrorText(QString()) + " (row 3)");
        QCOMPARE(paths(list), (QStringList{"/x", "/y", ""}));
        load(list, "/x 1\r\n/y two\r\n");
        error.clear();
        QVERIFY(list.sort(&error));
        QCOMPARE(error, conversionErrorText(QStringLiteral("two")) + " (row 2)");
        QCOMPARE(paths(list), (QStringList{"/x", "/y"}));
        // The guard: the current row's weight must be a number.
        list.setCurrentRow(1);
        error.clear();
        QVERIFY(!list.sort(&error));
        QVERIFY(error.isEmpty());
        load(list, "/one 3\r\n");
        QVERIFY(list.sort(&error));
        QCOMPARE(paths(list), QStringList{"/one"});
    }

    // File names are case-sensitive: A.bin and a.bin keep their own weights;
    // rows that repeat one path exactly read and change the first one's.
    void lookupByExactPath()
    {
        SortList list;
        load(list, "/d/A.bin 10\r\n/d/a.bin 20\r\n/d/a.bin 30\r\n");
        QCOMPARE(fileText(list), QByteArray("/d/A.bin 10\r\n/d/a.bin 20\r\n/d/a.bin 20\r\n"));
        list.setCurrentRow(2);
        QVERIFY(list.stepWeight(true, 1));
        QCOMPARE(weights(list), (QStringList{"10", "21", "30"}));
        QVERIFY(list.negateWeight());
        QCOMPARE(weights(list), (QStringList{"10", "-21", "30"}));
        QCOMPARE(list.currentWeight(), QStringLiteral("-21"));
        QString error;
        QVERIFY(list.sort(&error));
        QCOMPARE(fileText(list), QByteArray("/d/A.bin 10\r\n/d/a.bin -21\r\n/d/a.bin -21\r\n"));
        // Editing the first row's path hands the lookup to the next one.
        list.setPath(1, QStringLiteral("/d/c.bin"));
        QCOMPARE(list.weightOf(QStringLiteral("/d/a.bin")), QStringLiteral("-21"));
        QCOMPARE(list.firstRowOf(QStringLiteral("/d/a.bin")), 2);
        list.setPath(0, QStringLiteral("/d/a.bin"));
        QCOMPARE(list.firstRowOf(QStringLiteral("/d/a.bin")), 0);
    }

    void arrowsAndNegation()
    {
        SortList list;
        const QStringList steps = arrowSteps();
        QCOMPARE(steps.size(), 9);
        QCOMPARE(steps.last(), QStringLiteral("100000000"));
        for (const QString &s : steps) {
            const qint32 step = s.toInt();
            // Less than one step from the top or bottom: clamped exactly.
            load(list, QByteArray("/f ") + QByteArray::number(2147483647 - step + 1) + "\r\n");
            QVERIFY(list.stepWeight(true, step));
            QCOMPARE(list.currentWeight(), QStringLiteral("2147483647"));
            QVERIFY(list.stepWeight(true, step));
            QCOMPARE(list.currentWeight(), QStringLiteral("2147483647"));
            list.setWeight(0, QString::number(-2147483647 + step - 1));
            QVERIFY(list.stepWeight(false, step));
            QCOMPARE(list.currentWeight(), QStringLiteral("-2147483647"));
            list.setWeight(0, QStringLiteral("-2147483648"));
            QVERIFY(list.stepWeight(false, step));
            QCOMPARE(list.currentWeight(), QStringLiteral("-2147483647"));
            // Exactly one step away still moves by the step.
            list.setWeight(0, QString::number(2147483647 - step));
            QVERIFY(list.stepWeight(true, step));
            QCOMPARE(list.currentWeight(), QStringLiteral("2147483647"));
            list.setWeight(0, QStringLiteral("5"));
            QVERIFY(list.stepWeight(false, step));
            QCOMPARE(list.currentWeight(), QString::number(5 - step));
        }
        list.setWeight(0, QStringLiteral("abc"));
        QVERIFY(!list.stepWeight(true, 1));
        QVERIFY(!list.negateWeight());
        QCOMPARE(list.currentWeight(), QStringLiteral("abc"));
        list.setWeight(0, QStringLiteral("-2147483648"));
        QVERIFY(!list.negateWeight());
        QCOMPARE(list.currentWeight(), QStringLiteral("-2147483648"));
        list.setWeight(0, QStringLiteral("+12"));
        QVERIFY(list.negateWeight());
        QCOMPARE(list.currentWeight(), QStringLiteral("-12"));
    }

    void replaceImportExport()
    {
        SortList list;
        load(list, "/cd/Sub/a 1\r\n/cd/sub/b 2\r\n/other/c 3\r\n/cd/x/cd/y 4\r\n");
        list.replace(QStringLiteral("sub"), QStringLiteral("SUB"));
        QCOMPARE(paths(list), (QStringList{"/cd/Sub/a", "/cd/SUB/b", "/other/c", "/cd/x/cd/y"}));
        list.replace(QString(), QStringLiteral("z"));
        QCOMPARE(paths(list).first(), QStringLiteral("/cd/Sub/a"));
        // Export: relative below the base (only a leading base goes), others unchanged.
        QCOMPARE(fileText(list, exportBase(QStringLiteral("/cd"))),
                 QByteArray("Sub/a 1\r\nSUB/b 2\r\n/other/c 3\r\nx/cd/y 4\r\n"));
        QCOMPARE(fileText(list, exportBase(QStringLiteral("/nowhere/"))), fileText(list));
        QCOMPARE(fileText(list, exportBase(QString())), fileText(list));
        // Import reads that back below the base; blank rows stay blank.
        QCOMPARE(baseFolder(QStringLiteral("/cd")), QStringLiteral("/cd/"));
        QCOMPARE(baseFolder(QString()), QStringLiteral("/"));
        const QList<SortRow> back = textRows(
            joinedTo(baseFolder(QStringLiteral("/cd")), parseFileText(fileText(list, exportBase("/cd")) + " \r\n", false)));
        QCOMPARE(back.at(0), (SortRow{"/cd/Sub/a", "1"}));
        QCOMPARE(back.at(3), (SortRow{"/cd/x/cd/y", "4"}));
        QCOMPARE(back.at(2), (SortRow{"/cd//other/c", "3"}));
        QVERIFY(back.at(4).isBlank());
        QCOMPARE(textRows(joinedTo(baseFolder(QString()), parseFileText("sub/file.bin 10", true))).first(),
                 (SortRow{"/sub/file.bin", "10"}));
    }

    void addToListNumbering()
    {
        SortList list;
        Numbering f;
        // Empty list, empty fields: from 0, next weight left at the step.
        QVERIFY(!addToList(list, {QStringLiteral("/d/a")}, QStringLiteral("/d"), f));
        QCOMPARE(f.nextWeight, QStringLiteral("1"));
        QCOMPARE(f.step, QStringLiteral("1"));
        f = {QString(), QStringLiteral("10")};
        QVERIFY(!addToList(list, {QStringLiteral("/d/b"), QStringLiteral("/d/c")}, QStringLiteral("/d"), f));
        QCOMPARE(fileText(list), QByteArray("/d/a 0\r\n/d/b 10\r\n/d/c 20\r\n"));
        QCOMPARE(f.nextWeight, QStringLiteral("30"));
        // No file selected: the folder; fields read strictly.
        f = {QStringLiteral("x"), QString()};
        QCOMPARE(addToList(list, {}, QStringLiteral("/d"), f), conversionErrorText(QStringLiteral("x")));
        f = {QStringLiteral("100"), QStringLiteral("-5z")};
        QCOMPARE(addToList(list, {}, QStringLiteral("/d"), f), conversionErrorText(QStringLiteral("-5z")));
        QCOMPARE(list.size(), 3);
        f = {QStringLiteral("100"), QStringLiteral("-5")};
        QVERIFY(!addToList(list, {}, QStringLiteral("/d"), f));
        QCOMPARE(list.at(3), (SortRow{"/d", "100"}));
        QCOMPARE(f.nextWeight, QStringLiteral("95"));
        // With files selected a field that is no number means the default.
        f = {QStringLiteral("x"), QStringLiteral("y")};
        QVERIFY(!addToList(list, {QStringLiteral("/d/e")}, QStringLiteral("/d"), f));
        QCOMPARE(list.at(4), (SortRow{"/d/e", "0"}));
        // The last row's weight continues the count, and must be a number.
        f = {};
        list.setWeight(4, QStringLiteral("zz"));
        QCOMPARE(addToList(list, {QStringLiteral("/d/f")}, QString(), f), conversionErrorText("zz"));
        QCOMPARE(list.size(), 5);
        list.setWeight(4, QStringLiteral("41"));
        QVERIFY(!addToList(list, {QStringLiteral("/d/f")}, QString(), f));
        QCOMPARE(list.at(5), (SortRow{"/d/f", "42"}));
    }

    // Weight plus step never wraps: the conversion error, nothing added.
    void weightsNeverWrap()
    {
        SortList list;
        Numbering f{QStringLiteral("2147483646"), QStringLiteral("1")};
        QCOMPARE(addToList(list, {"/a", "/b", "/c"}, QString(), f),
                 conversionErrorText(QStringLiteral("2147483647")));
        QVERIFY(list.isEmptyList());
        QCOMPARE(f.nextWeight, QStringLiteral("2147483646"));
        QVERIFY(!addToList(list, {"/a"}, QString(), f));
        QCOMPARE(f.nextWeight, QStringLiteral("2147483647"));
        f.nextWeight.clear();
        QCOMPARE(addToList(list, {"/b"}, QString(), f), conversionErrorText(QStringLiteral("2147483647")));
        list.setWeight(0, QStringLiteral("+2147483647"));
        QCOMPARE(addToList(list, {"/b"}, QString(), f), conversionErrorText(QStringLiteral("+2147483647")));
        f = {QStringLiteral("-2147483648"), QStringLiteral("-1")};
        QCOMPARE(addToList(list, {}, QStringLiteral("/d"), f), conversionErrorText(QStringLiteral("-2147483648")));
        QCOMPARE(list.size(), 1);
        // The next-weight update.
        list.setWeight(0, QStringLiteral("2147483647"));
        f = {QString(), QStringLiteral("1")};
        QCOMPARE(updateNextWeight(list, f), conversionErrorText(QStringLiteral("2147483647")));
        QVERIFY(f.nextWeight.isEmpty());
        f.step = QStringLiteral("-3");
        QVERIFY(!updateNextWeight(list, f));
        QCOMPARE(f.nextWeight, QStringLiteral("2147483644"));
        f.step = QStringLiteral("junk");
        list.setWeight(0, QStringLiteral("9"));
        QVERIFY(!updateNextWeight(list, f));
        QCOMPARE(f.nextWeight, QStringLiteral("10"));
        list.setWeight(0, QStringLiteral("nine"));
        QVERIFY(!updateNextWeight(list, f));
        QCOMPARE(f.nextWeight, QStringLiteral("10"));
    }

    // The path index against a plain scan, through random edits, Sort and
    // loads; the long names make the list drop unused bytes on the way.
    void indexFollowsEdits()
    {
        SortList list;
        QAbstractItemModelTester tester(&list);
        QRandomGenerator rng(7);
        const QString tail(600, QLatin1Char('x'));
        auto name = [&] { return QStringLiteral("/p%1").arg(rng.bounded(6)) + tail; };
        bool dropped = false;
        for (int step = 0; step < 3000; ++step) {
            const int n = int(list.size());
            const qint64 held = list.heldBytes();
            QString error;
            switch (rng.bounded(10)) {
            case 0: list.insertEntry(name(), QString::number(step)); break;
            case 1: list.setPath(int(rng.bounded(n)), name()); break;
            case 2: list.insertBlankRow(int(rng.bounded(n + 1))); break;
            case 3: list.removeRowAt(int(rng.bounded(n))); break;
            case 4: list.moveRowsTo(int(rng.bounded(n)), 1, int(rng.bounded(n + 1))); break;
            case 5: list.setCurrentRow(int(rng.bounded(n))); break;
            case 6: list.replace(name(), name()); break;
            case 7: list.setWeight(int(rng.bounded(n)), QString::number(step)); break;
            case 8: list.sort(&error); break;
            case 9: list.insertSpans(parseFileText((name() + " +" + QString::number(step) + "\n").toUtf8(), true)); break;
            }
            dropped = dropped || list.heldBytes() < held;
            QVERIFY(list.currentRow() >= 0 && list.currentRow() < list.size());
            const QList<SortRow> rows = list.rows();
            for (int i = 0; i < rows.size(); ++i) {
                int first = 0;
                while (rows.at(first).path != rows.at(i).path)
                    ++first;
                QCOMPARE(list.firstRowOf(rows.at(i).path), first);
                QCOMPARE(list.weightByLookup(i).toByteArray(), rows.at(first).weight.toUtf8());
            }
        }
        QVERIFY(dropped);
    }

    void moveKeepsTheCurrentRow()
    {
        SortList list;
        load(list, "/a 1\r\n/b 2\r\n/c 3\r\n/d 4\r\n");
        list.setCurrentRow(1);
        QVERIFY(list.moveRowsTo(1, 1, 4));
        QCOMPARE(paths(list), (QStringList{"/a", "/c", "/d", "/b"}));
        QCOMPARE(list.currentRow(), 3);
        QVERIFY(list.moveRowsTo(2, 1, 0));
        QCOMPARE(paths(list), (QStringList{"/d", "/a", "/c", "/b"}));
        QCOMPARE(list.currentRow(), 3);
        QVERIFY(!list.moveRowsTo(1, 1, 2)); // onto itself
    }

    void commandLine()
    {
        const QString in = m_dir.filePath("in.lst"), out = m_dir.filePath("out.lst");
        QVERIFY(writeAll(in, "/cd/b 5\r\n/cd/A 9\n/cd/a 9\r\n"));
        QCOMPARE(cli({"sort", in, out}), 0);
        QCOMPARE(readAll(out), QByteArray("/cd/A 9\r\n/cd/a 9\r\n/cd/b 5\r\n"));
        QCOMPARE(cli({"export", out, "/cd", m_dir.filePath("rel.lst")}), 0);
        QCOMPARE(readAll(m_dir.filePath("rel.lst")), QByteArray("A 9\r\na 9\r\nb 5\r\n"));
        QCOMPARE(cli({"import", m_dir.filePath("rel.lst"), "/new", m_dir.filePath("abs.lst")}), 0);
        QCOMPARE(readAll(m_dir.filePath("abs.lst")), QByteArray("/new/A 9\r\n/new/a 9\r\n/new/b 5\r\n"));
        QCOMPARE(cli({"export", in, "", m_dir.filePath("same.lst")}), 0);
        QCOMPARE(readAll(m_dir.filePath("same.lst")), QByteArray("/cd/b 5\r\n/cd/A 9\r\n/cd/a 9\r\n"));
        QCOMPARE(cli({"sort", m_dir.filePath("missing.lst"), m_dir.filePath("no.lst")}), 1);
        QCOMPARE(cli({"sort", in}), 2);
    }

    // A weight that is no number would give its file weight 0 in the
    // image: every command refuses the file, names the line and writes
    // nothing.
    void commandLineRefusesWeightsThatAreNoNumber_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("said");
        const QByteArray notNumber = "/a/x notanumber\r\n";
        const QByteArray third = "/a/x 1\r\n/a/y 2\r\n/a/z 3x\r\n/a/w\r\n";
        const QStringList ops{"sort", "import", "export"};
        for (const QString &op : ops) {
            QTest::addRow("%s", qPrintable(op))
                << op << notNumber << QByteArray(": line 1: 'notanumber' is not a valid integer value; nothing written\n");
            QTest::addRow("%s, line 3", qPrintable(op))
                << op << third
                << QByteArray(": line 3: '3x' is not a valid integer value (2 lines have no valid weight (first: line 3)); "
                              "nothing written\n");
        }
    }
    void commandLineRefusesWeightsThatAreNoNumber()
    {
        QFETCH(QString, op);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, said);
        const QString in = m_dir.filePath("bad.lst"), out = m_dir.filePath("never.lst");
        QVERIFY(writeAll(in, text));
        QByteArray err;
        QStringList args{op, in, out};
        if (op != QLatin1String("sort"))
            args.insert(2, QStringLiteral("/a"));
        QCOMPARE(cli(args, &err), 1);
        QCOMPARE(err, in.toUtf8() + said);
        QVERIFY(!QFile::exists(out));
    }
};

QTEST_GUILESS_MAIN(TestSortList)
#include "test_sort_list.moc"
