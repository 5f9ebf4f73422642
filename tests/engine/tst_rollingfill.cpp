#include "engine/speedtester.h"
#include "enginetestutil.h"
#include "signalrecorder.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace enginetest;

namespace {

const qint64 F = 2 * Block;
const QString Full = QString::fromUtf8("Insufficient space — Write failed (%1)");

struct Row
{
    qint64 fileSize = 0, freeBytes = 0, tail = 0;
    int refills = 0, perFill = 0; // files per fill; 0: refused with `error`
    QString error;                // also a test error, %1 the failing path
    int blocked = -1;             // a folder takes this file's name
    int fullAt = -1;              // the card (a tmpfs) holds only this many files of each fill
    bool stop = false;            // after the first sample
};

QString name(int i)
{
    return QString("__roll_%1.dat").arg(i);
}

} // namespace
Q_DECLARE_METATYPE(Row)

class RollingFillTest : public QObject
{
    Q_OBJECT
private slots:
    void rollingFill_data();
    void rollingFill();
};

void RollingFillTest::rollingFill_data()
{
    QTest::addColumn<Row>("r");
    const auto row = [](const char* tag, qint64 size, qint64 free, qint64 tail, int refills,
                        int perFill, QString error = {}, int blocked = -1, int fullAt = -1) {
        QTest::newRow(tag) << Row{size, free, tail, refills, perFill, error, blocked, fullAt};
    };
    row("10 F and a tail", F + 1000, 10 * F + 3 * Block / 2, Block, 1, 11);
    row("exactly 3 F", F, 3 * F, 0, 1, 3);
    row("below F", 16 * F, 5 * Block + 7, 5 * Block, 1, 1);
    row("3 fills of 4", F, 4 * F, 0, 3, 4);
    row("0 refills", F, 2 * F, 0, 0, 2);
    row("file below a block", Block - 4096, 8 * F, 0, 1, 0,
        "File size is smaller than the block size.");
    row("free below a block", F, Block - 1, 0, 1, 0,
        "Card free space is insufficient to write even one file.");
    row("file cannot be created", F, 3 * F, 0, 2, 3, "Cannot create target file: %1", 1);
    // The card is full in the tail, or two small files before the end of the fill (under 1 %
    // of it, as file system bookkeeping takes): each fill is complete. With a third to go: error.
    row("full in the last file", F, 8 * F + Block, Block, 2, 9, {}, -1, 8);
    row("full near the end", Block, 258 * Block, 0, 2, 258, {}, -1, 256);
    row("full too early", F, 6 * F, 0, 2, 6, Full, -1, 4);
    // Far more than a busy or a fast disk writes before the first sample: only the stop ends it.
    QTest::newRow("stop after a sample") << Row{64 * F, 64 * 64 * F, 0, 2, 64, {}, -1, -1, true};
}

