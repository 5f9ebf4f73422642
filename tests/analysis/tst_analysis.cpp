#include "analysis/phasesamples.h"
#include "analysis/sampleseries.h"
#include "analysis/streammetrics.h"
#include "analysis/verdict.h"
#include "analysis/verdictcell.h"
#include "i18n/i18n.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidgetItem>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

QVector<double> run(double speed, int count)
{
    return QVector<double>(count, speed);
}

QVector<double> series(std::initializer_list<double> values)
{
    return QVector<double>(values);
}

// A record with quiet figures whose minimum is the only thing that can trip a rule.
StreamMetrics quiet(double min)
{
    return {50, 60, min, 0, 0, 0, 0, 100};
}

bool close(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max(1.0, std::max(std::abs(a), std::abs(b)));
}

// Compares every field (the fuzzy QCOMPARE of doubles takes NaN as equal to NaN).
void expect(const StreamMetrics& m, const StreamMetrics& e)
{
    QCOMPARE(m.avg, e.avg);
    QCOMPARE(m.max, e.max);
    QCOMPARE(m.min, e.min);
    QCOMPARE(m.jitter, e.jitter);
    QCOMPARE(m.cv, e.cv);
    QCOMPARE(m.dropRatio, e.dropRatio);
    QCOMPARE(m.dropCount, e.dropCount);
    QCOMPARE(m.sampleCount, e.sampleCount);
}

} // namespace

class TestAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void workedExamples();
    void emptyAndNonPositiveAverage();
    void trimNeedsAClearBurstAndASettledTail();
    void dropAndPercentileBoundaries();
    void randomSeriesProperties();
    void trailingMeanExtremes();
    void phaseBookkeeping();
    void rowVerdicts();
    void tooltipInEnglish();
    void badDataFailsItsRowAndTheCard_data();
    void badDataFailsItsRowAndTheCard();
    void verdictCell();
};

void TestAnalysis::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true); // private settings, never the user's
    QCoreApplication::setOrganizationName("QuorvelTests");
    QCoreApplication::setApplicationName("tst_analysis");
    QSettings().setValue("ui/language", 1); // English; no first-run dialog
    I18n::instance()->initLanguage();
}

void TestAnalysis::workedExamples()
{
    QVector<double> ascending;
    for (int i = 1; i <= 20; ++i)
        ascending.append(10.0 * i);
    // Fallbacks kept; P25 50, P75 150; the CV takes 10 to 190 (P5 and P95 included): 57000 / 19;
    // 10 to 50 are drops. 20 samples are too few to trim.
    for (bool trim : {false, true})
        expect(computeStreamMetrics(ascending, 100, 777, 3, trim),
               {100, 777, 3, 1.0, std::sqrt(3000.0) / 100, 0.25, 5, 20});

    // The smoothed speed reaches 20 at index 19: 21 samples of 20 are kept.
    const QVector<double> cliff = run(100, 10) + run(20, 30);
    expect(computeStreamMetrics(cliff, 999, 999, 999, true), {20, 20, 20, 0, 0, 0, 0, 21});
    // Untrimmed, against the fallback 40: variance (30 x 400 + 10 x 3600) / 40.
    expect(computeStreamMetrics(cliff, 40, 99, 19, false),
           {40, 99, 19, 0, std::sqrt(1200.0) / 40, 0.75, 30, 40});

    // A late transition (index 33) is capped at half the samples; the figures describe the kept
    // 20 (four 100s, sixteen 20s): variance (16 x 256 + 4 x 4096) / 20 = 1024.
    expect(computeStreamMetrics(run(100, 24) + run(20, 16), 1, 1, 1, true),
           {36, 100, 20, 0, 32.0 / 36, 0.8, 16, 20});
}

