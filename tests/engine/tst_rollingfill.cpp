#include "engine/speedtester.h"
#include "enginetestutil.h"
#include "signalrecorder.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace enginetest;
using Event = SignalRecorder::Event;

namespace {

const QString RollStart = "========== Rolling-fill test started ==========";
const QString RollDone = "========== Rolling-fill test complete ==========";
const QString Full = QString::fromUtf8("Insufficient space — Write failed (%1)");

// The folder's files with their sizes, "name:bytes", sorted by name.
QStringList filesWithSizes(const QString& folder)
{
    QStringList out;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
        out << QString("%1:%2").arg(f.fileName()).arg(f.size());
    return out;
}

} // namespace

class RollingFillTest : public QObject
{
    Q_OBJECT
private slots:
    void rollingFill_data();
    void rollingFill();
};

void RollingFillTest::rollingFill_data()
{
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<qint64>("freeBytes");
    QTest::addColumn<int>("refills");
    QTest::addColumn<qint64>("tmpfs"); // a card of this size; 0: a plain folder
    QTest::addColumn<int>("perFill");  // files per fill, 0 when refused
    QTest::addColumn<qint64>("tail");
    QTest::addColumn<int>("fullAt");    // file that finds the card full; -1 none
    QTest::addColumn<QString>("error"); // refusal or test error, %1 the failing path
    QTest::addColumn<bool>("stop");     // stop after the first sample
    QTest::addColumn<int>("blocked");   // file whose name is taken by a folder; -1 none
    const qint64 F = 2 * Block;
    QTest::newRow("10 F and a tail") << F + 1000 << 10 * F + 3 * Block / 2 << 1 << qint64(0) << 11
                                     << Block << -1 << QString() << false << -1;
    QTest::newRow("exactly 3 F") << F << 3 * F << 1 << qint64(0) << 3 << qint64(0) << -1
                                 << QString() << false << -1;
    QTest::newRow("below F") << 16 * F << 5 * Block + 7 << 1 << qint64(0) << 1 << 5 * Block << -1
                             << QString() << false << -1;
    QTest::newRow("3 fills of 4") << F << 4 * F << 3 << qint64(0) << 4 << qint64(0) << -1
                                  << QString() << false << -1;
    QTest::newRow("0 refills") << F << 2 * F << 0 << qint64(0) << 2 << qint64(0) << -1 << QString()
                               << false << -1;
    QTest::newRow("file below a block")
        << Block - 4096 << 8 * F << 1 << qint64(0) << 0 << qint64(0) << -1
        << "File size is smaller than the block size." << false << -1;
    QTest::newRow("free below a block")
        << F << Block - 1 << 1 << qint64(0) << 0 << qint64(0) << -1
        << "Card free space is insufficient to write even one file." << false << -1;
    // 128 MB in all: a sample comes before the end even on a fast disk.
    QTest::newRow("stop after a sample") << 64 * F << 8 * 64 * F << 2 << qint64(0) << 8 << qint64(0)
                                         << -1 << QString() << true << -1;
    QTest::newRow("file cannot be created") << F << 3 * F << 2 << qint64(0) << 3 << qint64(0) << -1
                                            << "Cannot create target file: %1" << false << 1;
    // The card holds 2 blocks less than the plan says: its last file finds it full, twice.
    QTest::newRow("full in the last file") << 4 * Block << 18 * Block << 2 << 16 * Block << 5
                                           << 2 * Block << 4 << QString() << false << -1;
    // Many small files: the card is full two files before the end of each fill, but the
    // shortfall is below 1 % of the fill, as file system bookkeeping takes it.
    QTest::newRow("full near the end") << Block << 258 * Block << 2 << 256 * Block << 258
                                       << qint64(0) << 256 << QString() << false << -1;
    QTest::newRow("full too early")
        << 4 * Block << 24 * Block << 2 << 16 * Block << 6 << qint64(0) << 4 << Full << false << -1;
}

