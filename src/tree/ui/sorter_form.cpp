#include "tree/ui/sorter_form.h"

#include "iso/order_report.h"

#include "ui/dialogs.h"
#include "ui/folder_tree.h"
#include "base/text_codec.h"
#include "ui/style.h"
#include "platform/platform.h"
#include "tree/folder_listing.h"
#include "tree/numbering.h"
#include "tree/sort_file.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QThread>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
const QString kListFilter = QStringLiteral("Lists|*.lst|All Files|*.*");

// Rows without a valid weight stand out until they get one.
class WeightMarkDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(tree::SortList::NoValidWeightRole).toBool()) {
            option->backgroundBrush = QColor(255, 205, 205);
            option->palette.setColor(QPalette::Text, Qt::black);
        }
    }
};

// The file list holds each file's path as read (bytes that are not UTF-8
// kept); it shows them as the grid does.
class FileListModel : public QStringListModel
{
public:
    using QStringListModel::QStringListModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return QStringListModel::data(index, role);
        return base::displayPath(QStringListModel::data(index, Qt::EditRole).toString());
    }
};

ui::FileDialogOptions listDialog(bool save)
{
    ui::FileDialogOptions o;
    o.filter = kListFilter;
    o.defaultExt = QStringLiteral("lst");
    o.overwritePrompt = save;
    return o;
}
} // namespace

// --- the grid ------------------------------------------------------------------

void SortGrid::setList(tree::SortList *list)
{
    m_list = list;
    setModel(list);
}

void SortGrid::keyPressEvent(QKeyEvent *e)
{
    if (!m_list || state() == EditingState) {
        QTableView::keyPressEvent(e);
        return;
    }
    const int row = m_list->currentRow();
    const int last = int(m_list->size()) - 1;
    const bool hasPath = !m_list->pathBytes(row).isEmpty();
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    const int key = e->key();
    if (mods == Qt::ControlModifier && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        m_list->setCurrentRow(key == Qt::Key_Up ? 0 : last);
    } else if (mods == Qt::ControlModifier && key == Qt::Key_Delete) {
        m_list->removeRowAt(row);
    } else if (mods == Qt::NoModifier && key == Qt::Key_Down && row == last) {
        if (hasPath) {
            m_list->insertBlankRow(last + 1);
            m_list->setCurrentRow(last + 1);
        }
    } else if (mods == Qt::NoModifier && key == Qt::Key_Insert) {
        if (hasPath) {
            m_list->insertBlankRow(row);
            m_list->setCurrentRow(row);
        }
    } else if (mods == Qt::NoModifier && key == Qt::Key_Escape) {
        m_list->dropBlankCurrentRow();
    } else {
        QTableView::keyPressEvent(e);
        return;
    }
    e->accept();
}

void SortGrid::keyReleaseEvent(QKeyEvent *e)
{
    QTableView::keyReleaseEvent(e);
    emit keyUp();
}

void SortGrid::dropEvent(QDropEvent *e)
{
    if (!m_list || e->source() != this) {
        e->ignore();
        return;
    }
    const int from = currentIndex().row();
    const QModelIndex at = indexAt(e->position().toPoint());
    int to = at.isValid() ? at.row() : int(m_list->size());
    if (at.isValid() && dropIndicatorPosition() == BelowItem)
        ++to;
    if (from >= 0)
        m_list->moveRowsTo(from, 1, to);
    // The list moved the row itself: the view must not remove the source.
    e->setDropAction(Qt::CopyAction);
    e->accept();
    setState(NoState);
}

UpDownArrows::UpDownArrows(QWidget *parent) : QWidget(parent)
{
    m_up = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_down = new QToolButton(this);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFixedSize(22, 14);
    }
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(m_up);
    l->addWidget(m_down);
    connect(m_up, &QToolButton::clicked, this, [this] { emit clicked(true); });
    connect(m_down, &QToolButton::clicked, this, [this] { emit clicked(false); });
}

