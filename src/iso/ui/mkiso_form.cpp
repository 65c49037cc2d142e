#include "iso/ui/mkiso_form.h"

#include "iso/check.h"

#include "ui/comments.h"
#include "base/debug_log.h"
#include "ui/dialogs.h"
#include "ui/selector.h"
#include "ui/style.h"
#include "iso/command_builder.h"
#include "exec/ui/console_capture.h"
#include "platform/platform.h"
#include "iso/template_file.h"
#include "iso/mkisofs_program.h"
#include "iso/weight_list.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

using iso::Opt;

namespace {
const QString kTemplateFilter = QStringLiteral("Make_ISO templates (*.mkiso)|*.mkiso");
} // namespace

TMkisofs_form::TMkisofs_form(const Uses &uses, QWidget *parent)
    : QDialog(parent, Qt::Dialog | ui::kToolWindowFlags), m_uses(uses)
{
    ui::setUpWindow(this, "Mkisofs_form", QStringLiteral("Make ISO"));

    CheckBox1 = check(Opt::Joliet);
    CheckBox3 = check(Opt::Joliet_long);
    CheckBox7 = check(Opt::full_ISO);
    CheckBox6 = check(Opt::max_ISO);
    CheckBox4 = check(Opt::RRRidge);
    CheckBox5 = check(Opt::ISO_level);
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setRange(1, 3);
    bindControl(SpinEdit1, Opt::ISO_level_value);
    CheckBox20 = check(Opt::ISO9660_1999);

    CheckBox8 = check(Opt::Omit_ver_nr);
    CheckBox9 = check(Opt::Verbose);
    CheckBox26 = check(Opt::duplicates_once);
    CheckBox12 = check(Opt::multidot);
    CheckBox21 = check(Opt::omit_period);
    CheckBox22 = check(Opt::allow_lowercase);
    CheckBox24 = check(Opt::no_iso_translate);
    CheckBox25 = check(Opt::relaxed_filenames);
    CheckBox16 = check(Opt::charset);
    Edit14 = edit(Opt::charset_value);

    CheckBox14 = check(Opt::boot_cat);
    CheckBox15 = check(Opt::joliet_boot_cat);

    CheckBox2 = check(Opt::sorting);
    Edit17 = edit(Opt::sorting_list);
    Button5 = button("Button5", QStringLiteral("..."));
    OtherParam = check(Opt::other_param);
    Edit6 = edit(Opt::other_param_value);
    CheckBox23 = check(Opt::other_param_2);
    Edit16 = edit(Opt::other_param_value_2);

    Edit7 = edit(Opt::root_folder);
    Edit8 = edit(Opt::output_folder);
    Edit13 = edit(Opt::output_filename);
    Edit9 = edit(Opt::batch_folder);
    Edit12 = edit(Opt::mkisofs_folder);
    Button1 = button("Button1", QStringLiteral("..."));
    Button2 = button("Button2", QStringLiteral("..."));
    Button3 = button("Button3", QStringLiteral("..."));
    Button4 = button("Button4", QStringLiteral("..."));

    CheckBoot = check(Opt::bootable);
    Edit5 = edit(Opt::boot_image);
    BTopenBimg = button("BTopenBimg", QStringLiteral("..."));
    NoEmulBox = check(Opt::no_emulation);
    CheckBox17 = check(Opt::boot_info_table);
    CheckBox18 = check(Opt::boot_load_segment);
    Edit10 = edit(Opt::blsegment_value);
    CheckBox19 = check(Opt::boot_load_size);
    Edit11 = edit(Opt::blsize_value);

    Edit1 = edit(Opt::preparer);
    Edit2 = edit(Opt::volume_ID);
    Edit3 = edit(Opt::app_ID);
    Edit4 = edit(Opt::publisher_ID);
    Edit15 = edit(Opt::sys_ID);

    ClearBT = button("ClearBT", QStringLiteral("Clear All"));
    OpenTemplate = button("OpenTemplate", QStringLiteral("OpenTemplate"));
    SaveTemplate = button("SaveTemplate", QStringLiteral("SaveTemplate"));
    Button6 = button("Button6", QStringLiteral("Comments"));
    MkBatBT = button("MkBatBT", QStringLiteral("Make Batch"));
    RunBatBT = button("RunBatBT", QStringLiteral("Run Batch"));
    CheckBT = button("CheckBT", QStringLiteral("Check"));
    Quit = button("Quit", QStringLiteral("Close"));

    // The browse buttons follow their fields.
    m_keyOf.insert(Button5, Opt::sorting_list);
    m_keyOf.insert(BTopenBimg, Opt::boot_image);

    // Boxes with a handler of their own; the others only pass their state on.
    bindHandler(CheckBoot, &TMkisofs_form::CheckBootClick);
    bindHandler(CheckBox18, &TMkisofs_form::CheckBox18Click);
    bindHandler(CheckBox19, &TMkisofs_form::CheckBox19Click);
    bindHandler(CheckBox16, &TMkisofs_form::CheckBox16Click);
    bindHandler(OtherParam, &TMkisofs_form::OtherParamClick);
    bindHandler(CheckBox23, &TMkisofs_form::CheckBox23Click);
    bindHandler(CheckBox2, &TMkisofs_form::CheckBox2Click);
    bindHandler(CheckBox5, &TMkisofs_form::CheckBox5Click);
    bindHandler(CheckBox20, &TMkisofs_form::CheckBox20Click);
    bindHandler(CheckBox6, &TMkisofs_form::CheckBox6Click);
    bindHandler(CheckBox7, &TMkisofs_form::CheckBox7Click);
    for (QWidget *w : m_controls)
        if (auto *box = qobject_cast<QCheckBox *>(w); box && !box->property("hasHandler").toBool())
            connect(box, &QCheckBox::toggled, this, [this, box] { setCheckFromBox(box); });
    connect(Edit5, &QLineEdit::textChanged, this, &TMkisofs_form::Edit5Change);
    connect(Edit7, &QLineEdit::textChanged, this, &TMkisofs_form::Edit7Change);
    connect(Edit8, &QLineEdit::textChanged, this, &TMkisofs_form::Edit8Change);
    for (QWidget *w : m_controls)
        if (auto *e = qobject_cast<QLineEdit *>(w); e && e != Edit5 && e != Edit7 && e != Edit8)
            connect(e, &QLineEdit::textChanged, this, [this, e] { setTextFromEdit(e); });
    connect(SpinEdit1, &QSpinBox::valueChanged, &m_options, &iso::IsoOptions::setIsoLevel);

    connect(Button1, &QPushButton::clicked, this, &TMkisofs_form::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TMkisofs_form::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TMkisofs_form::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TMkisofs_form::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TMkisofs_form::Button5Click);
    connect(BTopenBimg, &QPushButton::clicked, this, &TMkisofs_form::BTopenBimgClick);
    connect(Button6, &QPushButton::clicked, this, &TMkisofs_form::Button6Click);
    connect(ClearBT, &QPushButton::clicked, this, &TMkisofs_form::ClearBTClick);
    connect(Quit, &QPushButton::clicked, this, &TMkisofs_form::QuitClick);
    connect(OpenTemplate, &QPushButton::clicked, this, &TMkisofs_form::OpenTemplateClick);
    connect(SaveTemplate, &QPushButton::clicked, this, &TMkisofs_form::SaveTemplateClick);
    connect(MkBatBT, &QPushButton::clicked, this, &TMkisofs_form::MkBatBTClick);
    connect(RunBatBT, &QPushButton::clicked, this, &TMkisofs_form::RunBatBTClick);
    connect(CheckBT, &QPushButton::clicked, this, &TMkisofs_form::CheckBTClick);
    connect(&m_options, &iso::IsoOptions::valueChanged, this, [this] { ++m_optionsRevision; });

    connect(&m_options, &iso::IsoOptions::valueChanged, this, &TMkisofs_form::showValue);
    connect(&m_options, &iso::IsoOptions::enabledChanged, this, [this](Opt key) { showEnabled(key); });
    connect(&m_options, &iso::IsoOptions::builderChanged, this, &TMkisofs_form::showAll);
    // The program behind the location decides what is offered.
    connect(&m_options, &iso::IsoOptions::valueChanged, this, [this](Opt key) {
        if (key == Opt::mkisofs_folder || key == Opt::batch_folder)
            iso::identifyBuilder(m_options);
    });
    showAll();

    // Focus coming back from the Comments or debug window re-runs activation.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        if (now && old && now->window() == this && old->window() != this)
            activatedFrom(old->window());
    });

    buildLayout();
}

