#include "analysis/phasesamples.h"
#include "analysis/verdict.h"
#include "analysis/verdictreasons.h"
#include "i18n/i18n.h"
#include "ui/resultstable.h"
#include "ui/verdictcell.h"

#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(StreamMetrics)
Q_DECLARE_METATYPE(Verdict)

namespace {

using Series = QVector<double>;

// Quiet figures whose minimum is the only thing that can trip a rule.
StreamMetrics quiet(double min)
{
    return {50, 60, min, 0, 0, 0, 0, 100};
}

// Every field to 12 digits, so a failure names what differs.
QStringList fields(const StreamMetrics& m)
{
    QStringList out;
    for (double f : {m.avg, m.max, m.min, m.jitter, m.cv, m.dropRatio, double(m.dropCount),
                     double(m.sampleCount)})
        out << QString::number(f, 'g', 12);
    return out;
}

} // namespace

class TestAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // the choice is stored, never in the user's store
        I18n::instance()->setLanguage(English);
    }

    void metrics_data()
    {
        QTest::addColumn<Series>("series");
        QTest::addColumn<double>("avg"); // the fallbacks: this average, maximum 777, minimum 3
        QTest::addColumn<bool>("trim");
        QTest::addColumn<StreamMetrics>("expected");
        Series ascending;
        for (int i = 1; i <= 20; ++i)
            ascending << 10.0 * i;
        // Mean 105, above the bytes over time (100), which the average takes; the trailing mean
        // of 15 runs from 10 up to 130 (60 to 200). P25 50, P75 150; the CV takes 10 to 190;
        // 10 to 50 are drops. Too few to trim.
        QTest::newRow("ascending")
            << ascending << 100.0 << true
            << StreamMetrics{100, 130, 10, 1, std::sqrt(3000.0) / 100, 0.25, 5, 20};
        // A burst ahead of the bytes over time: Min follows the average down.
        QTest::newRow("burst") << Series{40, 20, 20, 20} << 20.0 << false
                               << StreamMetrics{20, 40, 20, 0, 0, 0, 0, 4};
        // The smoothed speed reaches 20 at index 19: 21 samples of 20 are kept.
        const Series cliff = Series(10, 100) + Series(30, 20);
        QTest::newRow("cliff trimmed")
            << cliff << 9.0 << true << StreamMetrics{20, 20, 20, 0, 0, 0, 0, 21};
        // A late end (index 33) is capped at half; kept: four 100s, sixteen 20s.
        QTest::newRow("cut capped") << Series(24, 100) + Series(16, 20) << 1.0 << true
                                    << StreamMetrics{36, 100, 20, 0, 32.0 / 36, 0.8, 16, 20};
        // An empty series has only the fallbacks, and nothing to relate a spread to.
        for (double avg : {0.0, qQNaN(), 12.5})
            QTest::addRow("empty, average %g", avg)
                << Series() << avg << true << StreamMetrics{avg, 777, 3, 0, 0, 0, 0, 0};
        // Exactly on the drop line (0.6 x the mean of 10) is no drop; P95 leaves 14 out.
        QTest::newRow("drop line")
            << Series{6, 14, 10, 10} << 12.0 << false
            << StreamMetrics{10, 10, 6, 0.4, std::sqrt(16.0 / 3) / 10, 0, 0, 4};
    }

    void metrics()
    {
        QFETCH(Series, series);
        QFETCH(double, avg);
        QFETCH(bool, trim);
        QFETCH(StreamMetrics, expected);
        QCOMPARE(fields(computeStreamMetrics(series, avg, 777, 3, trim)), fields(expected));
    }

    void trim_data()
    {
        QTest::addColumn<Series>("series");
        QTest::addColumn<int>("kept");
        QTest::newRow("29 samples: too few") << Series(10, 100) + Series(19, 20) << 29;
        QTest::newRow("30 samples: cut at half") << Series(10, 100) + Series(20, 20) << 15;
        // A start of exactly 1.15 x the tail median (16) is a burst; a hair less is not.
        const Series rest = Series{1} + Series(28, 16);
        const double burst = 1.15 * 16;
        QTest::newRow("burst") << Series{burst} + rest << 29;
        QTest::newRow("no burst") << Series{std::nextafter(burst, 0.0)} + rest << 30;
        // Tail of twelve 18s and twelve 20s: the median is the upper middle, 20.
        QTest::newRow("even tail")
            << Series(10, 100) + Series(20, 20) + Series(18, 18) + Series(12, 20) << 41;
        // Equal peaks at indices 0 and 19: the earliest wins.
        QTest::newRow("equal peaks")
            << Series{40} + Series(9, 1) + Series(10, 40) + Series(20, 20) << 39;
    }

    void trim()
    {
        QFETCH(Series, series);
        QFETCH(int, kept);
        QCOMPARE(computeStreamMetrics(series, 9, 9, 9, true).sampleCount, kept);
    }

    void phase()
    {
        PhaseSamples write;
        write.reset(4);
        // The closing 100 % report and a standstill are no measurements, but the average is kept.
        QVERIFY(!write.addStreamSample(4, 50, 10, 10) && !write.addStreamSample(-1, 50, 10, 10));
        QVERIFY(!write.addStreamSample(0, 100, 30, 30) && !write.addStreamSample(2, 50, 0, 1));
        QVERIFY(write.addStreamSample(1, 50, 30, 25) && write.addStreamSample(1, 60, 10, 20));
        QVERIFY(write.addStreamSample(2, 99, 100, 1));
        for (int i = 0; i < 14; ++i)
            write.addStreamSample(2, 50, 1, 1);
        QCOMPARE(write.stream(2).trendMin(), 114.0 / 15); // the trend window of 15 is full
        write.addStreamSample(2, 50, 1, 1);
        QCOMPARE(write.stream(2).trendMin(), 1.0); // 100 has left it
        QCOMPARE(write.stream(2).trendMax(), 100.0);

        const QVector<StreamMetrics> rows = write.rowMetrics(false, 5);
        QCOMPARE(fields(rows[2]), fields({20, 30, 20, 0, 0.5, 0.5, 1, 2}));
        QCOMPARE(write.rowMetrics(false, 1).size(), 1); // card total only
        // The empty card total fails on its minimum of 0, and so does a stream with an average
        // but no samples; one that measured nothing passes.
        const QVector<RowVerdict> v = judgeRows(rows, {}, {}, true);
        QVERIFY(v[0].write == Verdict::Fail && v[1].write == Verdict::Fail);
        QCOMPARE(v[4].overall(), Verdict::Pass);
    }

    // Two streams on a steady 20 MB/s card that share it 2:1 and 1:2 by turns, then stream 0
    // finishes and stream 1 takes the whole card: neither is unsteadiness of the card.
    void streamsJudgedOnTheirShare()
    {
        PhaseSamples write;
        write.reset(2);
        for (int tick = 1; tick <= 40; ++tick) {
            const bool both = tick <= 30;
            write.addCardSample(tick * 2, 20);
            const double first = tick % 10 < 5 ? 40.0 / 3 : 20.0 / 3;
            if (both || tick == 31) // stream 0 reports its end once
                write.addStreamSample(0, both ? tick * 3 : 100, first, tick * 0.5);
            write.addStreamSample(1, tick * 2, both ? 20 - first : 20, tick * 0.5);
        }
        write.finish(20);
        const QVector<StreamMetrics> rows = write.rowMetrics(false, 3);
        // The card is steady throughout; each stream ran on half of it while both ran: from the
        // first tick on which both had reported to the one on which stream 0 reported its end.
        QCOMPARE(fields(rows[0]), fields({20, 20, 20, 0, 0, 0, 0, 40}));
        for (int i : {1, 2}) {
            QCOMPARE(fields(rows[i]), fields({10, 10, 10, 0, 0, 0, 0, 30}));
            QCOMPARE(rows[i].unjudged, 10);
        }
    }

    // One write record judged as the card total (10 / 20 MB/s) and as a stream (5 MB/s).
    void verdicts_data()
    {
        QTest::addColumn<StreamMetrics>("m");
        QTest::addColumn<Verdict>("card");
        QTest::addColumn<Verdict>("stream");
        const Verdict P = Verdict::Pass, W = Verdict::Warn, F = Verdict::Fail;
        const std::tuple<double, Verdict, Verdict> mins[] = {
            {2.4, F, F}, {2.5, F, W}, {9.99, F, P}, {10, W, P}, {19.99, W, P}, {20, P, P}};
        for (const auto& [min, card, stream] : mins)
            QTest::addRow("minimum %g", min) << quiet(min) << card << stream;
        // Nothing measured: the card total's minimum counts all the same.
        QTest::newRow("nothing") << StreamMetrics{0, 0, 0, 0, 3, 0, 0, 0} << F << P;
        // Every ratio trips strictly above its own thresholds.
        const VerdictRules r;
        const std::tuple<double StreamMetrics::*, double, double> ratios[] = {
            {&StreamMetrics::jitter, r.jitterFail, r.jitterWarn},
            {&StreamMetrics::cv, r.cvFail, r.cvWarn},
            {&StreamMetrics::dropRatio, r.dropFail, r.dropWarn}};
        for (const auto& [field, fail, warn] : ratios) {
            for (auto [value, verdict] :
                 {std::pair(std::nextafter(fail, 1.0), F), std::pair(fail, W),
                  std::pair(std::nextafter(warn, 1.0), W), std::pair(warn, P)}) {
                StreamMetrics m = quiet(50);
                m.*field = value;
                QTest::addRow("ratio %.17g", value) << m << verdict << verdict;
            }
        }
    }

    void verdicts()
    {
        QFETCH(StreamMetrics, m);
        QTEST(judgeCardTotalRow(m, {}, {}, false).write, "card");
        QTEST(judgeStreamRow(m, {}, {}, false).write, "stream");
        QCOMPARE(judgeCardTotalRow(quiet(50), m, {}, false).overall(), Verdict::Pass); // read off
        // A row has reasons exactly when it does not pass.
        QCOMPARE(verdictReasons(m, {}, {}, true, false, {}).isEmpty(),
                 judgeCardTotalRow(m, {}, {}, false).write == Verdict::Pass);
        QCOMPARE(verdictReasons(m, {}, {}, false, false, {}).isEmpty(),
                 judgeStreamRow(m, {}, {}, false).write == Verdict::Pass);
    }

    void reasons()
    {
        StreamMetrics write = quiet(8);
        write.jitter = 0.5;
        DataIntegrity bad;
        bad.add("f", 2, 0);
        const QStringList expected = {"Write: jitter 50.0% above 45.0%",
                                      "Write: minimum 8.00 MB/s below 10.00 MB/s",
                                      "Data: 2 bad blocks"};
        QCOMPARE(verdictReasons(write, quiet(50), {}, true, true, bad), expected);
        // A stream's read counts only when it read anything and the read test runs.
        const StreamMetrics slowRead = quiet(4);
        QCOMPARE(verdictReasons(quiet(50), slowRead, {}, false, true, {}),
                 QStringList("Read: minimum 4.00 MB/s below 5.00 MB/s"));
        QVERIFY(verdictReasons(quiet(50), slowRead, {}, false, false, {}).isEmpty());
    }

    void tooltip()
    {
        const StreamMetrics write{40, 60, 18.456, 0.1234, 0.0567, 0.025, 3, 120};
        const StreamMetrics read{50, 70, 31.5, 0.2, 0.111, 7.0 / 64, 7, 64};
        const VerdictRules rules{0.7, 0.45, 0.5, 0.36, 0.2, 0.1, 0.35}; // jitter fail, min factor
        const QString figures = QString::fromUtf8(
            "Write: jitter 12.3% · CV 5.7% · drops 3/120 (2.5%) · min 18.46 MB/s\n"
            "Read : jitter 20.0% · CV 11.1% · drops 7/64 (10.9%) · min 31.50 MB/s\n"
            "\n"
            "Rules (any subitem trips the row):\n"
            "  Fail: jitter > 70% | CV > 50% | drops > 20% | min < threshold×0.35\n"
            "  Warn: jitter > 45% | CV > 36% | drops > 10% | min < threshold");
        QCOMPARE(verdictTooltip(write, read, rules), figures);
    }

    // Each figure's colour against its own limits, at and just past them: a limit itself is
    // still the better colour.
    void cellColours()
    {
        const VerdictRules r;
        const double e = 1e-6, speedLimit = 12;
        QTableWidget table;
        ResultsTable::setUp(&table);
        ResultsTable::build(&table, {"a", "b"});
        ResultsTable::fillPhase(&table, false,
                                {{speedLimit, speedLimit + 1, speedLimit - e, r.jitterWarn,
                                  r.cvWarn + e, r.dropFail + e, 0, 1},
                                 {20, 20, 20, r.jitterFail, r.cvFail + e, r.dropWarn, 0, 1}},
                                speedLimit, r);
        QStringList colours;
        for (int row : {0, 1}) {
            for (int c = ResultsTable::ReadColumn; c < ResultsTable::ReadColumn + 6; ++c) {
                const QColor colour = table.item(row, c)->foreground().color();
                colours << QString::number(QVector<QColor>{
                    ResultsTable::goodColor(), ResultsTable::warnColor(), ResultsTable::badColor()}
                                               .indexOf(colour));
            }
        }
        QCOMPARE(colours.join(""), QString("002012"
                                           "000120"));
    }

    void verdictCell()
    {
        QTableWidgetItem item("--");
        item.setFont(QFont("Sans", 10));
        for (Verdict v : {Verdict::Warn, Verdict::Pass})
            VerdictCellStyle::apply(&item, v, "tip");
        QCOMPARE(item.font().pointSize(), 16); // not 22: always from the original font
        QCOMPARE(item.text(), QString::fromUtf8("✓ Pass"));
    }
};

QTEST_MAIN(TestAnalysis)
#include "tst_analysis.moc"