void RollingFillTest::rollingFill()
{
    QFETCH(qint64, fileSize);
    QFETCH(qint64, freeBytes);
    QFETCH(int, refills);
    QFETCH(qint64, tmpfs);
    QFETCH(int, perFill);
    QFETCH(qint64, tail);
    QFETCH(int, fullAt);
    QFETCH(QString, error);
    QFETCH(bool, stop);
    QFETCH(int, blocked);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path() + "/";
    const auto mount = [&](const QStringList& args) { return QProcess::execute("mount", args); };
    if (tmpfs > 0 && mount({"-t", "tmpfs", "-o", QString("size=%1").arg(tmpfs), "t", root}) != 0)
        QSKIP("needs root to mount a small tmpfs card");
    const auto unmount = qScopeGuard([&] {
        if (tmpfs > 0)
            QProcess::execute("umount", {root});
    });
    const auto name = [&](int i) { return QString("__roll_%1.dat").arg(i); };
    if (blocked >= 0)
        QVERIFY(QDir(root).mkdir(name(blocked)));

    const qint64 F = fileSize / Block * Block;
    const int fills = qMax(1, refills);
    const auto sizeAt = [&](int i) { return i % perFill == perFill - 1 && tail > 0 ? tail : F; };
    const bool failing = !error.isEmpty() && perFill > 0;
    const int total = perFill * fills;
    const int last = failing ? qMax(blocked, fullAt) : total - 1;
    SpeedTester e;
    SignalRecorder rec(&e);
    // When file i starts, the card holds its fill's earlier files, whole, and nothing else.
    QStringList seen;
    bool closing = false;
    rec.onEvent = [&](const Event& ev) {
        const int i = ev.args.value(0).toInt() - 1;
        if (ev.name == "writeProgress") {
            closing = i == 99;
            if (stop)
                e.requestStop();
        }
        if (ev.name != "rollingFileProgress" || closing || seen.contains(name(i)))
            return;
        seen << name(i);
        QStringList expected;
        for (int k = i - i % perFill; k < i; ++k)
            expected << QString("%1:%2").arg(name(k)).arg(sizeAt(k));
        expected.sort();
        QCOMPARE(filesWithSizes(root), expected);
    };
    e.setRootPath(root);
    e.setBlockSize(Block);
    e.setRollingParams(fileSize, freeBytes, refills);
    e.start();
    QVERIFY(e.wait(120000));
    QVERIFY(filesWithSizes(root).isEmpty());
    if (perFill == 0) {
        QCOMPARE(rec.events().size(), 1);
        QCOMPARE(rec.named("testError")[0].args[0].toString(), error);
        return;
    }

    QStringList logs = {RollStart, QString("Per file: %1 MB   Files per fill: %2   Refills: %3   "
                                           "Total files: %4")
                                       .arg(F / 1048576)
                                       .arg(perFill)
                                       .arg(fills)
                                       .arg(total)};
    if (tail > 0)
        logs << QString("  Last %1 MB is a tail file sized to fill the remaining card capacity")
                    .arg(tail / 1048576);
    for (int k = fullAt; !failing && k >= 0 && k < total; k += perFill)
        logs << Full.arg(root + name(k));
    logs << (stop ? "Test cancelled by user." : RollDone);
    QCOMPARE(rec.logs(), logs);
    if (!stop) {
        QStringList names;
        for (int k = 0; k <= last; ++k)
            if (fullAt < 0 || k % perFill <= fullAt)
                names << name(k);
        QCOMPARE(seen, names);
    }

    // The closing figures, also after an error or a stop: 100 %, the counter at its end.
    const QVector<Event> ev = rec.events();
    const int fin = rec.indexOf("writeFinished");
    QVERIFY(fin >= 3 && fin == ev.size() - 2);
    const double avg = ev[fin].args[0].toDouble();
    QVERIFY(avg > 0);
    QCOMPARE(ev[fin - 3].name, QString("writeProgress"));
    QCOMPARE(ev[fin - 3].args.mid(0, 1), QVariantList{100});
    QCOMPARE(ev[fin - 3].args[2].toDouble(), avg);
    QCOMPARE(ev[fin - 2].args.mid(0, 2), QVariantList({0, 100}));
    const QVariantList counter = ev[fin - 1].args;
    QCOMPARE(counter.mid(0, 2), QVariantList({total, total}));
    qint64 planned = 0;
    for (int k = 0; k < total; ++k)
        planned += sizeAt(k);
    QCOMPARE(counter[3].toLongLong(), planned);
    if (!failing && !stop && fullAt < 0)
        QCOMPARE(counter[2].toLongLong(), planned);
    QCOMPARE(rec.count("testError"), int(failing));
    if (failing) {
        QCOMPARE(rec.named("testError")[0].args[0].toString(), error.arg(root + name(last)));
        QVERIFY(rec.indexOf("testError") < fin - 3);
    }
    if (stop) {
        // The sample: card progress, the stream, then the counter with the bytes behind it.
        const int first = rec.indexOf("writeProgress");
        if (first == fin - 3)
            QSKIP("the disk wrote 128 MB before the first sample");
        const QVariantList c = ev[first + 2].args;
        QCOMPARE(ev[first].args[0].toLongLong(), c[2].toLongLong() * 100 / c[3].toLongLong());
        QVERIFY(ev[first].args[0].toInt() < 100);
    }
    QVERIFY(blocked < 0 || QDir(root).rmdir(name(blocked)));
}

int runRollingFillTests(int argc, char** argv)
{
    RollingFillTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_rollingfill.moc"
