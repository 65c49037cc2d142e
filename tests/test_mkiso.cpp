#define SPINDLE_UI_TESTS
#include "ui/comments.h"
#include "app/ui/debug_unit.h"
#include "ui/selector.h"
#include "base/session.h"
#include "app/ui/windows.h"
#include "ui/style.h"
#include "exec/ui/console_capture.h"
#include "exec/dos_command.h"
#include "iso/ui/mkiso_form.h"
#include "platform/platform.h"
#include "testutil.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>
#include <QTimer>

class TestMkiso : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_folder = nullptr; // Spindle's folder
    QTemporaryDir *m_work = nullptr;
    FakeDialogs *m_dialogs = nullptr;
    TMkisofs_form *f = nullptr;
    const QString kChanged =
        QStringLiteral("choose:The options changed since build.bat was written. Write it again and run?");

    QString work(const QString &n) const { return m_work->filePath(n); }
    QString mkisofsPath() const { return m_folder->filePath("mkisofs"); }

    static QByteArray isoinfo(const QStringList &args)
    {
        QProcess p;
        p.start("isoinfo", args);
        p.waitForFinished(30000);
        return p.readAllStandardOutput();
    }

    // The pieces without which Make Batch writes nothing.
    void fillRequired()
    {
        f->FormActivate();
        f->Edit7->setText(work("tree/"));
        f->Edit8->setText(work("out/"));
        f->Edit13->setText("cd.iso");
        m_dialogs->log.clear();
    }