// The Comments dialog is the program's, only lent while shown.
TMkisofs_form::~TMkisofs_form()
{
    if (m_uses.comments->parentWidget() == this)
        m_uses.comments->setParent(nullptr, m_uses.comments->windowFlags());
}

// A control shows its option's row: object name, caption, tooltip.
void TMkisofs_form::bindControl(QWidget *w, Opt key)
{
    const iso::OptionRow &r = iso::row(key);
    w->setObjectName(QLatin1String(r.control));
    // Kept for ui::setReason, which puts it back when a reason goes.
    w->setProperty("hint", QString::fromUtf8(r.tooltip));
    w->setToolTip(QString::fromUtf8(r.tooltip));
    m_controls[int(key)] = w;
    m_keyOf.insert(w, key);
}

QCheckBox *TMkisofs_form::check(Opt key)
{
    auto *b = new QCheckBox(QString::fromUtf8(iso::row(key).caption), this);
    bindControl(b, key);
    return b;
}

QLineEdit *TMkisofs_form::edit(Opt key)
{
    auto *e = new QLineEdit(this);
    bindControl(e, key);
    return e;
}

QPushButton *TMkisofs_form::button(const char *name, const QString &caption)
{
    auto *b = ui::button(this, name, caption);
    if (caption == QLatin1String("..."))
        b->setFixedWidth(28);
    return b;
}