// --- the window ----------------------------------------------------------------

QLineEdit *Tsorter_form::edit(const char *name)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(QLatin1String(name));
    return e;
}

QLabel *Tsorter_form::label(const char *name, const QString &caption)
{
    auto *l = new QLabel(caption, this);
    l->setObjectName(QLatin1String(name));
    return l;
}

Tsorter_form::Tsorter_form(QWidget *parent)
    : QDialog(parent, Qt::Dialog | ui::kToolWindowFlags)
{
    ui::setUpWindow(this, "sorter_form", QStringLiteral("Layout Sorter"));
    m_list = new tree::SortList(this);
    m_files = new FileListModel(this);

    ShellTreeView1 = new ui::FolderTree(this);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    connect(ShellTreeView1, &ui::FolderTree::pathChanged, this, &Tsorter_form::ShellTreeView1Change);
    connect(ShellTreeView1, &QTreeView::clicked, this, &Tsorter_form::ShellTreeView1Click);

    ListBox1 = new QListView(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setModel(m_files);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setLayoutMode(QListView::Batched);

    Edit1 = edit("Edit1");
    Edit2 = edit("Edit2");
    Edit3 = edit("Edit3");
    Edit4 = edit("Edit4");
    Edit5 = edit("Edit5");
    Label6 = label("Label6", QStringLiteral("Weight for next file"));
    Label1 = label("Label1", QStringLiteral("step"));
    Label2 = label("Label2", QStringLiteral("Replace string:"));
    Label3 = label("Label3", QStringLiteral("with string:"));

    ValueListEditor1 = new SortGrid(this);
    ValueListEditor1->setObjectName(QStringLiteral("ValueListEditor1"));
    ValueListEditor1->setList(m_list);
    ValueListEditor1->setSelectionMode(QAbstractItemView::SingleSelection);
    ValueListEditor1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                      | QAbstractItemView::AnyKeyPressed);
    ValueListEditor1->verticalHeader()->hide();
    ValueListEditor1->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    ValueListEditor1->horizontalHeader()->setHighlightSections(false);
    ValueListEditor1->setColumnWidth(0, 370);
    ValueListEditor1->setColumnWidth(1, 57);
    ValueListEditor1->setDragEnabled(true);
    ValueListEditor1->setAcceptDrops(true);
    ValueListEditor1->setDragDropMode(QAbstractItemView::DragDrop);
    ValueListEditor1->setDefaultDropAction(Qt::MoveAction);
    ValueListEditor1->setDropIndicatorShown(true);
    ValueListEditor1->setWordWrap(false);
    ValueListEditor1->setItemDelegate(new WeightMarkDelegate(ValueListEditor1));
    connect(ValueListEditor1, &QTableView::clicked, this, &Tsorter_form::ValueListEditor1Click);
    connect(ValueListEditor1, &SortGrid::keyUp, this, &Tsorter_form::ValueListEditor1KeyUp);
    // The list decides the current row; the grid follows it, and a row the
    // user moves to becomes the list's current row.
    connect(ValueListEditor1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &cur) {
                if (m_syncing || m_list->isReshaping() || !cur.isValid())
                    return;
                m_syncing = true;
                const int row = m_list->setCurrentRow(cur.row());
                m_syncing = false;
                if (row != cur.row())
                    showCurrentRow(row);
            });
    connect(m_list, &tree::SortList::currentRowChanged, this, [this](int row) {
        if (!m_syncing)
            showCurrentRow(row);
    });

    UpDown1 = new UpDownArrows(this);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    connect(UpDown1, &UpDownArrows::clicked, this, &Tsorter_form::UpDown1Click);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItems(tree::arrowSteps());
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QStringLiteral("1"));

    Button6 = ui::button(this, "Button6", QStringLiteral("+/-"), QStringLiteral("Toggle negative/positive"));
    Button1 = ui::button(this, "Button1", QStringLiteral("Sort"), QStringLiteral("Sort the list according to Weight"));
    Button4 = ui::button(this, "Button4", QStringLiteral("Delete Row"), QStringLiteral("Delete selected row"));
    Button17 = ui::button(this, "Button17", QStringLiteral("Clear List"), QStringLiteral("Clear list"));
    Button2 = ui::button(this, "Button2", QStringLiteral("Replace"));
    Button14 = ui::button(this, "Button14", QStringLiteral("Load List"));
    Button3 = ui::button(this, "Button3", QStringLiteral("Save List"));
    Button15 = ui::button(this, "Button15", QStringLiteral("Import List"),
                      QStringLiteral("Import List relative to the folder selected on left side"));
    Button16 = ui::button(this, "Button16", QStringLiteral("Export List"),
                      QStringLiteral("Export List relative to the folder selected on left side"));
    Button13 = ui::button(this, "Button13", QStringLiteral("Add to list"), QStringLiteral("Add selected file or folder to list"));
    Button11 = ui::button(this, "Button11", QStringLiteral("Close"));
    connect(Button6, &QPushButton::clicked, this, &Tsorter_form::Button6Click);
    connect(Button1, &QPushButton::clicked, this, &Tsorter_form::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &Tsorter_form::Button4Click);
    connect(Button17, &QPushButton::clicked, this, &Tsorter_form::Button17Click);
    connect(Button2, &QPushButton::clicked, this, &Tsorter_form::Button2Click);
    connect(Button14, &QPushButton::clicked, this, &Tsorter_form::Button14Click);
    connect(Button3, &QPushButton::clicked, this, &Tsorter_form::Button3Click);
    connect(Button15, &QPushButton::clicked, this, &Tsorter_form::Button15Click);
    connect(Button16, &QPushButton::clicked, this, &Tsorter_form::Button16Click);
    connect(Button13, &QPushButton::clicked, this, &Tsorter_form::Button13Click);
    connect(Button11, &QPushButton::clicked, this, &Tsorter_form::Button11Click);
    ShowOrderBT = ui::button(this, "ShowOrderBT", QStringLiteral("Show order"),
                               QStringLiteral("Show the files of an image by first sector, with this list's weights"));
    connect(ShowOrderBT, &QPushButton::clicked, this, &Tsorter_form::ShowOrderBTClick);

    // Left: where entries come from. Right: the list and what acts on it.
    auto *left = new QVBoxLayout;
    left->addWidget(ShellTreeView1, 3);
    left->addWidget(ListBox1, 2);
    left->addWidget(Edit1);

    auto *arrows = new QHBoxLayout;
    arrows->addWidget(UpDown1);
    arrows->addWidget(ComboBox1);
    arrows->addWidget(Button6);
    arrows->addStretch(1);
    arrows->addWidget(Button1);
    arrows->addWidget(Button4);
    arrows->addWidget(Button17);

    auto *replace = new QHBoxLayout;
    replace->addWidget(Label2);
    replace->addWidget(Edit4, 1);
    replace->addWidget(Label3);
    replace->addWidget(Edit5, 1);
    replace->addWidget(Button2);

    auto *files = new QHBoxLayout;
    for (QPushButton *b : {Button14, Button3, Button15, Button16})
        files->addWidget(b);
    files->addWidget(ShowOrderBT);

    auto *add = new QHBoxLayout;
    add->addWidget(Label6);
    add->addWidget(Edit2);
    add->addWidget(Label1);
    add->addWidget(Edit3);
    add->addWidget(Button13);

    auto *close = new QHBoxLayout;
    close->addStretch(1);
    close->addWidget(Button11);

    auto *right = new QVBoxLayout;
    right->addWidget(ValueListEditor1, 1);
    right->addLayout(arrows);
    right->addLayout(replace);
    right->addLayout(add);
    right->addLayout(files);
    right->addLayout(close);

    auto *main = new QHBoxLayout(this);
    main->addLayout(left, 1);
    main->addLayout(right, 1);
    resize(928, 697);
}

