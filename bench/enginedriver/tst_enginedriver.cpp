#include "driveroptions.h"
#include "signalrecorder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

class TestEngineDriver : public QObject
{
    Q_OBJECT

private slots:
    void byteSizes_data();
    void byteSizes();
    void optionsFromArguments();
    void badArgumentsAreRefused_data();
    void badArgumentsAreRefused();
    void everyLineIsJsonWithTimeAndFields();
    void summaryAddsTheLastAverageOfEveryStream();
    void summaryOfAnUnfinishedPhase();
};

void TestEngineDriver::byteSizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("bytes");
    QTest::newRow("plain") << "4096" << qint64(4096);
    QTest::newRow("mega lower case") << "20m" << qint64(20) * 1024 * 1024;
    QTest::newRow("mebibyte spelled out") << "8MiB" << qint64(8) * 1024 * 1024;
    QTest::newRow("zero") << "0" << qint64(-1);
    QTest::newRow("fraction") << "1.5M" << qint64(-1);
    QTest::newRow("unknown unit") << "3T" << qint64(-1);
    QTest::newRow("iB without unit") << "5iB" << qint64(-1);
    QTest::newRow("overflows") << "9999999999999G" << qint64(-1);
}

void TestEngineDriver::byteSizes()
{
    QFETCH(QString, text);
    QFETCH(qint64, bytes);
    QCOMPARE(parseByteSize(text), bytes);
}

void TestEngineDriver::optionsFromArguments()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("clip.mp4"));
    QFile f(source);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();

    DriverOptions o;
    bool help = true;
    QString error;
    QVERIFY2(parseDriverOptions({QStringLiteral("--root"), dir.path(), QStringLiteral("--size=64M"),
                                 QStringLiteral("--block"), QStringLiteral("256K"),
                                 QStringLiteral("--streams"), QStringLiteral("4"),
                                 QStringLiteral("--read"), QStringLiteral("--stagger=1500"),
                                 QStringLiteral("--source"), source},
                                &o, &help, &error),
             qPrintable(error));
    QVERIFY(!help);
    // The engine appends file names without a separator, so the root must end in one.
    QCOMPARE(o.rootPath, dir.path() + QLatin1Char('/'));
    QCOMPARE(o.testSize, qint64(64) * 1024 * 1024);
    QCOMPARE(o.blockSize, qint64(256) * 1024);
    QCOMPARE(o.streamCount, 4);
    QCOMPARE(o.staggerMs, 1500);
    QVERIFY(o.readEnabled);
    QCOMPARE(o.sourceFiles, QStringList{source});
    QCOMPARE(o.stopAfterMs, -1);
}

void TestEngineDriver::badArgumentsAreRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mentions");
    const QString root = QDir::tempPath();
    QTest::newRow("no root") << QStringList{"--size", "1M"} << "--root";
    QTest::newRow("root is missing")
        << QStringList{"--root", root + "/no/such/folder"} << "not a folder";
    QTest::newRow("no streams") << QStringList{"--root", root, "--streams", "0"} << "--streams";
    QTest::newRow("bad block") << QStringList{"--root", root, "--block", "big"} << "bad size";
    QTest::newRow("missing source")
        << QStringList{"--root", root, "--source", root + "/no/such/file"} << "not a file";
    QTest::newRow("unknown") << QStringList{"--root", root, "--fast"} << "--fast";
}

void TestEngineDriver::badArgumentsAreRefused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, mentions);
    DriverOptions o;
    o.streamCount = 7;
    bool help = false;
    QString error;
    QVERIFY(!parseDriverOptions(args, &o, &help, &error));
    QVERIFY2(error.contains(mentions), qPrintable(error));
    // A refused command line leaves the caller's options alone.
    QCOMPARE(o.streamCount, 7);
}

