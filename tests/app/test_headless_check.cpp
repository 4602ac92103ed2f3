#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>
#include <csignal>

#include "port_map.h"
#include "program_under_test.h"
#include "pty_pair.h"
#include "run_check.h"
#include "system_device.h"

// --check as a test bench runs it: a verdict in the exit status, a table, and reports.
class HeadlessCheckTest : public QObject {
    Q_OBJECT

private slots:
    void theVerdictOnTheRigAndItsVariants_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("told");
        const QStringList rig{"--port", "1=sim", "--check", "1"};
        QTest::newRow("rig") << rig << 0 << "All 6 checks passed";
        QTest::newRow("rig, cycled") << rig + QStringList{"--cycles", "9", "--delay", "0"} << 0
                                     << "PASS +cycle DSR +5 events +5 events";
        QTest::newRow("DB9 plug") << rig + QStringList{"--plug", "db9"} << 0 << "plug db9";
        QTest::newRow("no plug") << QStringList{"--port", "1=sim:noplug", "--check", "1"} << 1
                                 << "FAIL +wiring";
        QTest::newRow("half echo")
            << QStringList{"--port", "1=sim:partial", "--check", "1"} << 1 << "\"Loop\"";
        QTest::newRow("miswired") << rig + QStringList{"--plug", "DTR=CTS;RTS=DSR,CD"} << 1
                                  << "FAIL +DTR off +CTS +DSR CD";
        QTest::newRow("RI not on the rig")
            << rig + QStringList{"--plug", "db9-ri"} << 1 << "2 of 6 checks failed";
        QTest::newRow("absent") << QStringList{"--port", "1=sim:absent", "--check", "1"} << 2
                                << "Com 1 is not a valid port.\nPlease select";
        QTest::newRow("held") << QStringList{"--port", "1=sim:held", "--check", "1"} << 2
                              << "Com 1 is already open.";
        QTest::newRow("unknown plug")
            << rig + QStringList{"--plug", "db25"} << 2 << "\"db25\" is no known plug";
        QTest::newRow("port 17") << QStringList{"--check", "17"} << 2 << "from 1 to 16";
    }
    void theVerdictOnTheRigAndItsVariants() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, told);
        QProcess program;
        startWithoutDisplay(program, arguments);
        QVERIFY(program.waitForFinished(30000));
        const QString out = program.readAllStandardOutput() + program.readAllStandardError();
        QVERIFY2(out.contains(QRegularExpression(told)), qPrintable(out));
        QCOMPARE(program.exitCode(), exitCode);
    }

    void theReportsCarryEveryCheckAndEvent() {
        QTemporaryDir dir;
        const QString json = dir.filePath("check.json"), junit = dir.filePath("check.xml");
        QProcess program;
        program.start(programPath(), {"--port", "1=sim", "--check", "1", "--plug", "data", "--json",
                                      json, "--junit", junit});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 1);  // DSR, CTS and CD follow on the rig

        QFile jsonFile(json);
        QVERIFY(jsonFile.open(QIODevice::ReadOnly));
        const QJsonObject report = QJsonDocument::fromJson(jsonFile.readAll()).object();
        QCOMPARE(report["adapter"].toObject()["path"].toString(), "sim");
        QCOMPARE(report["fidelity"].toObject()["CTS"].toObject()["grade"].toString(), "every-edge");
        QCOMPARE(report["passed"].toBool(), false);
        const QJsonArray checks = report["checks"].toArray();
        QCOMPARE(checks.size(), 6);
        QCOMPARE(checks[1].toObject()["seen"].toString(), "DSR CD");
        const QJsonObject event = report["events"].toArray().first().toObject();
        QCOMPARE(event["code"].toInt(), 4);  // DTR off: DSR falls first
        QVERIFY(event["time"].toString().contains(QRegularExpression(R"(T\d\d:\d\d:\d\d\.\d{3})")));

        QFile xmlFile(junit);
        QVERIFY(xmlFile.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&xmlFile);
        int cases = 0, failures = 0;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement) {
                cases += xml.name() == u"testcase";
                failures += xml.name() == u"failure";
            }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(cases, 6);
        QCOMPARE(failures, 4);
    }

    // A pseudo-terminal echoes what it is sent but has no modem lines. However the run ends,
    // the port's lock file goes with it.
    void overAPtyTheDataLinesPassAndTheModemLinesDoNot_data() {
        QTest::addColumn<QString>("plug");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("signalAtMs");  // 0: none
        QTest::newRow("data-only plug") << "data" << 0 << 0;
        QTest::newRow("the rig's wiring") << "rig" << 1 << 0;
        QTest::newRow("Ctrl+C while DTR is awaited") << "rig" << 128 + SIGINT << 300;
    }
    void overAPtyTheDataLinesPassAndTheModemLinesDoNot() {
        QFETCH(QString, plug);
        QFETCH(int, exitCode);
        QFETCH(int, signalAtMs);
        PtyPair pty;
        QVERIFY(pty.ok());
        pty.startEcho();
        QTemporaryDir locks;
        if (signalAtMs > 0)
            QTimer::singleShot(signalAtMs, [&] {
                QVERIFY(!QDir(locks.path()).isEmpty());  // the lock that must go
                std::raise(SIGINT);
            });
        PortMap map;
        map.map(1, pty.slavePath());
        CheckOptions options;
        options.port = 1;
        QString error;
        options.plug = *PlugProfile::parse(plug, error);
        SystemFolders folders;
        folders.lock = locks.path();
        QCOMPARE(runCheck(options, std::make_shared<MappedDeviceOpener>(
                                       map, std::make_shared<SystemSerialPorts>(
                                                folders, SystemSerialPorts::Scan::None))),
                 exitCode);
        QVERIFY(QDir(locks.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(HeadlessCheckTest)
#include "test_headless_check.moc"
