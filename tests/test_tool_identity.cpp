// Which program is behind a tool file: from its version text (captured from
// the real programs, or written from cdrtools' documented form), and from
// the real programs behind links whose names say otherwise.
#include "exec/tool_errors.h"
#include "exec/tool_identity.h"
#include "platform/platform.h"
#include "testutil.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using exec::Implementation;

namespace {
QStringList versionText(const QString &name)
{
    return QString::fromUtf8(readAll(QStringLiteral(SPINDLE_TEST_DATA "/versions/") + name)).split(QLatin1Char('\n'));
}
} // namespace

class TestToolIdentity : public QObject
{
    Q_OBJECT

private slots:
    void versionTexts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Implementation>("implementation");
        QTest::addColumn<QString>("line");
        QTest::newRow("genisoimage") << "genisoimage.txt" << Implementation::Genisoimage << "genisoimage 1.1.11 (Linux)";
        QTest::newRow("xorrisofs") << "xorrisofs.txt" << Implementation::Xorrisofs
                                   << "mkisofs 2.01-Emulation Copyright (C) 2019 see libburnia-project.org xorriso";
        QTest::newRow("cdrtools mkisofs") << "cdrtools_mkisofs.txt" << Implementation::CdrtoolsMkisofs
                                          << "mkisofs 3.02a09 (x86_64-pc-linux-gnu)";
        // wodim's first line pretends to be cdrecord for front-ends.
        QTest::newRow("wodim") << "wodim.txt" << Implementation::Wodim << "Wodim 1.1.11";
        QTest::newRow("cdrskin") << "cdrskin.txt" << Implementation::Cdrskin
                                 << "cdrskin 1.5.4 : limited cdrecord compatibility wrapper for libburn";
        QTest::newRow("cdrtools cdrecord") << "cdrtools_cdrecord.txt" << Implementation::CdrtoolsCdrecord
            << "Cdrecord-ProDVD-ProBD-Clone 3.02a09 (x86_64-pc-linux-gnu) Copyright (C) 1995-2016 Joerg Schilling";
        QTest::newRow("xorrecord") << "xorrecord.txt" << Implementation::Xorrecord
                                   << "Cdrecord 2.01-Emulation Copyright (C) 2019 see libburnia-project.org xorriso";
        // readom's first line pretends to be cdrtools' readcd.
        QTest::newRow("readom") << "readom.txt" << Implementation::Readom << "readom 1.1.11 (Linux)";
        QTest::newRow("cdrtools readcd") << "cdrtools_readcd.txt" << Implementation::CdrtoolsReadcd
            << "readcd 3.02a09 (x86_64-pc-linux-gnu) Copyright (C) 1987, 1995-2016 Joerg Schilling";
        QTest::newRow("dd") << "dd.txt" << Implementation::CoreutilsDd << "dd (coreutils) 9.1";
    }
    void versionTexts()
    {
        QFETCH(QString, file);
        QFETCH(Implementation, implementation);
        QFETCH(QString, line);
        const exec::ToolIdentity id = exec::identifyVersionText(versionText(file));
        QCOMPARE(id.implementation, implementation);
        QCOMPARE(id.versionLine, line);
        QVERIFY(!exec::roleOf(implementation).isEmpty());
        QCOMPARE(exec::identifyVersionText({"usage: something else"}).implementation, Implementation::Unknown);
    }

    // The real programs behind links named for another program: the words
    // decide, and the error table follows them.
    void realProgramsBehindLinks_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("linkName");
        QTest::addColumn<Implementation>("implementation");
        QTest::newRow("cdrskin as wodim") << "cdrskin" << "wodim" << Implementation::Cdrskin;
        QTest::newRow("wodim as cdrecord") << "wodim" << "cdrecord" << Implementation::Wodim;
        QTest::newRow("xorrisofs as genisoimage") << "xorrisofs" << "genisoimage" << Implementation::Xorrisofs;
        QTest::newRow("genisoimage as mkisofs") << "genisoimage" << "mkisofs" << Implementation::Genisoimage;
        QTest::newRow("readom as readcd") << "readom" << "readcd" << Implementation::Readom;
        QTest::newRow("dd") << "dd" << "dd" << Implementation::CoreutilsDd;
    }
    void realProgramsBehindLinks()
    {
        QFETCH(QString, program);
        QFETCH(QString, linkName);
        QFETCH(Implementation, implementation);
        const QString path = QStandardPaths::findExecutable(program);
        QVERIFY2(!path.isEmpty(), qPrintable(program + " is not installed (make test installs it)"));
        QTemporaryDir dir;
        const QString link = dir.filePath(linkName);
        QVERIFY(QFile::link(path, link));
        QCOMPARE(exec::identifyProgram(link).implementation, implementation);
        const exec::CommandLine command = exec::CommandLine(link).arg(QStringLiteral("-x"));
        QCOMPARE(exec::implementationOfCommandLine(command), implementation);
        QCOMPARE(exec::toolOfCommandLine(command), exec::roleOf(implementation));
    }

    void xorrisofsLocationGetsTheMkisofsRows()
    {
        const QString path = QStandardPaths::findExecutable(QStringLiteral("xorrisofs"));
        QVERIFY(!path.isEmpty());
        QCOMPARE(exec::toolOfCommandLine(exec::CommandLine(path).arg(QStringLiteral("-o")).quoted(QStringLiteral("x.iso"))),
                 QStringLiteral("mkisofs"));
    }

    void spindleFolderToolsAreReported()
    {
        const QStringList report = exec::toolReport();
        QCOMPARE(report.size(), 5);
        QVERIFY2(report.value(1).startsWith(QLatin1String("cdrecord: wodim (Wodim ")), qPrintable(report.value(1)));
        QVERIFY2(report.value(4).startsWith(QLatin1String("bbie: bbie (Spindle")), qPrintable(report.value(4)));
    }

    void queryIsBounded()
    {
        // A program that prints forever and never ends is cut off in time.
        QTemporaryDir dir;
        const QString tool = dir.filePath(QStringLiteral("cdrecord"));
        QVERIFY(writeAll(tool, "#!/bin/sh\nwhile :; do echo cdrecord; done\n"));
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::ExeOwner);
        QElapsedTimer t;
        t.start();
        QCOMPARE(exec::identifyProgram(tool).implementation, Implementation::Unknown);
        QVERIFY(t.elapsed() < 20000);
        const QString silent = dir.filePath(QStringLiteral("mkisofs"));
        QVERIFY(writeAll(silent, "#!/bin/sh\nexec sleep 60\n"));
        QFile::setPermissions(silent, QFile::ReadOwner | QFile::ExeOwner);
        t.restart();
        QCOMPARE(exec::identifyProgram(silent).implementation, Implementation::Unknown);
        QVERIFY(t.elapsed() < 20000);
    }
};

QTEST_GUILESS_MAIN(TestToolIdentity)
#include "test_tool_identity.moc"