void TMkisofs_form::bindHandler(QCheckBox *box, void (TMkisofs_form::*handler)())
{
    box->setProperty("hasHandler", true);
    connect(box, &QCheckBox::toggled, this, handler);
}

void TMkisofs_form::setCheckFromBox(QCheckBox *box) { m_options.setCheck(m_keyOf.value(box), box->isChecked()); }

void TMkisofs_form::setTextFromEdit(QLineEdit *e) { m_options.setText(m_keyOf.value(e), e->text()); }

void TMkisofs_form::showValue(Opt key)
{
    QWidget *w = m_controls[int(key)];
    if (auto *b = qobject_cast<QCheckBox *>(w)) {
        const QSignalBlocker block(b);
        // An option the program leaves off shows as off.
        b->setChecked(m_options.isOn(key));
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        const QString v = m_options.text(key);
        if (e->text() != v) {
            const QSignalBlocker block(e);
            const int pos = e->cursorPosition() - (e->text().size() - v.size());
            e->setText(v);
            e->setCursorPosition(qBound(0, pos, int(v.size())));
        }
    } else if (key == Opt::ISO_level_value) {
        const QSignalBlocker block(SpinEdit1);
        SpinEdit1->setValue(m_options.isoLevel());
    } else if (key == Opt::comment_1) {
        if (m_uses.comments->Memo1->toPlainText() != m_options.comments())
            m_uses.comments->Memo1->setPlainText(m_options.comments());
    }
}

void TMkisofs_form::showEnabled(Opt key)
{
    const bool on = m_options.isUsable(key);
    for (auto it = m_keyOf.cbegin(); it != m_keyOf.cend(); ++it)
        if (it.value() == key)
            qobject_cast<QWidget *>(it.key())->setEnabled(on);
}

void TMkisofs_form::showAll()
{
    for (int k = 0; k < iso::kOptionCount; ++k) {
        showValue(Opt(k));
        showEnabled(Opt(k));
        if (QWidget *w = m_controls[k])
            ui::setReason(w, m_options.offReason(Opt(k)));
    }
}

void TMkisofs_form::pullComments()
{
    m_options.setComments(m_uses.comments->Memo1->toPlainText());
}