void TestAnalysis::emptyAndNonPositiveAverage()
{
    for (bool trim : {false, true})
        expect(computeStreamMetrics({}, 12.5, 30, 4, trim), {12.5, 30, 4, 0, 0, 0, 0, 0});
    const QVector<double> noisy = series({1, 50, 3, 400, 2, 90});
    for (double avg : {0.0, -5.0, qQNaN(), qInf()})
        expect(computeStreamMetrics(noisy, avg, 8, 2, false), {avg, 8, 2, 0, 0, 0, 0, 6});
}

void TestAnalysis::trimNeedsAClearBurstAndASettledTail()
{
    // The same cliff: 29 samples are never trimmed, 30 are (cut capped at 15).
    QCOMPARE(computeStreamMetrics(run(100, 10) + run(20, 19), 50, 1, 1, true).sampleCount, 29);
    QCOMPARE(computeStreamMetrics(run(100, 10) + run(20, 19), 50, 1, 1, true).avg, 50.0);
    QCOMPARE(computeStreamMetrics(run(100, 10) + run(20, 20), 50, 1, 1, true).sampleCount, 15);

    // A start of exactly 1.15 x the tail median (16) is a burst; a hair less is not.
    const double burst = 1.15 * 16.0;
    const QVector<double> rest = series({1}) + run(16, 28);
    QCOMPARE(computeStreamMetrics(series({burst}) + rest, 9, 9, 9, true).sampleCount, 29);
    QCOMPARE(computeStreamMetrics(series({std::nextafter(burst, 0.0)}) + rest, 9, 9, 9, true)
                 .sampleCount,
             30);

    // The burst ends at the first smoothed value <= 1.05 x median: (s0 + 1) / 2 lands on it.
    const double settled = 1.05 * 16.0;
    const double start = 2 * settled - 1;
    QCOMPARE(computeStreamMetrics(series({start}) + rest, 9, 9, 9, true).sampleCount, 29);
    QCOMPARE(computeStreamMetrics(series({std::nextafter(start, 100.0)}) + rest, 9, 9, 9, true)
                 .sampleCount,
             28);

    // Tail (from index 36) of twelve 18s and twelve 20s: the median is the upper middle, 20, so
    // the burst ends at index 19, where the smoothed speed first reaches 20.
    const QVector<double> twoLevels = run(100, 10) + run(20, 20) + run(18, 18) + run(20, 12);
    QCOMPARE(computeStreamMetrics(twoLevels, 9, 9, 9, true).sampleCount, 41);

    // A burst in the second half is no cache burst.
    QCOMPARE(
        computeStreamMetrics(run(20, 15) + run(100, 3) + run(20, 12), 9, 9, 9, true).sampleCount,
        30);

    // Tail median 10, but the 1000s keep every smoothed value above 10.5: no end, no trim.
    const QVector<double> tail = series({10, 1000, 10, 1000, 10, 1000, 10, 1000, 10, 1000, 10, 10});
    QCOMPARE(computeStreamMetrics(run(100, 18) + tail, 9, 9, 9, true).sampleCount, 30);

    // Equal peaks of 40 at indices 0 and 19: the earliest wins, so the burst ends at index 1.
    const QVector<double> twoPeaks = series({40}) + run(1, 9) + run(40, 10) + run(20, 20);
    QCOMPARE(computeStreamMetrics(twoPeaks, 9, 9, 9, true).sampleCount, 39);
}

void TestAnalysis::dropAndPercentileBoundaries()
{
    const double line = 0.6 * 8.0;
    StreamMetrics m =
        computeStreamMetrics(series({line, std::nextafter(line, 0.0), 10, 10}), 8, 1, 1, false);
    QCOMPARE(m.dropCount, 1);
    QCOMPARE(m.dropRatio, 0.25);

    // 21 samples: P5 = sorted[1] = 4 and P95 = sorted[19] = 4; only the nineteen 4s (deviation 1
    // from the average 5) make up the CV.
    m = computeStreamMetrics(series({1}) + run(4, 19) + series({100}), 5, 1, 1, false);
    QCOMPARE(m.cv, 0.2);
    QCOMPARE(m.jitter, 0.0);
    QCOMPARE(m.dropCount, 1);
}