void TestEngineDriver::everyLineIsJsonWithTimeAndFields()
{
    QList<QByteArray> lines;
    SignalRecorder r([&lines](const QByteArray& line) { lines << line; });
    r.log(1.5, QStringLiteral("quote \" and\nnewline"));
    r.progress(SignalRecorder::Read, 2.25, 40, 12.5, 11.0);
    r.streamSample(SignalRecorder::Write, 3, 2, 55, 4.5, 3.25);
    r.rollingFileProgress(4, 3, 9, qlonglong(5) << 40, qlonglong(6) << 40);
    r.testError(5, QStringLiteral("Write failed (/x)"));
    QCOMPARE(lines.size(), 5);

    QJsonObject o[5];
    for (int i = 0; i < 5; ++i) {
        QJsonParseError err;
        const QJsonDocument doc = QJsonDocument::fromJson(lines.at(i), &err);
        QVERIFY2(err.error == QJsonParseError::NoError, lines.at(i).constData());
        QVERIFY(!lines.at(i).contains('\n'));
        o[i] = doc.object();
        QVERIFY(o[i].value(QStringLiteral("t")).isDouble());
    }
    QCOMPARE(o[0].value("signal").toString(), QStringLiteral("log"));
    QCOMPARE(o[0].value("message").toString(), QStringLiteral("quote \" and\nnewline"));
    QCOMPARE(o[0].value("t").toDouble(), 1.5);
    QCOMPARE(o[3].value("bytesWritten").toDouble(), double(qlonglong(5) << 40));
    QCOMPARE(o[4].value("signal").toString(), QStringLiteral("testError"));
    QVERIFY(r.hadError());
}

void TestEngineDriver::summaryAddsTheLastAverageOfEveryStream()
{
    QByteArray last;
    SignalRecorder r([&last](const QByteArray& line) { last = line; });
    using R = SignalRecorder;
    // Two streams; only each stream's most recent average counts towards the sum.
    r.streamSample(R::Write, 200, 0, 10, 9.0, 9.0);
    r.streamSample(R::Write, 200, 1, 10, 11.0, 11.0);
    r.progress(R::Write, 200, 10, 20.0, 20.0);
    r.streamSample(R::Write, 400, 0, 100, 10.0, 9.5);
    r.streamSample(R::Write, 400, 1, 100, 10.0, 10.25);
    r.progress(R::Write, 400, 100, 20.0, 19.5);
    r.phaseFinished(R::Write, 401, 19.5);
    QCOMPARE(r.streamAverageSum(R::Write), 19.75);
    QCOMPARE(r.streamAverageSum(R::Read), -1.0);
    QVERIFY(r.phaseDone(R::Write));
    QVERIFY(!r.phaseDone(R::Read));
    QVERIFY(!r.hadError());

    const QJsonObject s = r.writeSummary(500);
    const QJsonObject fromLine = QJsonDocument::fromJson(last).object();
    QCOMPARE(fromLine.value("signal").toString(), QStringLiteral("summary"));
    QCOMPARE(fromLine.value("write").toObject(), s.value("write").toObject());

    const QJsonObject w = s.value("write").toObject();
    QCOMPARE(w.value("avgMBps").toDouble(), 19.5);
    QCOMPARE(w.value("streamAvgSumMBps").toDouble(), 19.75);
    QCOMPARE(w.value("streamSumToPhaseRatio").toDouble(), 19.75 / 19.5);
    const QJsonArray streams = w.value("streams").toArray();
    QCOMPARE(streams.size(), 2);
    QCOMPARE(streams.at(1).toObject().value("lastAvgMBps").toDouble(), 10.25);
    QVERIFY(s.value("errors").toArray().isEmpty());
}

void TestEngineDriver::summaryOfAnUnfinishedPhase()
{
    SignalRecorder r(nullptr); // no sink: nothing printed, nothing crashes
    r.progress(SignalRecorder::Read, 100, 30, 5, 5);
    r.testError(120, QStringLiteral("Read failed (a)\nRead failed (b)"));
    const QJsonObject s = r.summary();
    const QJsonObject read = s.value("read").toObject();
    QVERIFY(!read.value("finished").toBool());
    QVERIFY(read.value("avgMBps").isNull());
    QCOMPARE(s.value("errors").toArray().size(), 1);
    QVERIFY(s.value("write").toObject().value("firstSignalMs").toDouble() < 0);
}

QTEST_GUILESS_MAIN(TestEngineDriver)
#include "tst_enginedriver.moc"