void TMkisofs_form::buildLayout()
{
    auto vbox = [](QGroupBox *g, std::initializer_list<QWidget *> ws) {
        auto *l = new QVBoxLayout(g);
        for (QWidget *w : ws)
            l->addWidget(w);
        l->addStretch();
    };
    auto row = [](std::initializer_list<QWidget *> ws) {
        auto *l = new QHBoxLayout;
        for (QWidget *w : ws)
            l->addWidget(w);
        return l;
    };

    GroupFS = new QGroupBox(QStringLiteral("File system options"), this);
    GroupFS->setObjectName(QStringLiteral("GroupFS"));
    {
        auto *l = new QVBoxLayout(GroupFS);
        for (QWidget *w : {CheckBox1, CheckBox3, CheckBox7, CheckBox6, CheckBox4})
            l->addWidget(w);
        l->addLayout(row({CheckBox5, SpinEdit1}));
        l->addWidget(CheckBox20);
    }
    HideGroup = new QGroupBox(QStringLiteral("Hide"), this);
    HideGroup->setObjectName(QStringLiteral("HideGroup"));
    vbox(HideGroup, {CheckBox14, CheckBox15});

    GroupOptions = new QGroupBox(QStringLiteral("Advanced options"), this);
    GroupOptions->setObjectName(QStringLiteral("GroupOptions"));
    vbox(GroupOptions, {CheckBox8, CheckBox9, CheckBox26, CheckBox12, CheckBox21, CheckBox22, CheckBox24, CheckBox25,
                        CheckBox16, Edit14});

    FolderBox = new QGroupBox(QStringLiteral("Folders"), this);
    FolderBox->setObjectName(QStringLiteral("FolderBox"));
    {
        auto *g = new QGridLayout(FolderBox);
        const std::tuple<Opt, QPushButton *, QLineEdit *> rows[] = {
            {Opt::root_folder, Button1, Edit7}, {Opt::output_folder, Button2, Edit8},
            {Opt::output_filename, nullptr, Edit13}, {Opt::batch_folder, Button3, Edit9},
            {Opt::mkisofs_folder, Button4, Edit12}};
        int r = 0;
        for (const auto &[key, b, e] : rows) {
            QString text = QString::fromUtf8(iso::row(key).caption);
            if (key == Opt::mkisofs_folder) {
                const QString file = iso::mkisofsFileName();
                text = file.left(1).toUpper() + file.mid(1) + QStringLiteral(" location");
            }
            g->addWidget(new QLabel(text, FolderBox), r, 0);
            if (b)
                g->addWidget(b, r, 1);
            g->addWidget(e, r, 2);
            ++r;
        }
    }
    GroupBoot = new QGroupBox(QStringLiteral("Bootable CD Options"), this);
    GroupBoot->setObjectName(QStringLiteral("GroupBoot"));
    {
        auto *l = new QVBoxLayout(GroupBoot);
        l->addWidget(CheckBoot);
        auto *img = new QHBoxLayout;
        img->addWidget(new QLabel(QString::fromUtf8(iso::row(Opt::boot_image).caption), GroupBoot));
        img->addWidget(BTopenBimg);
        img->addWidget(Edit5);
        l->addLayout(img);
        l->addWidget(NoEmulBox);
        l->addWidget(CheckBox17);
        l->addLayout(row({CheckBox18, Edit10}));
        l->addLayout(row({CheckBox19, Edit11}));
    }
    GroupInfo = new QGroupBox(QStringLiteral("Info section"), this);
    GroupInfo->setObjectName(QStringLiteral("GroupInfo"));
    {
        auto *g = new QGridLayout(GroupInfo);
        int r = 0;
        for (QLineEdit *e : {Edit1, Edit2, Edit3, Edit4, Edit15}) {
            g->addWidget(new QLabel(QString::fromUtf8(iso::row(m_keyOf.value(e)).caption), GroupInfo), r, 0);
            g->addWidget(e, r++, 1);
        }
    }
    Edit10->setMaximumWidth(70);
    Edit11->setMaximumWidth(70);

    auto *left = new QVBoxLayout;
    left->addWidget(GroupFS);
    left->addWidget(HideGroup);
    left->addLayout(row({CheckBox2, Button5, Edit17}));
    left->addWidget(OtherParam);
    left->addWidget(Edit6);
    left->addWidget(CheckBox23);
    left->addWidget(Edit16);
    left->addStretch();
    auto *middle = new QVBoxLayout;
    middle->addWidget(GroupOptions);
    middle->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(FolderBox);
    right->addWidget(GroupBoot);
    right->addWidget(GroupInfo);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left, 3);
    columns->addLayout(middle, 2);
    columns->addLayout(right, 4);
    auto *bottom = new QHBoxLayout;
    for (QWidget *w : {ClearBT, OpenTemplate, SaveTemplate, Button6})
        bottom->addWidget(w);
    bottom->addStretch();
    for (QWidget *w : {CheckBT, MkBatBT, RunBatBT, Quit})
        bottom->addWidget(w);
    auto *all = new QVBoxLayout(this);
    all->addLayout(columns, 1);
    all->addLayout(bottom);
    // Tight rows, so the whole option set fits the window's usual size.
    for (QLayout *l : findChildren<QLayout *>())
        l->setSpacing(2);
    resize(809, 553);
}