Tsorter_form::~Tsorter_form()
{
    // A listing still under way ends first; its thread object is ours to
    // free, since its finished signal can no longer reach this window.
    for (QThread *t : std::as_const(m_listers)) {
        t->wait();
        delete t;
    }
}

void Tsorter_form::selectFolder(const QString &path) { ShellTreeView1->selectPath(path); }

QString Tsorter_form::selectedFolder() const { return ShellTreeView1->selectedPath(); }

void Tsorter_form::showCurrentRow(int row)
{
    m_syncing = true;
    const int column = std::max(0, ValueListEditor1->currentIndex().column());
    ValueListEditor1->setCurrentIndex(m_list->index(row, column));
    m_syncing = false;
}

void Tsorter_form::ShellTreeView1Change()
{
    const QString folder = selectedFolder();
    Edit1->setText(folder);
    m_files->setStringList({});
    // Large folders are listed off the event loop; a later selection
    // supersedes an earlier listing still under way.
    const quint64 ticket = ++m_listing;
    QThread *t = QThread::create([this, folder, ticket] {
        QStringList files;
        tree::listFolder(folder, platform::kAllAttributes, platform::kDirectory, false, &files);
        QMetaObject::invokeMethod(
            this,
            [this, ticket, files = std::move(files)] {
                if (ticket != m_listing)
                    return;
                m_files->setStringList(files);
                emit fileListFilled();
            },
            Qt::QueuedConnection);
    });
    m_listers.append(t);
    connect(t, &QThread::finished, this, [this, t] {
        m_listers.removeOne(t);
        t->deleteLater();
    });
    t->start();
}