void RollingFillTest::rollingFill()
{
    QFETCH(Row, r);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path() + "/";
    const qint64 f = r.fileSize / Block * Block;
    const QString card = QString("size=%1").arg(r.fullAt * f);
    if (r.fullAt > 0 && QProcess::execute("mount", {"-t", "tmpfs", "-o", card, "t", root}) != 0)
        QSKIP("needs root to mount a small tmpfs card");
    const auto unmount = qScopeGuard([&] { r.fullAt > 0 && QProcess::execute("umount", {root}); });
    if (r.blocked >= 0)
        QVERIFY(QDir(root).mkdir(name(r.blocked)));

    const int fills = qMax(1, r.refills), total = r.perFill * fills;
    const auto sizeAt = [&](int i) {
        return i % r.perFill == r.perFill - 1 && r.tail ? r.tail : f;
    };
    const bool failing = !r.error.isEmpty() && r.perFill > 0;
    SpeedTester e;
    SignalRecorder rec(&e);
    // When file i starts, the card holds its fill's earlier files, whole, and nothing else.
    QStringList started;
    bool closing = false;
    rec.onEvent = [&](const SignalRecorder::Event& ev) {
        const int i = ev.args.value(0).toInt() - 1;
        closing = closing || (ev.name == "writeProgress" && i == 99);
        if (ev.name == "writeProgress" && r.stop)
            e.requestStop();
        if (ev.name != "rollingFileProgress" || started.contains(name(i)) || closing)
            return;
        started << name(i);
        QStringList expected, onCard;
        for (int k = i - i % r.perFill; k < i; ++k)
            expected << QString("%1 %2").arg(name(k)).arg(sizeAt(k));
        for (const QFileInfo& fi : QDir(root).entryInfoList(QDir::Files))
            onCard << QString("%1 %2").arg(fi.fileName()).arg(fi.size());
        onCard.sort();
        expected.sort();
        QCOMPARE(onCard, expected);
    };
    e.setRootPath(root);
    e.setBlockSize(Block);
    e.setRollingParams(r.fileSize, r.freeBytes, r.refills);
    e.start();
    QVERIFY(e.wait(120000));
    QVERIFY(QDir(root).entryList(QDir::Files).isEmpty());
    if (r.perFill == 0) {
        QCOMPARE(rec.events().size(), 1);
        QCOMPARE(rec.named("testError")[0].args[0].toString(), r.error);
        return;
    }

    QStringList logs = {
        "========== Rolling-fill test started ==========",
        QString("Per file: %1 MB   Files per fill: %2   Refills: %3   Total files: %4")
            .arg(f / 1048576)
            .arg(r.perFill)
            .arg(fills)
            .arg(total)};
    if (r.tail)
        logs << QString("  Last %1 MB is a tail file sized to fill the remaining card capacity")
                    .arg(r.tail / 1048576);
    for (int k = r.fullAt; !failing && k >= 0 && k < total; k += r.perFill)
        logs << Full.arg(root + name(k));
    logs << (r.stop ? "Test cancelled by user."
                    : "========== Rolling-fill test complete ==========");
    QCOMPARE(rec.logs(), logs);
    const QString last = started.value(started.size() - 1);
    const int lastFile = failing         ? qMax(r.blocked, r.fullAt)
                         : r.fullAt >= 0 ? total - r.perFill + r.fullAt
                                         : total - 1;
    QVERIFY(r.stop || last == name(lastFile));
    QCOMPARE(rec.count("testError"), int(failing));
    if (failing)
        QCOMPARE(rec.named("testError")[0].args[0].toString(), r.error.arg(root + last));

    // The closing figures, also after an error or a stop: 100 %, the counter at its end.
    const QVector<SignalRecorder::Event> ev = rec.events();
    const int fin = rec.indexOf("writeFinished");
    QVERIFY(fin == ev.size() - 2 && fin > rec.indexOf("testError") + 3);
    const QVariant avg = ev[fin].args[0];
    QCOMPARE(ev[fin - 3].args.mid(0, 1) << ev[fin - 3].args[2], QVariantList({100, avg}));
    QCOMPARE(ev[fin - 2].args.mid(0, 2) << ev[fin - 2].args[3], QVariantList({0, 100, avg}));
    const qint64 planned = (r.perFill * f - (r.tail ? f - r.tail : 0)) * fills;
    QCOMPARE(ev[fin - 1].args.mid(0, 2) << ev[fin - 1].args[3],
             QVariantList({total, total, planned}));
    // Everything written, unless stopped (then well before the end) or failing.
    const qint64 written = ev[fin - 1].args[2].toLongLong();
    QVERIFY(r.stop ? written < planned / 2 : failing || r.fullAt >= 0 || written == planned);
    QVERIFY(avg.toDouble() > 0 && (r.blocked < 0 || QDir(root).rmdir(name(r.blocked))));
}

int runRollingFillTests(int argc, char** argv)
{
    RollingFillTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_rollingfill.moc"