void TMkisofs_form::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    // After the window is on screen, so a message of step 3 comes on top.
    QTimer::singleShot(0, this, &TMkisofs_form::FormActivate);
}

void TMkisofs_form::activatedFrom(QWidget *previous)
{
    if (previous && m_uses.modeless.contains(previous))
        FormActivate();
}

void TMkisofs_form::FormActivate()
{
    m_uses.log->entry(QStringLiteral("entering Make ISO module"));
    m_dialogFolder = platform::spindleFolder();
    const QString mkisofs = platform::spindleFolder() + iso::mkisofsFileName();
    if (platform::fileExists(mkisofs)) {
        m_options.setText(Opt::mkisofs_folder, mkisofs);
    } else {
        ui::dialogs().plain(this, iso::missingMkisofsMessage());
        m_runBatchLocked = true;
        RunBatBT->setEnabled(false);
    }
}

void TMkisofs_form::CheckBootClick() { setCheckFromBox(CheckBoot); }
void TMkisofs_form::CheckBox18Click() { setCheckFromBox(CheckBox18); }
void TMkisofs_form::CheckBox19Click() { setCheckFromBox(CheckBox19); }
void TMkisofs_form::CheckBox16Click() { setCheckFromBox(CheckBox16); }
void TMkisofs_form::OtherParamClick() { setCheckFromBox(OtherParam); }
void TMkisofs_form::CheckBox23Click() { setCheckFromBox(CheckBox23); }
void TMkisofs_form::CheckBox2Click() { setCheckFromBox(CheckBox2); }
void TMkisofs_form::CheckBox5Click() { setCheckFromBox(CheckBox5); }
void TMkisofs_form::CheckBox20Click() { setCheckFromBox(CheckBox20); }
void TMkisofs_form::CheckBox6Click() { setCheckFromBox(CheckBox6); }
void TMkisofs_form::CheckBox7Click() { setCheckFromBox(CheckBox7); }
void TMkisofs_form::Edit5Change() { setTextFromEdit(Edit5); }
void TMkisofs_form::Edit7Change() { setTextFromEdit(Edit7); }
void TMkisofs_form::Edit8Change() { setTextFromEdit(Edit8); }

// Opens Select Folder at the field's folder; a cancelled dialog leaves the
// field as it was.
void TMkisofs_form::pickFolderInto(Opt key)
{
    const QString folder = ui::pickFolder(m_uses.selectFolder, m_options.text(key));
    if (!folder.isEmpty())
        m_options.setText(key, folder);
}

void TMkisofs_form::Button1Click() { pickFolderInto(Opt::root_folder); }
void TMkisofs_form::Button2Click() { pickFolderInto(Opt::output_folder); }
void TMkisofs_form::Button3Click() { pickFolderInto(Opt::batch_folder); }

ui::FileDialogOptions TMkisofs_form::dialogOptions() const
{
    ui::FileDialogOptions o;
    o.directory = m_dialogFolder;
    return o;
}

void TMkisofs_form::Button4Click()
{
    ui::FileDialogOptions o = dialogOptions();
    const QString name = iso::mkisofsFileName();
    o.filter = platform::exeSuffix().isEmpty() ? QStringLiteral("%1|%1|All files|*").arg(name)
                                               : QStringLiteral("%1|%1|EXE files|*.exe").arg(name);
    const QString path = ui::dialogs().openFile(this, o);
    if (!path.isEmpty())
        m_options.setText(Opt::mkisofs_folder, path);
}