void Tsorter_form::ShellTreeView1Click() { ListBox1->clearSelection(); }

void Tsorter_form::updateNextWeight()
{
    tree::Numbering f{Edit2->text(), Edit3->text()};
    if (const auto error = tree::updateNextWeight(*m_list, f))
        ui::dialogs().error(this, *error);
    else
        Edit2->setText(f.nextWeight);
}

void Tsorter_form::ValueListEditor1Click() { updateNextWeight(); }

void Tsorter_form::ValueListEditor1KeyUp() { updateNextWeight(); }

void Tsorter_form::UpDown1Click(bool up)
{
    const int i = ComboBox1->currentIndex();
    if (i < 0)
        return;
    m_list->stepWeight(up, ComboBox1->itemText(i).toInt());
}

void Tsorter_form::Button6Click() { m_list->negateWeight(); }

void Tsorter_form::Button1Click()
{
    QString error;
    m_list->sort(&error);
    if (!error.isEmpty())
        ui::dialogs().error(this, error);
}

void Tsorter_form::Button4Click()
{
    m_list->deleteRow();
    ValueListEditor1->viewport()->update();
}

void Tsorter_form::Button17Click() { m_list->clear(); }

void Tsorter_form::Button2Click() { m_list->replace(Edit4->text(), Edit5->text()); }

void Tsorter_form::readList(bool import)
{
    m_list->clear();
    const QString path = ui::dialogs().openFile(this, listDialog(false));
    if (path.isEmpty())
        return;
    QByteArray text;
    QString error;
    if (!tree::readSortFileBytes(path, &text, &error)) {
        ui::dialogs().error(this, error);
        return;
    }
    // The grid follows the sorter's own reading; what genisoimage will
    // make of the same bytes is said as Check and spindle-cli order say it.
    const QStringList verdict = tree::genisoimageVerdict(text);
    tree::SortSpans rows = tree::parseFileText(std::move(text), !import);
    if (import && !rows.rows.empty()) {
        Edit1->setText(tree::baseFolder(Edit1->text()));
        rows = tree::joinedTo(Edit1->text(), rows);
    }
    const tree::WeightCheck check = tree::checkWeights(rows);
    m_list->insertSpans(std::move(rows));
    QStringList notes;
    if (check.count > 0)
        notes << tree::noValidWeightText(check);
    if (!verdict.isEmpty())
        notes << QStringLiteral("genisoimage and this file:") + QLatin1Char('\n') + verdict.join(QLatin1Char('\n'));
    if (!notes.isEmpty())
        ui::dialogs().info(this, notes.join(QStringLiteral("\n\n")));
}