void TestAnalysis::randomSeriesProperties()
{
    QRandomGenerator rng(20261206);
    int trimmed = 0, whole = 0;
    for (int round = 0; round < 600; ++round) {
        const int n = rng.bounded(200);
        const int head = rng.bounded(n + 1);
        const double fast = 5 + rng.bounded(300.0), slow = 1 + rng.bounded(100.0);
        const double noise = rng.bounded(0.6);
        QVector<double> s;
        for (int i = 0; i < n; ++i) {
            double v = (i < head ? fast : slow) * (1 + noise * (2 * rng.generateDouble() - 1));
            if (rng.bounded(20) == 0)
                v *= 0.05; // a stall
            s.append(std::max(v, 0.01));
        }
        const double fallback = rng.bounded(8) == 0 ? 0.0 : rng.bounded(200.0);
        const bool trim = rng.bounded(4) != 0;
        const StreamMetrics m = computeStreamMetrics(s, fallback, 300, 0.5, trim);

        for (double f : {m.avg, m.max, m.min, m.jitter, m.cv, m.dropRatio})
            QVERIFY(std::isfinite(f));
        QVERIFY(m.sampleCount <= n && 2 * m.sampleCount >= n);
        QVERIFY(trim || m.sampleCount == n);
        QVERIFY(m.dropRatio >= 0 && m.dropRatio <= 1);

        const int cut = n - m.sampleCount;
        ++(cut > 0 ? trimmed : whole);
        const QVector<double> kept = s.mid(cut);
        if (cut == 0) {
            QVERIFY(m.avg == fallback && m.max == 300 && m.min == 0.5);
        } else {
            double sum = 0, lo = qInf(), hi = -qInf();
            for (double v : kept)
                sum += v;
            QVERIFY(close(m.avg, sum / kept.size()));
            for (int end = 1; end <= kept.size(); ++end) {
                const QVector<double> window = kept.mid(std::max(0, end - 15), std::min(end, 15));
                const double mean =
                    std::accumulate(window.begin(), window.end(), 0.0) / window.size();
                lo = std::min(lo, mean);
                hi = std::max(hi, mean);
            }
            QVERIFY(close(m.max, hi) && close(m.min, lo));
        }
        if (kept.isEmpty() || m.avg <= 0) {
            QVERIFY(m.jitter == 0 && m.cv == 0 && m.dropCount == 0);
            continue;
        }
        auto pick = [&](double q) {
            QVector<double> v = kept;
            const int k = static_cast<int>(q * (v.size() - 1));
            std::nth_element(v.begin(), v.begin() + k, v.end());
            return v[k];
        };
        QVERIFY(close(m.jitter, (pick(0.75) - pick(0.25)) / m.avg));
        double squares = 0;
        int inside = 0, drops = 0;
        for (double v : kept) {
            if (v >= pick(0.05) && v <= pick(0.95)) {
                squares += (v - m.avg) * (v - m.avg);
                ++inside;
            }
            drops += v < 0.6 * m.avg;
        }
        QVERIFY(close(m.cv, std::sqrt(squares / inside) / m.avg));
        QCOMPARE(m.dropCount, drops);
    }
    QVERIFY2(trimmed > 100 && whole > 100, "the shapes must exercise both branches");
}

void TestAnalysis::trailingMeanExtremes()
{
    SampleSeries s;
    QVERIFY(!s.seen() && s.trendMax() == 0 && s.trendMin() == 0);
    QVERIFY(!s.add(100, 50) && !s.add(40, 0) && !s.add(40, -3)); // not measurements
    QVERIFY(!s.seen() && s.isEmpty());
    QVERIFY(s.add(99, 100));
    for (int i = 0; i < 14; ++i)
        QVERIFY(s.add(50, 1));
    QVERIFY(s.seen());
    QCOMPARE(s.trendMax(), 100.0);
    QCOMPARE(s.trendMin(), 114.0 / 15); // window full: 100 and fourteen 1s
    QVERIFY(s.add(50, 1));
    QCOMPARE(s.trendMin(), 1.0); // 100 has left the window
    for (int i = 0; i < 15; ++i)
        s.add(50, 40);
    QCOMPARE(s.trendMax(), 100.0);
    QCOMPARE(s.size(), 31);
    s.clear();
    QVERIFY(!s.seen() && s.trendMax() == 0 && s.isEmpty());
    QVERIFY(s.add(10, 30) && s.add(20, 10));
    QCOMPARE(s.trendMax(), 30.0);
    QCOMPARE(s.trendMin(), 20.0);
}

