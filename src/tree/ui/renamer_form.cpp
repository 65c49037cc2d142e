#include "tree/ui/renamer_form.h"

#include "ui/dialogs.h"
#include "ui/folder_tree.h"
#include "ui/style.h"
#include "platform/platform.h"
#include "tree/rename_plan.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QListWidget *listBox(QWidget *parent, const char *name)
{
    auto *l = new QListWidget(parent);
    l->setObjectName(QLatin1String(name));
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setUniformItemSizes(true); // long lists stay quick
    return l;
}

QStringList texts(const QListWidget *l)
{
    QStringList out;
    out.reserve(l->count());
    for (int i = 0; i < l->count(); ++i)
        out.append(l->item(i)->text());
    return out;
}

// Each row keeps where it lies below the folder Step 2 listed
// (tree::beneath), so no write follows a link below that folder; rows added
// otherwise count as entries of their own folder.
constexpr int kNamesRole = Qt::UserRole, kDeviceRole = Qt::UserRole + 1, kInodeRole = Qt::UserRole + 2;

platform::Beneath placeOf(const QListWidgetItem *item)
{
    return {std::max(item->data(kNamesRole).toInt(), 1), item->data(kDeviceRole).toULongLong(),
            item->data(kInodeRole).toULongLong()};
}

QList<platform::Beneath> places(const QListWidget *l)
{
    QList<platform::Beneath> out;
    out.reserve(l->count());
    for (int i = 0; i < l->count(); ++i)
        out.append(placeOf(l->item(i)));
    return out;
}

void addRow(QListWidget *l, const QString &text, const platform::Beneath &where)
{
    auto *item = new QListWidgetItem(text);
    item->setData(kNamesRole, where.names);
    item->setData(kDeviceRole, qulonglong(where.device));
    item->setData(kInodeRole, qulonglong(where.inode));
    l->addItem(item);
}

// Gives the rows their new texts, keeping the selection.
void retext(QListWidget *l, const QStringList &now)
{
    for (int i = 0; i < l->count() && i < now.size(); ++i)
        if (QListWidgetItem *item = l->item(i); item->text() != now[i])
            item->setText(now[i]);
}

void removeSelected(QListWidget *l)
{
    QList<std::pair<QString, platform::Beneath>> kept;
    for (int i = 0; i < l->count(); ++i)
        if (!l->item(i)->isSelected())
            kept.append({l->item(i)->text(), placeOf(l->item(i))});
    if (kept.size() == l->count())
        return;
    l->clear();
    for (const auto &[text, where] : kept)
        addRow(l, text, where);
}

QGroupBox *group(QWidget *parent, const char *name, const QString &caption, std::initializer_list<QCheckBox *> boxes)
{
    auto *g = new QGroupBox(caption, parent);
    g->setObjectName(QLatin1String(name));
    auto *v = new QVBoxLayout(g);
    for (QCheckBox *b : boxes)
        v->addWidget(b);
    return g;
}

// A click that leaves a box checked unchecks its partner.
void partnerClick(QCheckBox *clicked, QCheckBox *partner)
{
    if (clicked->isChecked())
        partner->setChecked(false);
}
} // namespace