void TMkisofs_form::Button5Click()
{
    ui::FileDialogOptions o = dialogOptions();
    o.filter = QStringLiteral("List Files (*.lst)|*.lst|All Files|*.*");
    o.defaultExt = QStringLiteral("lst");
    const QString path = ui::dialogs().openFile(this, o);
    if (path.isEmpty())
        return;
    m_options.setText(Opt::sorting_list, platform::slashForm(path));
}

void TMkisofs_form::BTopenBimgClick()
{
    ui::FileDialogOptions o = dialogOptions();
    o.filter = QStringLiteral("Boot sectors (*.bin)|*.bin|Image Files (*.img)|*.img|WinImage files (*.ima)|*.ima|"
                              "All recognized files|*.bin;*.img;*.ima|All files|*.*");
    o.filterIndex = 4;
    const QString path = ui::dialogs().openFile(this, o);
    if (!path.isEmpty())
        m_options.setText(Opt::boot_image, path);
}

void TMkisofs_form::Button6Click()
{
    TComments_form *c = m_uses.comments;
    // A window of this modal one, so it stays usable beside it.
    if (c->parentWidget() != this)
        c->setParent(this, c->windowFlags());
    c->show();
    c->raise();
    c->activateWindow();
}

void TMkisofs_form::ClearBTClick()
{
    if (!ui::dialogs().confirm(this, QStringLiteral("Are you sure ? ")))
        return;
    pullComments();
    m_options.clearAll();
}

void TMkisofs_form::QuitClick() { close(); }

void TMkisofs_form::OpenTemplateClick()
{
    ui::FileDialogOptions o = dialogOptions();
    o.filter = kTemplateFilter;
    const QString path = ui::dialogs().openFile(this, o);
    if (path.isEmpty())
        return;
    pullComments();
    QString error;
    switch (iso::loadTemplate(path, m_options, &error)) {
    case iso::LoadResult::WrongVersion:
        ui::dialogs().info(this, QStringLiteral("Wrong file version"));
        return;
    case iso::LoadResult::Unreadable:
        ui::dialogs().error(this, platform::cannotOpenText(path, error));
        return;
    case iso::LoadResult::Refused:
        ui::dialogs().error(this, error);
        return;
    case iso::LoadResult::Loaded:
        break;
    }
    if (!m_options.comments().isEmpty()
        && ui::dialogs().confirm(this, QStringLiteral("This template contains comments. Show comments ? ")))
        Button6Click();
}

void TMkisofs_form::SaveTemplateClick()
{
    ui::FileDialogOptions o = dialogOptions();
    o.filter = kTemplateFilter;
    o.defaultExt = QStringLiteral("mkiso");
    o.overwritePrompt = true;
    const QString path = ui::dialogs().saveFile(this, o);
    if (path.isEmpty())
        return;
    pullComments();
    QString error;
    if (!iso::saveTemplate(path, m_options, &error))
        ui::dialogs().error(this, error);
}

void TMkisofs_form::MkBatBTClick()
{
    const iso::BuiltCommand built = iso::buildCommandLine(m_options);
    for (const QString &m : built.messages)
        ui::dialogs().info(this, m);
    const QString folder = m_options.text(Opt::batch_folder);
    if (folder.isEmpty())
        ui::dialogs().info(this, QStringLiteral("Batch folder isn't specified"));
    // An incomplete command line, or no folder to put it in: nothing is
    // written, so no earlier build.bat is replaced by a broken one.
    if (!built.messages.isEmpty() || folder.isEmpty())
        return;
    const iso::MkisoPaths paths = iso::resolvePaths(m_options);
    QString error;
    if ((iso::needsWeightList(m_options) && !iso::writeWeightList(m_options, &error))
        || !iso::writeBatchFile(paths.batchFile, built.command, &error)) {
        ui::dialogs().error(this, error);
        return;
    }
    m_dialogFolder = paths.runFolder;
}