void TestAnalysis::phaseBookkeeping()
{
    PhaseSamples phase;
    phase.reset(3);
    QVERIFY(!phase.addStreamSample(3, 50, 10, 10) && !phase.addStreamSample(-1, 50, 10, 10));
    QVERIFY(!phase.addStreamSample(1, 100, 30, 42)); // average kept, speed not stored
    QCOMPARE(phase.streamAvg(1), 42.0);
    QVERIFY(phase.stream(1).isEmpty());
    QVERIFY(phase.addStreamSample(1, 50, 30, 25) && phase.addStreamSample(1, 60, 10, 20));
    QVERIFY(phase.addCardSample(50, 60) && !phase.addCardSample(100, 60));
    phase.finish(55);

    QVector<StreamMetrics> rows = phase.rowMetrics(false, 4);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0].avg, 55.0);
    QCOMPARE(rows[2].avg, 20.0);
    QCOMPARE(rows[2].max, 30.0);
    QCOMPARE(rows[2].min, 20.0);
    QCOMPARE(rows[2].sampleCount, 2);
    QCOMPARE(phase.rowMetrics(false, 10).size(), 4); // streams run out
    QCOMPARE(phase.rowMetrics(false, 3).size(), 3);  // rows run out
    QCOMPARE(phase.rowMetrics(false, 1).size(), 1);  // single-row table: card total only

    phase.reset(2);
    QCOMPARE(phase.cardAvg(), 55.0); // kept until the next finish report
    QVERIFY(phase.card().isEmpty() && !phase.card().seen());
    QCOMPARE(phase.streamCount(), 2);
    QVERIFY(phase.stream(1).isEmpty() && phase.streamAvg(1) == 0);
    phase.clear();
    QVERIFY(phase.cardAvg() == 0 && phase.streamCount() == 0);
}

