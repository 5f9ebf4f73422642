// One whole test on a card through the test session, judged with the figures and the default
// rules the window uses, printed as one tab-separated line:
//   label  outcome  write verdicts  read verdicts  card write figures  worst spreads
// On a steady card (--expect steady) the card-total row deserves the verdict of a card moving
// exactly at the caps with no spread at all, a stream row that of its own average: anything
// worse is a false alarm, anything better a misread speed. On a faulty card (--expect fault)
// every write row must come out worse than on the same card without its fault. run-matrix runs
// it over the matrix inside bench/card-sim.

#include "analysis/verdict.h"
#include "engine/units.h"
#include "i18n/i18n.h"
#include "session/testsession.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

namespace {

char letter(Verdict v)
{
    return v == Verdict::Pass ? 'P' : v == Verdict::Warn ? 'W' : 'F';
}

// What a card moving exactly `speed` MB/s, with no spread at all, would be judged.
Verdict idealVerdict(double speed, bool cardTotal, bool write, const VerdictRules& rules)
{
    StreamMetrics m;
    m.avg = m.max = m.min = speed;
    m.sampleCount = 100;
    const StreamMetrics none;
    if (cardTotal) {
        const RowVerdict v = write ? judgeCardTotalRow(m, none, rules, false)
                                   : judgeCardTotalRow(none, m, rules, true);
        return write ? v.write : v.read;
    }
    const RowVerdict v =
        write ? judgeStreamRow(m, none, rules, false) : judgeStreamRow(none, m, rules, true);
    return write ? v.write : v.read;
}

bool makeSource(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    auto* words = reinterpret_cast<quint32*>(chunk.data());
    for (qint64 done = 0; done < bytes; done += chunk.size()) {
        QRandomGenerator::global()->fillRange(words, chunk.size() / 4);
        if (file.write(chunk.constData(), std::min<qint64>(chunk.size(), bytes - done)) < 0)
            return false;
    }
    return true;
}

qint64 sizeArg(const QString& text)
{
    const QChar unit = text.isEmpty() ? QChar() : text.back().toUpper();
    const qint64 mult = unit == 'K'   ? units::KiB
                        : unit == 'M' ? units::MiB
                        : unit == 'G' ? units::GiB
                                      : 1;
    return qint64((mult == 1 ? text : text.chopped(1)).toDouble() * mult);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("One whole test judged as the window does."));
    cli.addHelpOption();
    const QCommandLineOption root("root", "card root", "dir");
    const QCommandLineOption label("label", "case name", "text", "case");
    const QCommandLineOption streams("streams", "random-data streams", "n", "1");
    const QCommandLineOption block("block", "block size", "bytes", "1M");
    const QCommandLineOption size("size", "bytes per stream (the larger copy)", "bytes", "64M");
    const QCommandLineOption copies("copies", "two copies of sizes 1:1 or 1:3", "ratio");
    const QCommandLineOption writeCap("write-cap", "card write cap", "MiB/s", "0");
    const QCommandLineOption readCap("read-cap", "card read cap", "MiB/s", "0");
    const QCommandLineOption expect("expect", "steady, fault or cliff", "kind", "steady");
    const QCommandLineOption noRead("no-read", "write phase only");
    cli.addOptions({root, label, streams, block, size, copies, writeCap, readCap, expect, noRead});
    cli.process(app);

    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("QuorvelTests"));
    QCoreApplication::setApplicationName(QStringLiteral("verdictbench"));
    QSettings().setValue(QStringLiteral("ui/language"), 1);
    I18n::instance()->initLanguage();

    const qint64 blockBytes = sizeArg(cli.value(block));
    const qint64 perStream = sizeArg(cli.value(size));
    const bool readEnabled = !cli.isSet(noRead);
    TestPlan plan;
    plan.rootPath = QDir(cli.value(root)).canonicalPath() + '/';
    plan.blockSize = blockBytes;
    plan.readEnabled = readEnabled;
    QTemporaryDir sources(QDir::tempPath() + QStringLiteral("/verdictbench.XXXXXX"));
    int n = qBound(1, cli.value(streams).toInt(), 16);
    if (cli.isSet(copies)) {
        const int ratio = cli.value(copies) == QLatin1String("1:3") ? 3 : 1;
        const QStringList files = {sources.filePath(QStringLiteral("short.bin")),
                                   sources.filePath(QStringLiteral("long.bin"))};
        if (!makeSource(files[0], perStream / ratio) || !makeSource(files[1], perStream)) {
            std::fprintf(stderr, "verdictbench: cannot make the source files\n");
            return 1;
        }
        plan.sourceFiles = files;
        n = 2;
    } else {
        plan.testSize = perStream;
        plan.streamCount = n;
    }

    // The session judges exactly as the window does; the engine's own phase average (its last
    // progress report) is printed beside the card row's for comparison.
    TestSession session;
    double engineWriteAvg = 0;
    QObject::connect(&session, &TestSession::phaseProgress,
                     [&](bool isWrite, int, double, double avg, qint64) {
                         if (isWrite)
                             engineWriteAvg = avg;
                     });
    RunResult result;
    QObject::connect(&session, &TestSession::finished, [&](const RunResult& r) {
        result = r;
        QCoreApplication::quit();
    });
    session.startPlan(plan);
    QCoreApplication::exec();
    if (result.end != RunEnd::Completed) {
        std::printf("%s\tERROR %s\n", qPrintable(cli.value(label)),
                    qPrintable(result.errors.join(QLatin1String("; "))));
        return 1;
    }

    const VerdictRules rules;
    QVector<StreamMetrics> w, r;
    QVector<RowVerdict> verdicts;
    for (const RunRow& row : result.figures.rows) {
        w << row.write;
        r << row.read;
        verdicts << row.verdict;
    }

    const QString kind = cli.value(expect);
    const double wCap = cli.value(writeCap).toDouble(), rCap = cli.value(readCap).toDouble();
    QByteArray wText, rText;
    bool falseAlarm = false, under = false;
    int hits = 0;
    double worstJitter = 0, worstCv = 0, worstDrop = 0;
    for (int i = 0; i < verdicts.size(); ++i) {
        const bool total = i == 0;
        const Verdict wv = verdicts[i].write, rv = verdicts[i].read;
        wText += letter(wv);
        rText += readEnabled ? letter(rv) : '-';
        if (kind == QLatin1String("steady")) {
            // The card total moves at the caps; how the card divides itself between streams is
            // not under test, so a stream deserves what its own average deserves. Within 3 %
            // of a limit either verdict is right: the throttle is that exact over a phase.
            const double wSpeed = total ? wCap : w.value(i).avg;
            const double rSpeed = total ? rCap : r.value(i).avg;
            const auto worse = [&](Verdict v, double speed, bool isWrite) {
                return int(v) > int(idealVerdict(speed * 0.97, total, isWrite, rules));
            };
            const auto better = [&](Verdict v, double speed, bool isWrite) {
                return int(v) < int(idealVerdict(speed * 1.03, total, isWrite, rules));
            };
            falseAlarm |= worse(wv, wSpeed, true) || (readEnabled && worse(rv, rSpeed, false));
            // Below a minimum, Fail is right: a steadier verdict means a speed misread.
            under |= better(wv, wSpeed, true) || (readEnabled && better(rv, rSpeed, false));
        } else if (kind == QLatin1String("fault")) {
            // Caught: judged worse than the same card without its fault would be.
            const double speed = (total ? wCap : wCap / n) * 0.97;
            hits += int(wv) > int(idealVerdict(speed, total, true, rules));
        }
        for (const StreamMetrics& m : {w.value(i), r.value(i)}) {
            worstJitter = std::max(worstJitter, m.jitter);
            worstCv = std::max(worstCv, m.cv);
            worstDrop = std::max(worstDrop, m.dropRatio);
        }
    }
    QString outcome = falseAlarm ? QStringLiteral("FALSE-ALARM")
                      : under    ? QStringLiteral("UNDER-JUDGED")
                                 : QStringLiteral("ok");
    if (kind == QLatin1String("fault")) {
        outcome = hits == verdicts.size() ? QStringLiteral("detected")
                  : hits > 0              ? QStringLiteral("some rows")
                                          : QStringLiteral("MISSED");
    }
    const StreamMetrics& card = w.first();
    if (kind == QLatin1String("cliff")) {
        const double off = wCap > 0 ? card.avg / wCap - 1 : 0;
        outcome = QStringLiteral("%1 (%2%)")
                      .arg(qAbs(off) <= 0.03 ? QStringLiteral("ok") : QStringLiteral("OFF"))
                      .arg(off * 100, 0, 'f', 1);
    }
    std::printf("%-28s\t%-13s\tW %s\tR %s\tcard W avg %.2f (bytes/time %.2f) min %.2f max %.2f\t"
                "worst jitter %.0f%% cv %.0f%% drop %.0f%%\n",
                qPrintable(cli.value(label)), qPrintable(outcome), wText.constData(),
                rText.constData(), card.avg, engineWriteAvg, card.min, card.max, worstJitter * 100,
                worstCv * 100, worstDrop * 100);
    std::fflush(stdout);
    return 0;
}