void Tsorter_form::writeList(bool exportRelative)
{
    const QString path = ui::dialogs().saveFile(this, listDialog(true));
    if (path.isEmpty())
        return;
    QString error;
    const QString base = exportRelative ? tree::exportBase(Edit1->text()) : QString();
    if (!tree::writeSortFile(path, *m_list, base, &error))
        ui::dialogs().error(this, error);
}

void Tsorter_form::Button14Click() { readList(false); }

void Tsorter_form::Button3Click() { writeList(false); }

void Tsorter_form::Button15Click() { readList(true); }

void Tsorter_form::Button16Click() { writeList(true); }

void Tsorter_form::Button13Click()
{
    // The selected files in list order.
    QStringList selected;
    QItemSelection ranges = ListBox1->selectionModel()->selection();
    std::sort(ranges.begin(), ranges.end(),
              [](const QItemSelectionRange &a, const QItemSelectionRange &b) { return a.top() < b.top(); });
    const QStringList &files = m_files->stringList();
    for (const QItemSelectionRange &r : ranges)
        for (int row = r.top(); row <= r.bottom(); ++row)
            selected.append(files.at(row));
    tree::Numbering f{Edit2->text(), Edit3->text()};
    if (const auto error = tree::addToList(*m_list, selected, selectedFolder(), f)) {
        ui::dialogs().error(this, *error);
        return;
    }
    Edit2->setText(f.nextWeight);
    Edit3->setText(f.step);
}

void Tsorter_form::Button11Click() { close(); }

// The files of an image the user picks, by first sector, against the list
// as it stands; in a box beside the window that the user can read and copy.
void Tsorter_form::ShowOrderBTClick()
{
    ui::FileDialogOptions o;
    o.caption = QStringLiteral("Show order");
    o.filter = QStringLiteral("ISO images|*.iso|All files|*");
    o.defaultExt = QStringLiteral("iso");
    const QString image = ui::dialogs().openFile(this, o);
    if (image.isEmpty())
        return;
    QList<QPair<QString, QString>> rows;
    if (!m_list->isEmptyList())
        for (qsizetype i = 0; i < m_list->size(); ++i)
            rows.append({m_list->at(i).path,
                         platform::decodePath(m_list->weightBytesOf(m_list->pathBytes(i)).toByteArray())});
    const iso::OrderReport report = iso::orderReport(image, rows);
    if (!report.ok) {
        ui::dialogs().error(this, QStringLiteral("Cannot read the image \"%1\": %2").arg(image, report.error));
        return;
    }
    const QString &text = report.text;
    if (!m_orderBox) {
        m_orderBox = new QDialog(this);
        m_orderBox->setObjectName(QStringLiteral("OrderBox"));
        m_orderText = new QPlainTextEdit(m_orderBox);
        m_orderText->setObjectName(QStringLiteral("OrderMemo"));
        m_orderText->setReadOnly(true);
        m_orderText->setLineWrapMode(QPlainTextEdit::NoWrap);
        m_orderText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        auto *close = ui::button(m_orderBox, "OrderCloseBT", QStringLiteral("Close"));
        connect(close, &QPushButton::clicked, m_orderBox, &QDialog::hide);
        auto *lay = new QVBoxLayout(m_orderBox);
        lay->addWidget(m_orderText, 1);
        auto *row = new QHBoxLayout;
        row->addStretch(1);
        row->addWidget(close);
        lay->addLayout(row);
        m_orderBox->resize(820, 560);
    }
    m_orderBox->setWindowTitle(QStringLiteral("Image order"));
    m_orderText->setPlainText(text);
    m_orderBox->show();
    m_orderBox->raise();
}