void TestAnalysis::rowVerdicts()
{
    const VerdictRules rules;
    const StreamMetrics none;
    auto card = [&](double min) { return judgeCardTotalRow(quiet(min), none, rules, false).write; };
    QCOMPARE(card(15), Verdict::Warn);
    QCOMPARE(card(9.99), Verdict::Fail);
    QCOMPARE(card(10), Verdict::Warn);
    QCOMPARE(card(20), Verdict::Pass);
    QCOMPARE(judgeCardTotalRow(quiet(50), quiet(25), rules, true).read, Verdict::Warn);

    // The rules dialog restores 10 MB/s for both stream minimums; a fresh start has 5 for write.
    QCOMPARE(VerdictRules::restoredDefaults().perStreamWrite, 10.0);
    QCOMPARE(VerdictRules::restoredDefaults().perStreamRead, rules.perStreamRead);

    auto stream = [&](double min) { return judgeStreamRow(quiet(min), none, rules, false).write; };
    QCOMPARE(stream(2.4), Verdict::Fail);
    QCOMPARE(stream(2.5), Verdict::Warn);
    QCOMPARE(stream(5.0), Verdict::Pass);

    StreamMetrics shaky = quiet(50);
    shaky.jitter = 0.65;
    QCOMPARE(judgeMetrics(shaky, 5, rules), Verdict::Warn);
    shaky.jitter = 0.6501;
    QCOMPARE(judgeMetrics(shaky, 5, rules), Verdict::Fail);
    shaky.avg = 0; // nothing measured
    QCOMPARE(judgeMetrics(shaky, 5, rules), Verdict::Pass);
    // Every ratio trips strictly above its own thresholds.
    const struct
    {
        double StreamMetrics::*field;
        double fail, warn;
    } ratios[] = {{&StreamMetrics::jitter, rules.jitterFail, rules.jitterWarn},
                  {&StreamMetrics::cv, rules.cvFail, rules.cvWarn},
                  {&StreamMetrics::dropRatio, rules.dropFail, rules.dropWarn}};
    for (const auto& r : ratios) {
        StreamMetrics m = quiet(50);
        const auto judge = [&](double v) { return m.*r.field = v, judgeMetrics(m, 5, rules); };
        QCOMPARE(judge(std::nextafter(r.fail, 1.0)), Verdict::Fail);
        QCOMPARE(judge(r.fail), Verdict::Warn);
        QCOMPARE(judge(std::nextafter(r.warn, 1.0)), Verdict::Warn);
        QCOMPARE(judge(r.warn), Verdict::Pass);
    }

    // Bad read figures count only when the read test runs.
    StreamMetrics badRead = quiet(0.1);
    badRead.cv = 3;
    QCOMPARE(judgeStreamRow(quiet(50), badRead, rules, false).overall(), Verdict::Pass);
    QCOMPARE(judgeCardTotalRow(quiet(50), badRead, rules, false).overall(), Verdict::Pass);
    QCOMPARE(judgeStreamRow(quiet(50), quiet(7), rules, true).read, Verdict::Warn); // < 10
    const RowVerdict mixed = judgeStreamRow(quiet(4), badRead, rules, true);
    QCOMPARE(mixed.write, Verdict::Warn);
    QCOMPARE(mixed.overall(), Verdict::Fail);
    QCOMPARE(VerdictCellStyle::verdictText(mixed.overall()), QString::fromUtf8("✗ Fail"));

    // An empty card-total series fails on its minimum of 0, though its metrics pass.
    PhaseSamples write, read;
    write.reset(2);
    read.reset(2);
    write.addStreamSample(0, 100, 30, 30); // only the closing report: no extremes
    write.finish(30);
    const QVector<RowVerdict> verdicts =
        judgeRows(write.rowMetrics(true, 3), read.rowMetrics(true, 3), rules, true);
    QCOMPARE(verdicts.size(), 3);
    QCOMPARE(judgeMetrics(write.cardMetrics(true), 0, rules), Verdict::Pass);
    QCOMPARE(verdicts[0].write, Verdict::Fail);
    QCOMPARE(verdicts[0].read, Verdict::Fail);
    QCOMPARE(verdicts[1].overall(), Verdict::Fail); // average 30 but minimum 0 < 2.5
    QCOMPARE(verdicts[2].overall(), Verdict::Pass); // nothing measured at all
}

void TestAnalysis::tooltipInEnglish()
{
    // avg, max, min, jitter, cv, dropRatio, dropCount, sampleCount
    const StreamMetrics write{40, 60, 18.456, 0.1234, 0.0567, 0.025, 3, 120};
    const StreamMetrics read{50, 70, 31.5, 0.2, 0.111, 7.0 / 64, 7, 64};
    VerdictRules rules;
    rules.jitterFail = 0.7;
    rules.minSpeedMult = 0.35;
    const QString expected =
        QString::fromUtf8("Write: jitter 12.3% · CV 5.7% · drops 3/120 (2.5%) · min 18.46 MB/s\n"
                          "Read : jitter 20.0% · CV 11.1% · drops 7/64 (10.9%) · min 31.50 MB/s\n"
                          "\n"
                          "Rules (any subitem trips the row):\n"
                          "  Fail: jitter > 70% | CV > 50% | drops > 20% | min < threshold×0.35\n"
                          "  Warn: jitter > 45% | CV > 36% | drops > 10% | min < threshold");
    QCOMPARE(verdictTooltip(write, read, rules), expected);
}