private slots:
    void init()
    {
        m_folder = new QTemporaryDir;
        m_work = new QTemporaryDir;
        platform::setSpindleFolder(m_folder->path());
        QFile::link(binDir() + "/mkisofs", mkisofsPath()); // the staged stand-in
        m_dialogs = new FakeDialogs;
        createWindowsWith(m_dialogs);
        f = app::windows().Mkisofs_form;
    }
    void cleanup()
    {
        destroyWindowsOf(m_dialogs);
        delete m_work;
        delete m_folder;
    }

    void initialControls()
    {
        QCOMPARE(f->windowTitle(), QStringLiteral("Make ISO"));
        QCOMPARE(f->CheckBox1->text(), QStringLiteral("Joliet (-J) "));
        QCOMPARE(f->Edit10->text(), QStringLiteral("0x7C0"));
        QCOMPARE(f->Edit11->text(), QStringLiteral("4"));
        QVERIFY(!f->SpinEdit1->isEnabled() && !f->Edit10->isEnabled() && !f->Edit5->isEnabled());
        QVERIFY(!f->BTopenBimg->isEnabled() && !f->Button5->isEnabled() && !f->CheckBox14->isEnabled());
        QCOMPARE(f->findChild<QPushButton *>("MkBatBT")->text().remove(QLatin1Char('&')), QStringLiteral("Make Batch"));
        // Every option row has its control, with the row's tooltip.
        for (const iso::OptionRow &r : iso::optionRows()) {
            if (r.key == iso::Opt::comment_1)
                continue;
            auto *w = f->findChild<QWidget *>(QLatin1String(r.control));
            QVERIFY2(w && w->toolTip() == QString::fromUtf8(r.tooltip), r.name);
        }
    }

    void activation()
    {
        app::windows().session.DebugMode = true;
        f->Edit12->setText("/typed/by/user");
        f->FormActivate();
        QCOMPARE(f->Edit12->text(), mkisofsPath());
        f->Button5Click(); // cancelled: the dialog opened in Spindle's folder
        QCOMPARE(m_dialogs->fileOptions.last().directory, platform::spindleFolder());
        m_dialogs->log.clear();
        QCOMPARE(app::windows().Debug_win->Memo1->toPlainText(), QStringLiteral("\n*****  entering Make ISO module\n"));
        // Back from the Comments dialog: again; from anything else: not.
        f->activatedFrom(app::windows().Comments_form);
        f->activatedFrom(nullptr);
        f->activatedFrom(app::windows().console);
        QCOMPARE(app::windows().Debug_win->Memo1->toPlainText().count("entering"), 2);
        QVERIFY(m_dialogs->log.isEmpty());
    }

    void missingMkisofsLocksRunBatch()
    {
        QFile::remove(mkisofsPath());
        f->FormActivate();
        QCOMPARE(m_dialogs->log, QStringList{"message::Couldn't find mkisofs . Please put mkisofs in Spindle folder"});
        QVERIFY(!f->RunBatBT->isEnabled());
        m_dialogs->fileAnswers << "/usr/bin/genisoimage";
        f->Button4Click();
        QCOMPARE(f->Edit12->text(), QStringLiteral("/usr/bin/genisoimage"));
        QVERIFY(!f->RunBatBT->isEnabled());
        QVERIFY(f->MkBatBT->isEnabled());
    }

    // The program behind the location, told by what it says: what xorrisofs
    // refuses or ignores is off with the reason in its tooltip.
    void optionsFollowTheProgram()
    {
        QFile::remove(mkisofsPath());
        QVERIFY(QFile::link("/usr/bin/xorrisofs", mkisofsPath()));
        f->FormActivate();
        f->CheckBoot->setChecked(true);
        QVERIFY(!f->CheckBox18->isEnabled() && !f->CheckBox12->isEnabled());
        QVERIFY(f->CheckBox18->toolTip().contains("refuses -boot-load-seg"));
        QVERIFY(f->CheckBox12->toolTip().contains("ignores -allow-multidot"));
        f->Edit12->setText("/usr/bin/genisoimage");
        QVERIFY(f->CheckBox18->isEnabled() && f->CheckBox12->isEnabled());
        QCOMPARE(f->CheckBox18->toolTip(), QString::fromLatin1(iso::row(iso::Opt::boot_load_segment).tooltip));
    }

    void rulesThroughControls()
    {
        f->CheckBox20->setChecked(true);
        f->CheckBox5->setChecked(true);
        QVERIFY(!f->CheckBox20->isChecked() && f->SpinEdit1->isEnabled());
        f->CheckBox20->setChecked(true);
        QVERIFY(!f->CheckBox5->isChecked() && !f->SpinEdit1->isEnabled());
        f->CheckBox7->setChecked(true);
        f->CheckBox6->setChecked(true);
        QVERIFY(!f->CheckBox7->isChecked());
        f->CheckBoot->setChecked(true);
        f->CheckBox18->setChecked(true);
        QVERIFY(f->Edit10->isEnabled() && f->BTopenBimg->isEnabled());
        f->CheckBoot->setChecked(false);
        QVERIFY(!f->CheckBox18->isEnabled() && f->CheckBox18->isChecked() && f->Edit10->isEnabled());
        f->CheckBox2->setChecked(true);
        QVERIFY(f->Button5->isEnabled() && f->Edit17->isEnabled());
    }

    void typedBackslashes()
    {
        f->Edit7->setFocus();
        // A backslash is part of a Linux name: kept, and the root still
        // comes off the boot image.
        QTest::keyClicks(f->Edit7, "/t/a\\b/");
        QCOMPARE(f->Edit7->text(), QStringLiteral("/t/a\\b/"));
        f->CheckBoot->setChecked(true);
        QTest::keyClicks(f->Edit5, "/t/a\\b/boot\\x.bin");
        QCOMPARE(f->Edit5->text(), QStringLiteral("boot\\x.bin"));
        QTest::keyClicks(f->Edit9, "C:\\bat\\");
        QCOMPARE(f->Edit9->text(), QStringLiteral("C:\\bat\\"));
    }

    void browseButtons()
    {
        QTimer::singleShot(0, [this] {
            app::windows().SelectForm->selectPath(m_work->path());
            app::windows().SelectForm->SelectBt->click();
        });
        f->Button1Click();
        QCOMPARE(f->Edit7->text(), m_work->path() + "/");
        m_dialogs->fileAnswers << m_work->path() + "/isolinux/isolinux.bin" << QString() << "/x/y.lst";
        f->CheckBoot->setChecked(true);
        f->BTopenBimgClick();
        QCOMPARE(f->Edit5->text(), QStringLiteral("isolinux/isolinux.bin"));
        QCOMPARE(m_dialogs->fileOptions.last().filterIndex, 4);
        f->BTopenBimgClick(); // cancelled: nothing changes
        QCOMPARE(f->Edit5->text(), QStringLiteral("isolinux/isolinux.bin"));
        f->Button5Click();
        QCOMPARE(f->Edit17->text(), QStringLiteral("/x/y.lst"));
        QCOMPARE(m_dialogs->fileOptions.last().defaultExt, QStringLiteral("lst"));
    }

    void clearAll()
    {
        f->FormActivate();
        f->CheckBox1->setChecked(true);
        f->CheckBox26->setChecked(true);
        f->Edit10->setText("0x1000");
        app::windows().Comments_form->Memo1->setPlainText("notes");
        m_dialogs->confirmAnswers << false << true;
        f->ClearBTClick();
        QVERIFY(f->CheckBox1->isChecked());
        f->ClearBTClick();
        QCOMPARE(m_dialogs->log, (QStringList{"confirm:Are you sure ? ", "confirm:Are you sure ? "}));
        QVERIFY(!f->CheckBox1->isChecked());
        // Kept, though genisoimage behind the location leaves it off.
        QVERIFY(f->options().check(iso::Opt::duplicates_once) && !f->CheckBox26->isChecked());
        QCOMPARE(f->Edit10->text(), QStringLiteral("0x7C0"));
        QCOMPARE(f->Edit12->text(), mkisofsPath()); // where the tool is stays
        QVERIFY(app::windows().Comments_form->Memo1->toPlainText().isEmpty());
    }

    // Missing pieces: every message, then nothing written anywhere, and an
    // earlier build.bat (in the folder or the current one) stays as it was.
    void makeBatchOfEmptyForm()
    {
        writeAll(work("build.bat"), "another project");
        f->MkBatBTClick();
        QCOMPARE(m_dialogs->log, (QStringList{"message:Information:Path to mkisofs isn't specified",
                                              "message:Information:Output folder or file name isn't specified",
                                              "message:Information:Root of CD tree isn't specified",
                                              "message:Information:Batch folder isn't specified"}));
        QCOMPARE(readAll(work("build.bat")), QByteArray("another project"));
        QVERIFY(!QFile::exists(m_folder->filePath("build.bat")));
        m_dialogs->log.clear();
        f->RunBatBTClick();
        QCOMPARE(m_dialogs->log, QStringList{"message:Information:Batch folder isn't specified"});

        QDir().mkpath(work("bat"));
        writeAll(work("bat/build.bat"), "kept");
        f->Edit9->setText(work("bat/"));
        m_dialogs->log.clear();
        f->MkBatBTClick();
        QCOMPARE(m_dialogs->log.size(), 3);
        QCOMPARE(readAll(work("bat/build.bat")), QByteArray("kept"));
    }

    // A batch folder that does not exist: the error names the file, and
    // nothing lands in the current directory or Spindle's folder.
    void makeBatchIntoMissingFolder()
    {
        fillRequired();
        writeAll(work("build.bat"), "another project");
        f->Edit9->setText(work("no/such/"));
        f->MkBatBTClick();
        QCOMPARE(m_dialogs->log, QStringList{"error:Cannot create file \"" + work("no/such/build.bat")
                                             + "\". No such file or directory"});
        QCOMPARE(readAll(work("build.bat")), QByteArray("another project"));
        QVERIFY(!QFile::exists(m_folder->filePath("build.bat")));
    }

    // Typed without a trailing separator: Make Batch and Run Batch agree.
    void batchFolderWithoutSeparator()
    {
        fillRequired();
        QDir().mkpath(work("my bat"));
        f->Edit9->setText(work("my bat"));
        f->MkBatBTClick();
        QVERIFY(m_dialogs->log.isEmpty());
        QVERIFY(readAll(work("my bat/build.bat")).startsWith("@echo off\r\n"));
        writeAll(work("my bat/build.bat"), "@echo off\r\necho ran the batch\r\npause\r\n");
        m_dialogs->chooseAnswers = {"&Run the old file"};
        f->RunBatBTClick();
        QCOMPARE(m_dialogs->log, (QStringList{kChanged, "message:Info:Process finished!"}));
        QVERIFY(app::windows().console->Memo1->toPlainText().contains("\nran the batch\n"));
    }

    // A batch whose image build fails: the console stays open until closed,
    // and the debug log's entry ends with the console's result line.
    void failedBatchRunLogsItsResult()
    {
        app::windows().session.DebugMode = true;
        QDir().mkpath(work("bat"));
        QVERIFY(writeAll(work("bat/build.bat"),
                         "@echo off\r\nmkisofs -o " + work("missing/cd.iso").toUtf8() + " " + work("bat").toUtf8()
                             + "\r\npause\r\n"));
        f->Edit9->setText(work("bat/"));
        Tconsole *console = app::windows().console;
        bool stayedOpen = false;
        m_dialogs->onMessage = [&](const QString &) {
            QTimer::singleShot(0, console, [&] {
                stayedOpen = console->isVisible();
                console->CloseBT->click();
            });
        };
        f->RunBatBTClick();
        QVERIFY(stayedOpen);
        // The form builds no command line: nothing to write again, no question.
        QCOMPARE(m_dialogs->log.size(), 1);
        QVERIFY2(m_dialogs->log[0].startsWith("message:Warning:Process finished!\nThe command failed with exit code "),
                 qPrintable(m_dialogs->log[0]));
        const QString debug = app::windows().Debug_win->Memo1->toPlainText();
        QVERIFY2(debug.contains("Unable to open disc image file"), qPrintable(debug));
        QVERIFY(debug.endsWith("\n" + console->resultLine()));
        QVERIFY(console->resultLine().startsWith("The command failed with exit code "));
    }

    void unwritableBatchFolder()
    {
        QDir().mkpath(work("bat/build.bat")); // a folder in the way
        fillRequired();
        f->Edit9->setText(work("bat/"));
        f->MkBatBTClick();
        QCOMPARE(m_dialogs->log.size(), 1);
        QVERIFY2(m_dialogs->log.last().startsWith("error:Cannot create file \"" + work("bat/build.bat") + "\". "),
                 qPrintable(m_dialogs->log.last()));
    }

    void templateRoundTripThroughWindow()
    {
        f->FormActivate();
        f->CheckBox1->setChecked(true);
        f->CheckBox5->setChecked(true);
        f->SpinEdit1->setValue(2);
        f->Edit7->setText("/tree/");
        f->CheckBoot->setChecked(true);
        f->Edit5->setText("/tree/b.bin");
        f->Edit2->setText("VOL");
        app::windows().Comments_form->Memo1->setPlainText("two\nlines");
        const QString t = work("t.mkiso");
        m_dialogs->fileAnswers << t;
        f->SaveTemplateClick();
        QCOMPARE(m_dialogs->fileOptions.last().defaultExt, QStringLiteral("mkiso"));
        QVERIFY(m_dialogs->fileOptions.last().overwritePrompt);
        m_dialogs->confirmAnswers << true;
        f->ClearBTClick();
        m_dialogs->fileAnswers << t;
        m_dialogs->confirmAnswers << true;
        f->OpenTemplateClick();
        QCOMPARE(m_dialogs->log.last(), QStringLiteral("confirm:This template contains comments. Show comments ? "));
        QVERIFY(app::windows().Comments_form->isVisible());
        QCOMPARE(app::windows().Comments_form->Memo1->toPlainText(), QStringLiteral("two\nlines"));
        QVERIFY(f->CheckBox1->isChecked() && f->CheckBox5->isChecked() && f->SpinEdit1->isEnabled());
        QCOMPARE(f->SpinEdit1->value(), 2);
        QCOMPARE(f->Edit5->text(), QStringLiteral("b.bin"));
        QCOMPARE(f->Edit12->text(), mkisofsPath());
    }

    void templateErrors()
    {
        writeAll(work("old.mkiso"), "[Make_ISO template file]\r\nversion=1\r\n[File]\r\nJoliet=1\r\n");
        m_dialogs->fileAnswers << work("old.mkiso");
        f->OpenTemplateClick();
        QCOMPARE(m_dialogs->log.last(), QStringLiteral("message:Information:Wrong file version"));
        QVERIFY(!f->CheckBox1->isChecked());
        QDir().mkpath(work("ro.mkiso"));
        m_dialogs->fileAnswers << work("ro.mkiso");
        f->SaveTemplateClick();
        QCOMPARE(m_dialogs->log.last(), "error:Unable to write to " + work("ro.mkiso") + ". Is a directory");
    }

    // Run Batch runs what the form says: a build.bat written for other
    // options is offered to be written again, run as it is, or not run.
    void runBatchFollowsTheForm()
    {
        fillRequired();
        QDir().mkpath(work("bat"));
        f->Edit9->setText(work("bat"));
        // None yet: say what to do instead of failing to start it.
        f->RunBatBTClick();
        QCOMPARE(m_dialogs->log, QStringList{"message:Information:There is no build.bat in " + work("bat")
                                             + " yet: press Make Batch first."});
        f->MkBatBTClick();
        const QByteArray written = readAll(work("bat/build.bat"));
        QVERIFY(!written.contains(" -v"));
        f->CheckBox9->setChecked(true); // Verbose: the form now differs
        Tconsole *console = app::windows().console;
        m_dialogs->onMessage = [&](const QString &) {
            QTimer::singleShot(0, console, [&] { console->CloseBT->click(); });
        };
        // Cancel runs nothing; the old file runs only when asked for; Enter
        // (the default) writes it again and runs that.
        const struct
        {
            const char *answer;
            bool runs, written;
        } answers[] = {{"Cancel", false, false}, {"&Run the old file", true, false}, {"&Write and run", true, true}};
        for (const auto &a : answers) {
            m_dialogs->log.clear();
            console->memoLines()->clear();
            m_dialogs->chooseAnswers = {a.answer};
            f->RunBatBTClick();
            QCOMPARE(m_dialogs->log.first(), kChanged);
            QCOMPARE(m_dialogs->chooseOffers.last().first(), QStringLiteral("&Write and run"));
            QCOMPARE(m_dialogs->log.size(), a.runs ? 2 : 1);
            QCOMPARE(readAll(work("bat/build.bat")).contains(" -v "), a.written);
            QCOMPARE(console->Memo1->toPlainText().contains(" -v "), a.written);
        }

        // Unchanged: no question.
        m_dialogs->log.clear();
        f->RunBatBTClick();
        QVERIFY(!m_dialogs->log.contains(kChanged));
    }

    // A relative batch folder counts from Spindle's folder, for Make Batch
    // and Run Batch alike; a root folder named "--help" in it is a folder on
    // the command line, not an option, and the image is built.
    void relativeFoldersAndDashedRoot()
    {
        f->FormActivate();
        QDir().mkpath(m_folder->filePath("out/--help"));
        writeAll(m_folder->filePath("out/--help/file.txt"), "data");
        f->Edit7->setText("--help");
        f->Edit8->setText("images"); // no separator, relative to the batch folder
        QDir().mkpath(m_folder->filePath("out/images"));
        f->Edit13->setText("data.iso");
        f->Edit9->setText("out");
        m_dialogs->log.clear();
        f->MkBatBTClick();
        QVERIFY(m_dialogs->log.isEmpty());
        const QByteArray bat = readAll(m_folder->filePath("out/build.bat"));
        QVERIFY2(bat.contains(" -o \"" + m_folder->filePath("out/images/data.iso").toUtf8() + "\""), bat.constData());
        QVERIFY2(bat.contains(" \"" + m_folder->filePath("out/--help").toUtf8() + "\"\r\n"), bat.constData());
        f->RunBatBTClick();
        QCOMPARE(m_dialogs->log.size(), 1);
        QVERIFY2(m_dialogs->log[0].startsWith("message:Info:Process finished!\n" + m_folder->filePath("out/images/data.iso")),
                 qPrintable(m_dialogs->log[0] + app::windows().console->Memo1->toPlainText()));
        QVERIFY(isoinfo({"-f", "-i", m_folder->filePath("out/images/data.iso")}).contains("FILE.TXT"));
        // The dialogs now open in the batch folder, as they did.
        f->Button5Click();
        QCOMPARE(m_dialogs->fileOptions.last().directory, m_folder->filePath("out"));
    }

    // A name's bytes reach the image unchanged, whatever it holds and
    // wherever it stands (root, entries, output folder and file, batch
    // folder, sort file and sort line), through the window's Make Batch and
    // Run Batch, and through a template it saved, spindle-cli batch --write
    // and run-bat: every file is in the image by its exact name and each
    // sort line moves its file.
    void namesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("Latin-1") << QByteArray("caf\xe9");
        QTest::newRow("invalid UTF-8") << QByteArray("\xff\xfe bad");
        QTest::newRow("tab") << QByteArray("a\tb");
        QTest::newRow("leading and trailing blanks") << QByteArray("  both  ");
        QTest::newRow("double quote") << QByteArray("q\"uote");
        QTest::newRow("percent") << QByteArray("50%x%");
        QTest::newRow("leading dash") << QByteArray("-dash");
    }
    void namesKeepTheirBytes()
    {
        QFETCH(QByteArray, name);
        const QByteArray w = platform::encodePath(work("w")) + '/';
        const QByteArray root = w + "r/" + name + '/';
        const QByteArray sortFile = w + "s/" + name;
        const QByteArray image = w + "o/" + name + '/' + name;
        QVERIFY(makeFolders(root + 'd' + name) && makeFolders(w + "o/" + name) && makeFolders(w + "b/" + name)
                && makeFolders(w + "s") && makeFolders(w + "c/" + name));
        const QList<QByteArray> files{name, 'd' + name + '/' + name, "plain.dat"};
        for (int i = 0; i < files.size(); ++i)
            QVERIFY(writeBytesAt(root + files[i], QByteArray(4096 * (i + 1), char('a' + i))));
        // Heaviest first: the reverse of the order genisoimage would pick.
        QVERIFY(writeBytesAt(sortFile, root + files[2] + " 300\n" + root + files[1] + " 200\n" + root + files[0]
                                           + " 100\n"));
        auto imageIsRight = [&](const char *route) {
            // isoinfo and the order reader see the image by an ASCII name.
            const QByteArray link = w + "image.iso";
            ::unlink(link.constData());
            if (::symlink(image.constData(), link.constData()) != 0)
                return QStringLiteral("%1: no image").arg(route);
            QProcess list;
            list.start("isoinfo", {"-R", "-f", "-i", QString::fromLatin1(link)});
            list.waitForFinished(60000);
            QList<QByteArray> listed = list.readAllStandardOutput().split('\n');
            listed.removeAll(QByteArray());
            QList<QByteArray> wanted{'/' + name, "/d" + name, "/d" + name + '/' + name, "/plain.dat"};
            std::sort(listed.begin(), listed.end());
            std::sort(wanted.begin(), wanted.end());
            if (listed != wanted)
                return QStringLiteral("%1: the image holds %2").arg(route, QString::fromLatin1(listed.join('|')));
            const RawRun order = runRaw({platform::encodePath(binDir() + "/spindle-cli"), "order", "--root", root,
                                         link, sortFile});
            if (order.exitCode != 0 || !order.err.contains("3 of 3 sort lines match"))
                return QStringLiteral("%1: %2").arg(route, QString::fromLatin1(order.err));
            return QString();
        };

        f->FormActivate();
        f->CheckBox4->setChecked(true); // Rock Ridge: the names as they are
        // The root picked in Select Folder, its path pasted there.
        QTimer::singleShot(0, [&] {
            TSelectForm *select = app::windows().SelectForm;
            select->PathEdit->setText(platform::decodePath(root));
            select->SelectBt->click();
            if (select->isVisible())
                select->CancelBt->click();
        });
        f->Button1Click();
        QCOMPARE(platform::encodePath(f->Edit7->text()), root);
        f->Edit8->setText(platform::decodePath(w + "o/" + name + '/'));
        f->Edit13->setText(platform::decodePath(name));
        f->Edit9->setText(platform::decodePath(w + "b/" + name + '/'));
        f->CheckBox2->setChecked(true);
        f->Edit17->setText(platform::decodePath(sortFile));
        m_dialogs->log.clear();
        f->MkBatBTClick();
        QCOMPARE(m_dialogs->log, QStringList());
        Tconsole *console = app::windows().console;
        m_dialogs->onMessage = [console](const QString &) {
            QTimer::singleShot(0, console, [console] {
                if (console->isVisible())
                    console->CloseBT->click();
            });
        };
        f->RunBatBTClick();
        QVERIFY2(m_dialogs->log.size() == 1 && m_dialogs->log[0].startsWith("message:Info:Process finished!"),
                 qPrintable(m_dialogs->log.join('\n') + app::windows().console->Memo1->toPlainText()));
        QString wrong = imageIsRight("window");
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

        // The template the window saves, through spindle-cli.
        m_dialogs->fileAnswers << work("t.mkiso");
        f->SaveTemplateClick();
        QVERIFY(::unlink(image.constData()) == 0);
        const QByteArray cli = platform::encodePath(binDir() + "/spindle-cli");
        const QByteArray bat = w + "c/" + name + '/';
        RawRun run = runRaw({cli, "batch", platform::encodePath(work("t.mkiso")), "--write", bat});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        run = runRaw({cli, "run-bat", bat + "build.bat"});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        wrong = imageIsRight("spindle-cli");
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    // A full disk: the system's reason, not "Unknown error", for the batch
    // file and for the template.
    void fullDiskGivesTheReason()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to mount a small file system");
        QDir().mkpath(work("full"));
        QProcess mount;
        mount.start("mount", {"-t", "tmpfs", "-o", "size=16k", "tmpfs", work("full")});
        if (!mount.waitForFinished(30000) || mount.exitCode() != 0)
            QSKIP("no small file system can be mounted here");
        struct Unmount
        {
            QString at;
            ~Unmount() { QProcess::execute("umount", {at}); }
        } unmount{work("full")};
        // Fill it.
        QFile fill(work("full/fill"));
        QVERIFY(fill.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (fill.write(block) == block.size() && fill.flush()) {
        }
        fill.close();
        fillRequired();
        f->CheckBox9->setChecked(true);
        f->Edit6->setText(QString(8192, 'a')); // a long line, so the batch file cannot fit
        f->OtherParam->setChecked(true);
        f->Edit9->setText(work("full"));
        f->MkBatBTClick();
        QCOMPARE(m_dialogs->log, QStringList{"error:Cannot create file \"" + work("full/build.bat")
                                             + "\". No space left on device"});
        m_dialogs->log.clear();
        m_dialogs->fileAnswers << work("full/t.mkiso");
        app::windows().Comments_form->Memo1->setPlainText(QString(20000, 'c'));
        f->SaveTemplateClick();
        QCOMPARE(m_dialogs->log.last(), "error:Unable to write to " + work("full/t.mkiso") + ". No space left on device");
        QVERIFY(!QFile::exists(work("full/t.mkiso")));
        QCOMPARE(QDir(work("full")).entryList(QDir::Files), QStringList{"fill"}); // no temporary file left
    }

    // The whole road: controls, Make Batch, Run Batch in the console with
    // the staged mkisofs, and the image checked with isoinfo.
    void imageThroughTheWindow()
    {
        QDir().mkpath(work("tree/boot"));
        QDir().mkpath(work("out"));
        QDir().mkpath(work("bat"));
        const QByteArray loader = QByteArray(4096, '\x90');
        writeAll(work("tree/boot/loader.bin"), loader);
        for (int i = 1; i <= 3; ++i)
            writeAll(work(QStringLiteral("tree/file%1.dat").arg(i)), QByteArray(5000, char('a' + i)));
        writeAll(work("tree/Mixed Case Long Name.txt"), "x");
        writeAll(work("order.lst"), (work("tree/file3.dat") + " 300\n" + work("tree/file1.dat") + " 100\n" +
                                     work("tree/file2.dat") + " 200\n").toUtf8());
        app::windows().session.DebugMode = true;
        f->FormActivate();
        f->CheckBox1->setChecked(true);
        f->CheckBox4->setChecked(true);
        QTest::keyClicks(f->Edit7, work("tree/"));
        f->Edit8->setText(work("out/"));
        f->Edit13->setText("cd.iso");
        f->Edit9->setText(work("bat/"));
        f->Edit1->setText("PREP");
        f->Edit2->setText("MYVOL");
        f->Edit3->setText("MYAPP");
        f->Edit4->setText("MYPUB");
        f->Edit15->setText("MYSYS");
        f->CheckBox2->setChecked(true);
        f->Edit17->setText(work("order.lst"));
        f->CheckBoot->setChecked(true);
        f->Edit5->setText(work("tree/boot/loader.bin"));
        QCOMPARE(f->Edit5->text(), QStringLiteral("boot/loader.bin"));
        f->NoEmulBox->setChecked(true);
        f->CheckBox17->setChecked(true);
        f->CheckBox19->setChecked(true);
        f->CheckBox14->setChecked(true);
        f->MkBatBTClick();
        QVERIFY(m_dialogs->log.isEmpty());
        const QByteArray bat = readAll(work("bat/build.bat"));
        QVERIFY(bat.contains("\" -J -r -sort \""));
        f->RunBatBTClick();
        const QString iso = work("out/cd.iso");
        // The result names the image and its size; the console's first line
        // is what ran, where.
        QCOMPARE(m_dialogs->log.size(), 1);
        QVERIFY2(m_dialogs->log[0].startsWith("message:Info:Process finished!\n" + iso + ": ")
                     && m_dialogs->log[0].endsWith(QStringLiteral(" (%1 bytes)").arg(QFileInfo(iso).size())),
                 qPrintable(m_dialogs->log[0]));
        const QString console = app::windows().console->Memo1->toPlainText();
        QVERIFY2(console.startsWith(work("bat") + ">" + work("bat/build.bat") + "\n"), qPrintable(console));
        QVERIFY2(console.contains("Press any key to continue"), qPrintable(console));
        const QString debug = app::windows().Debug_win->Memo1->toPlainText();
        QVERIFY(debug.contains("*****  mkisofs is genisoimage\n\n*****  " + work("bat/build.bat") + "\n"));
        QVERIFY(debug.endsWith(console));

        QVERIFY2(QFile::exists(iso), qPrintable(console));
        const QByteArray d = isoinfo({"-d", "-i", iso});
        for (const char *want : {"Volume id: MYVOL", "Application id: MYAPP", "Publisher id: MYPUB",
                                 "Data preparer id: PREP", "System id: MYSYS", "Joliet with UCS level",
                                 "Rock Ridge signatures", "Boot media 0 (No Emulation Boot)", "Nsect 4"})
            QVERIFY2(d.contains(want), want);
        const QByteArray joliet = isoinfo({"-J", "-f", "-i", iso});
        QVERIFY(joliet.contains("/Mixed Case Long Name.txt"));
        const QByteArray listing = isoinfo({"-f", "-i", iso});
        QVERIFY2(!listing.contains("BOOT.CAT"), listing.constData());
        // File order follows the weights: heavier first.
        const QByteArray l = isoinfo({"-l", "-i", iso});
        auto extent = [&](const char *name) {
            const int at = l.indexOf(name);
            const int open = l.lastIndexOf('[', at);
            return l.mid(open + 1, l.indexOf(' ', open + 7) - open - 1).trimmed().toInt();
        };
        QVERIFY(extent("FILE3.DAT") < extent("FILE2.DAT"));
        QVERIFY(extent("FILE2.DAT") < extent("FILE1.DAT"));
        // -boot-info-table patched the loader in the tree, as mkisofs does.
        QVERIFY(readAll(work("tree/boot/loader.bin")) != loader);
    }
};

QTEST_MAIN(TestMkiso)
#include "test_mkiso.moc"