Trenamer_form::Trenamer_form(base::DebugLog &log, QWidget *parent)
    : QDialog(parent, Qt::Dialog | ui::kToolWindowFlags), m_log(log)
{
    ui::setUpWindow(this, "renamer_form", QStringLiteral("Case and Attributes"));

    ShellTreeView1 = new ui::FolderTree(this);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setEnabled(false);
    Button1 = ui::button(this, "Button1", QStringLiteral(">>"));
    ListBox1 = listBox(this, "ListBox1");
    Button8 = ui::button(this, "Button8", QStringLiteral("Clear"));
    Button9 = ui::button(this, "Button9", QStringLiteral("Clear Selected"));
    Button10 = ui::button(this, "Button10", QStringLiteral("Select All"));
    Button2 = ui::button(this, "Button2", QStringLiteral(">>"));
    ListBox2 = listBox(this, "ListBox2");
    Button6 = ui::button(this, "Button6", QStringLiteral("Clear"));
    Button7 = ui::button(this, "Button7", QStringLiteral("Clear Selected"));
    Button4 = ui::button(this, "Button4", QStringLiteral("To Uppercase"));
    Button3 = ui::button(this, "Button3", QStringLiteral("To Lowercase"));
    Button5 = ui::button(this, "Button5", QStringLiteral("Change Attrib."));
    Button11 = ui::button(this, "Button11", QStringLiteral("Close"));

    CheckBox1 = checkBox("CheckBox1", QStringLiteral("include selected folder"), true);
    CheckBox3 = checkBox("CheckBox3", QStringLiteral("include subfolders"), false);
    CheckBox2 = checkBox("CheckBox2", QStringLiteral("include files"), true);
    CheckBox4 = checkBox("CheckBox4", QStringLiteral("Read only"), false);
    CheckBox5 = checkBox("CheckBox5", QStringLiteral("Archive"), false);
    CheckBox6 = checkBox("CheckBox6", QStringLiteral("Hidden"), false);
    CheckBox7 = checkBox("CheckBox7", QStringLiteral("System"), false);
    CheckBox8 = checkBox("CheckBox8", QStringLiteral("Read only"), false);
    CheckBox9 = checkBox("CheckBox9", QStringLiteral("Archive"), false);
    CheckBox10 = checkBox("CheckBox10", QStringLiteral("Hidden"), false);
    CheckBox11 = checkBox("CheckBox11", QStringLiteral("System"), false);
    GroupBox1 = group(this, "GroupBox1", QStringLiteral("Include"), {CheckBox1, CheckBox3, CheckBox2});
    GroupBox2 = group(this, "GroupBox2", QStringLiteral("Set Attributes"), {CheckBox4, CheckBox5, CheckBox6, CheckBox7});
    GroupBox3 = group(this, "GroupBox3", QStringLiteral("Remove Attr."), {CheckBox8, CheckBox9, CheckBox10, CheckBox11});

    Label1 = new QLabel(QStringLiteral("Attention: if you have folder opened in other application, it can't be renamed"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    QPalette red = Label1->palette();
    red.setColor(QPalette::WindowText, QColor(160, 0, 0)); // dark enough to read on sky blue
    Label1->setPalette(red);
    // Only where an open folder really blocks a rename.
    Label1->setHidden(!platform::openFoldersBlockRenames());

    connect(ShellTreeView1, &ui::FolderTree::pathChanged, this, &Trenamer_form::ShellTreeView1Change);
    connect(Button1, &QPushButton::clicked, this, &Trenamer_form::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Trenamer_form::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Trenamer_form::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Trenamer_form::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &Trenamer_form::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &Trenamer_form::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &Trenamer_form::Button7Click);
    connect(Button8, &QPushButton::clicked, this, &Trenamer_form::Button8Click);
    connect(Button9, &QPushButton::clicked, this, &Trenamer_form::Button9Click);
    connect(Button10, &QPushButton::clicked, this, &Trenamer_form::Button10Click);
    connect(Button11, &QPushButton::clicked, this, &Trenamer_form::Button11Click);
    connect(CheckBox4, &QCheckBox::clicked, this, &Trenamer_form::CheckBox4Click);
    connect(CheckBox5, &QCheckBox::clicked, this, &Trenamer_form::CheckBox5Click);
    connect(CheckBox6, &QCheckBox::clicked, this, &Trenamer_form::CheckBox6Click);
    connect(CheckBox7, &QCheckBox::clicked, this, &Trenamer_form::CheckBox7Click);
    connect(CheckBox8, &QCheckBox::clicked, this, &Trenamer_form::CheckBox8Click);
    connect(CheckBox9, &QCheckBox::clicked, this, &Trenamer_form::CheckBox9Click);
    connect(CheckBox10, &QCheckBox::clicked, this, &Trenamer_form::CheckBox10Click);
    connect(CheckBox11, &QCheckBox::clicked, this, &Trenamer_form::CheckBox11Click);

    // Step 1: the tree and the Include options.
    auto *step1 = new QVBoxLayout;
    step1->addWidget(ShellTreeView1, 1);
    step1->addWidget(Edit1);
    step1->addWidget(GroupBox1);
    // Step 3: the candidates.
    auto *candidateButtons = new QHBoxLayout;
    candidateButtons->addWidget(Button8);
    candidateButtons->addWidget(Button9);
    candidateButtons->addWidget(Button10);
    auto *step3 = new QVBoxLayout;
    step3->addWidget(ListBox1, 1);
    step3->addLayout(candidateButtons);
    // The work list.
    auto *workButtons = new QHBoxLayout;
    workButtons->addWidget(Button6);
    workButtons->addWidget(Button7);
    auto *work = new QVBoxLayout;
    work->addWidget(ListBox2, 1);
    work->addLayout(workButtons);
    // The operations.
    auto *ops = new QVBoxLayout;
    ops->addWidget(Button4);
    ops->addWidget(Button3);
    ops->addSpacing(6);
    ops->addWidget(GroupBox2);
    ops->addWidget(GroupBox3);
    ops->addWidget(Button5);
    ops->addStretch(1);
    ops->addWidget(Label1);
    ops->addStretch(1);
    ops->addWidget(Button11);

    for (QPushButton *b : {Button1, Button2})
        b->setFixedWidth(40);
    auto *row = new QHBoxLayout(this);
    row->addLayout(step1, 5);
    row->addWidget(Button1);
    row->addLayout(step3, 6);
    row->addWidget(Button2);
    row->addLayout(work, 6);
    row->addLayout(ops, 3);
    resize(1010, 522);
}

QCheckBox *Trenamer_form::checkBox(const char *name, const QString &caption, bool checked)
{
    auto *c = new QCheckBox(caption, this);
    c->setObjectName(QLatin1String(name));
    c->setChecked(checked);
    return c;
}

void Trenamer_form::ShellTreeView1Change(const QString &path) { Edit1->setText(path); }

void Trenamer_form::Button1Click()
{
    const QString folder = ShellTreeView1->selectedPath();
    if (folder.isEmpty())
        return; // no folder chosen yet
    quint64 device = 0, inode = 0;
    platform::folderIdentity(folder, &device, &inode);
    const QStringList found =
        tree::stepTwo(folder, CheckBox1->isChecked(), CheckBox2->isChecked(), CheckBox3->isChecked());
    ListBox1->setUpdatesEnabled(false);
    for (const QString &path : found)
        addRow(ListBox1, path, tree::beneath(folder, path, device, inode));
    ListBox1->setUpdatesEnabled(true);
}

void Trenamer_form::Button2Click()
{
    for (int i = 0; i < ListBox1->count(); ++i)
        if (const QListWidgetItem *item = ListBox1->item(i); item->isSelected())
            addRow(ListBox2, item->text(), placeOf(item));
}

void Trenamer_form::changeCase(bool upper)
{
    if (ListBox2->count() == 0)
        return;
    QStringList work = texts(ListBox2), candidates = texts(ListBox1);
    // The chosen folder rides along with the candidates, so a rename of it
    // (or of a folder above it) gives its new path too.
    const QString chosen = ShellTreeView1->selectedPath();
    if (!chosen.isEmpty())
        candidates.append(chosen);
    const tree::Case to = upper ? tree::Case::Upper : tree::Case::Lower;
    tree::CaseSummary summary;
    QStringList notRenamed;
    const int renamed = tree::changeCase(
        &work, &candidates, to,
        [this, &notRenamed](const QString &path, const QString &reason, bool folder) {
            notRenamed << tree::notRenamedText(path, reason, folder);
            ui::dialogs().info(this, notRenamed.last());
        },
        places(ListBox2), &summary);
    const QString chosenNow = chosen.isEmpty() ? chosen : candidates.takeLast();
    if (renamed) {
        retext(ListBox2, work);
        retext(ListBox1, candidates);
    }
    // The tree and the field follow the chosen folder to its new name
    // instead of whatever the tree selects once the old name is gone.
    if (!chosen.isEmpty() && chosenNow != chosen)
        ShellTreeView1->followRenamed(chosenNow);
    const QString text = tree::caseSummaryText(summary, to);
    m_log.entry(QStringLiteral("Case and Attributes: %1 on %2 entries")
                    .arg(upper ? QStringLiteral("To Uppercase") : QStringLiteral("To Lowercase"))
                    .arg(ListBox2->count()));
    notRenamed << text;
    m_log.text(notRenamed.join(QLatin1Char('\n')));
    ui::dialogs().info(this, text);
}

void Trenamer_form::Button3Click() { changeCase(false); }

void Trenamer_form::Button4Click() { changeCase(true); }

void Trenamer_form::Button5Click()
{
    quint16 set = 0, clear = 0;
    const struct
    {
        QCheckBox *setBox, *clearBox;
        quint16 bit;
    } pairs[] = {{CheckBox4, CheckBox8, platform::kReadOnly},
                 {CheckBox5, CheckBox9, platform::kArchive},
                 {CheckBox6, CheckBox10, platform::kHidden},
                 {CheckBox7, CheckBox11, platform::kSystem}};
    QStringList setNames, clearNames;
    for (const auto &p : pairs) {
        if (p.setBox->isChecked()) {
            set |= p.bit;
            setNames << p.setBox->text();
        }
        if (p.clearBox->isChecked()) {
            clear |= p.bit;
            clearNames << p.clearBox->text();
        }
    }
    if (ListBox2->count() == 0)
        return;
    const QStringList work = texts(ListBox2);
    const QList<tree::Failure> failed = tree::changeAttributes(work, set, clear, places(ListBox2));
    const QString text = tree::attributeSummaryText(work, set, failed);
    const auto names = [](const QStringList &l) { return l.isEmpty() ? QStringLiteral("nothing") : l.join(QStringLiteral(", ")); };
    m_log.entry(QStringLiteral("Case and Attributes: Change Attrib. on %1 entries, set %2, remove %3")
                    .arg(work.size())
                    .arg(names(setNames), names(clearNames)));
    m_log.text(text);
    ui::dialogs().info(this, text);
}

void Trenamer_form::Button6Click() { ListBox2->clear(); }

void Trenamer_form::Button7Click() { removeSelected(ListBox2); }

void Trenamer_form::Button8Click() { ListBox1->clear(); }

void Trenamer_form::Button9Click() { removeSelected(ListBox1); }

void Trenamer_form::Button10Click() { ListBox1->selectAll(); }

void Trenamer_form::Button11Click() { close(); }

void Trenamer_form::CheckBox4Click() { partnerClick(CheckBox4, CheckBox8); }
void Trenamer_form::CheckBox5Click() { partnerClick(CheckBox5, CheckBox9); }
void Trenamer_form::CheckBox6Click() { partnerClick(CheckBox6, CheckBox10); }
void Trenamer_form::CheckBox7Click() { partnerClick(CheckBox7, CheckBox11); }
void Trenamer_form::CheckBox8Click() { partnerClick(CheckBox8, CheckBox4); }
void Trenamer_form::CheckBox9Click() { partnerClick(CheckBox9, CheckBox5); }
void Trenamer_form::CheckBox10Click() { partnerClick(CheckBox10, CheckBox6); }
void Trenamer_form::CheckBox11Click() { partnerClick(CheckBox11, CheckBox7); }