void TMkisofs_form::RunBatBTClick()
{
    if (m_runBatchLocked)
        return;
    const QString folder = m_options.text(Opt::batch_folder);
    if (folder.isEmpty()) {
        ui::dialogs().info(this, QStringLiteral("Batch folder isn't specified"));
        return;
    }
    const iso::MkisoPaths paths = iso::resolvePaths(m_options);
    const QString &batchFolder = paths.runFolder;
    const QString &batchPath = paths.batchFile;
    if (!platform::fileExists(batchPath)) {
        ui::dialogs().info(
            this, QStringLiteral("There is no build.bat in %1 yet: press Make Batch first.").arg(batchFolder));
        return;
    }
    // Once the user has checked, a Run Batch after a change checks again.
    if (m_checkedRevision != kNeverChecked && m_checkedRevision != m_optionsRevision && runCheckAndShow()
        && !ui::dialogs().confirmYesDefault(
            this, QStringLiteral("Check found problems that would make the image unusable or the build fail. "
                                 "Run Batch anyway?")))
        return;
    m_dialogFolder = batchFolder;
    // What runs is what the form shows: a build.bat written for other
    // options is offered to be written again first. A form that builds no
    // whole command line has nothing to offer instead.
    std::optional<exec::CommandLine> onDisk = iso::batchFileCommand(batchPath);
    const iso::BuiltCommand built = iso::buildCommandLine(m_options);
    // Enter writes what the form shows; the old file runs only when asked.
    enum { WriteAndRun, RunOld, Cancel };
    const int answer =
        built.messages.isEmpty() && built.command != onDisk
            ? ui::dialogs().choose(
                  this, QStringLiteral("The options changed since build.bat was written. Write it again and run?"),
                  {QStringLiteral("&Write and run"), QStringLiteral("&Run the old file"), QStringLiteral("Cancel")},
                  WriteAndRun, Cancel)
            : RunOld;
    if (answer == Cancel)
        return;
    if (answer == WriteAndRun) {
        QString error;
        if (!iso::writeBatchFile(batchPath, built.command, &error)) {
            ui::dialogs().error(this, error);
            return;
        }
        onDisk = built.command;
    }
    // xorrisofs's weights follow the sort file as it is now.
    if (onDisk && onDisk->valueAfter("--sort-weight-list") == platform::encodePath(paths.weightList)
        && iso::needsWeightList(m_options)) {
        QString error;
        if (!iso::writeWeightList(m_options, &error)) {
            ui::dialogs().error(this, error);
            return;
        }
    }
    const exec::CommandLine command = iso::batchCommand(batchPath);
    Tconsole *console = m_uses.console;
    console->setOutputFile(onDisk ? iso::outputOfCommand(*onDisk, batchFolder) : QString());
    console->run(command, {QString()}, 0, batchFolder); // the empty line answers the closing "pause"
    m_uses.log->entry(QStringLiteral("mkisofs is ") + QLatin1String(iso::builderName(m_options.builder())));
    m_uses.log->entry(command.display());
    m_uses.log->text(console->capturedText());
}

void TMkisofs_form::CheckBTClick()
{
    runCheckAndShow();
}

bool TMkisofs_form::runCheckAndShow()
{
    if (!CheckPanel) {
        CheckPanel = new QDialog(this);
        CheckPanel->setObjectName(QStringLiteral("CheckPanel"));
        CheckPanel->setWindowTitle(QStringLiteral("Check"));
        CheckMemo = new QPlainTextEdit(CheckPanel);
        CheckMemo->setObjectName(QStringLiteral("CheckMemo"));
        CheckMemo->setReadOnly(true);
        CheckMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
        CheckMemo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        auto *layout = new QVBoxLayout(CheckPanel);
        layout->addWidget(CheckMemo);
        CheckPanel->resize(1040, 420);
    }
    const quint64 revision = m_optionsRevision;
    // The size run turns the event loop: nothing in the window changes meanwhile.
    setEnabled(false);
    const iso::CheckReport report = iso::runCheck(m_options);
    setEnabled(true);
    m_checkedRevision = revision;
    CheckMemo->setPlainText(report.text());
    CheckPanel->show();
    CheckPanel->raise();
    return report.hasFatal();
}