void TestAnalysis::badDataFailsItsRowAndTheCard_data()
{
    // Three fast, steady streams; the data findings of each (file, bad blocks, offset).
    QTest::addColumn<QVector<int>>("badPerStream");
    QTest::addColumn<QVector<int>>("expectedFail"); // rows that fail: 0 the card, i + 1 stream i
    QTest::addColumn<QString>("cardTip");           // the data line of the card total's tooltip
    QTest::newRow("clean") << QVector<int>{0, 0, 0} << QVector<int>{} << QString();
    QTest::newRow("no findings at all") << QVector<int>{} << QVector<int>{} << QString();
    QTest::newRow("one stream") << QVector<int>{0, 3, 0} << QVector<int>{0, 2}
                                << "Data: blocks not as written: 3, the first at byte 2097152 of "
                                   "s2 100%.dat";
    QTest::newRow("two streams, first place kept")
        << QVector<int>{0, 2, 5} << QVector<int>{0, 2, 3}
        << "Data: blocks not as written: 7, the first at byte 2097152 of s2 100%.dat";
}

void TestAnalysis::badDataFailsItsRowAndTheCard()
{
    QFETCH(QVector<int>, badPerStream);
    QFETCH(QVector<int>, expectedFail);
    QFETCH(QString, cardTip);
    const VerdictRules rules;
    const QVector<StreamMetrics> fast(4, quiet(200));
    QVector<DataIntegrity> streams(badPerStream.size());
    for (int i = 0; i < badPerStream.size(); ++i) {
        // A '%' in a file's name stays as it is.
        const QString file = QStringLiteral("s%1 100%.dat").arg(i + 1);
        streams[i].add(file, badPerStream[i], (i + 1) * 1048576);
    }
    const QVector<RowVerdict> verdicts = judgeRows(fast, fast, rules, true, streams);
    const QVector<RowVerdict> speedOnly = judgeRows(fast, fast, rules, true);
    QCOMPARE(verdicts.size(), 4);
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(verdicts[row].write, speedOnly[row].write);
        QCOMPARE(verdicts[row].read, speedOnly[row].read);
        QCOMPARE(verdicts[row].overall(),
                 expectedFail.contains(row) ? Verdict::Fail : Verdict::Pass);
    }

    const DataIntegrity card = cardIntegrity(streams);
    const QString plain = verdictTooltip(fast[0], fast[0], rules);
    const QString tip = verdictTooltip(fast[0], fast[0], rules, card);
    QCOMPARE(tip, cardTip.isEmpty() ? plain : plain + "\n\n" + cardTip);
}

void TestAnalysis::verdictCell()
{
    QFont plain;
    plain.setPointSize(10);
    QTableWidgetItem item("--");
    item.setFont(plain);
    VerdictCellStyle::apply(&item, Verdict::Warn, "first");
    VerdictCellStyle::apply(&item, Verdict::Pass, "tip");
    QCOMPARE(item.font().pointSize(), 16); // not 22: always from the original font
    QCOMPARE(item.font().weight(), 75);
    QCOMPARE(item.text(), QString::fromUtf8("✓ Pass"));
    QCOMPARE(item.foreground().color(), QColor(25, 118, 210));
    QCOMPARE(item.background().color(), QColor(25, 118, 210, 35));
    QCOMPARE(item.textAlignment(), int(Qt::AlignCenter));
    QCOMPARE(item.toolTip(), QString("tip"));

    const VerdictCellStyle warn = VerdictCellStyle::forVerdict(Verdict::Warn, plain, "");
    QCOMPARE(warn.text, QString::fromUtf8("⚠ Warn"));
    QCOMPARE(warn.foreground, QColor(230, 126, 34));
    QCOMPARE(VerdictCellStyle::verdictColor(Verdict::Fail), QColor(211, 47, 47));
    QVERIFY(VerdictCellStyle::enlargedFont(plain).bold());
    QCOMPARE(plain.pointSize(), 10);
}

QTEST_MAIN(TestAnalysis)
#include "tst_analysis.moc"
