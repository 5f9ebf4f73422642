#include "analysis/verdict.h"

#include <QCoreApplication>

namespace {

// Translation context for the verdict texts; the catalogue answers by key alone.
struct VerdictTexts
{
    Q_DECLARE_TR_FUNCTIONS(VerdictTexts)
};

Verdict judgeCardMinimum(double min, double failBelow, double warnBelow)
{
    if (min < failBelow)
        return Verdict::Fail;
    if (min < warnBelow)
        return Verdict::Warn;
    return Verdict::Pass;
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

} // namespace

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return VerdictTexts::tr("VerdictPass");
    case Verdict::Warn:
        return VerdictTexts::tr("VerdictWarn");
    case Verdict::Fail:
        break;
    }
    return VerdictTexts::tr("VerdictFail");
}

Verdict judgeMetrics(const StreamMetrics& m, double threshold, const VerdictRules& rules)
{
    if (m.avg <= 0.0)
        return Verdict::Pass;
    if (m.jitter > rules.jitterFail || m.cv > rules.cvFail || m.dropRatio > rules.dropFail ||
        m.min < rules.minSpeedMult * threshold)
        return Verdict::Fail;
    if (m.jitter > rules.jitterWarn || m.cv > rules.cvWarn || m.dropRatio > rules.dropWarn ||
        m.min < threshold)
        return Verdict::Warn;
    return Verdict::Pass;
}

RowVerdict judgeCardTotalRow(const StreamMetrics& write, const StreamMetrics& read,
                             const VerdictRules& rules, bool readEnabled)
{
    RowVerdict v;
    v.write = combineVerdicts(judgeMetrics(write, 0.0, rules),
                              judgeCardMinimum(write.min, rules.aggWriteFail, rules.aggWriteWarn));
    if (readEnabled) {
        v.read = combineVerdicts(judgeMetrics(read, 0.0, rules),
                                 judgeCardMinimum(read.min, rules.aggReadFail, rules.aggReadWarn));
    }
    return v;
}

RowVerdict judgeStreamRow(const StreamMetrics& write, const StreamMetrics& read,
                          const VerdictRules& rules, bool readEnabled)
{
    RowVerdict v;
    v.write = judgeMetrics(write, rules.perStreamWrite, rules);
    if (readEnabled && read.avg > 0.0)
        v.read = judgeMetrics(read, rules.perStreamRead, rules);
    return v;
}

QVector<RowVerdict> judgeRows(const QVector<StreamMetrics>& writeRows,
                              const QVector<StreamMetrics>& readRows, const VerdictRules& rules,
                              bool readEnabled)
{
    QVector<RowVerdict> verdicts;
    verdicts.reserve(writeRows.size());
    for (int row = 0; row < writeRows.size(); ++row) {
        const StreamMetrics read = row < readRows.size() ? readRows[row] : StreamMetrics();
        verdicts.append(row == 0 ? judgeCardTotalRow(writeRows[row], read, rules, readEnabled)
                                 : judgeStreamRow(writeRows[row], read, rules, readEnabled));
    }
    return verdicts;
}

QString verdictTooltip(const StreamMetrics& write, const StreamMetrics& read,
                       const VerdictRules& rules)
{
    // Each arg() fills the lowest-numbered placeholder left; the values never contain a '%'.
    const auto withMetrics = [](const QString& text, const StreamMetrics& m) {
        return text.arg(fixed(m.jitter * 100, 1))
            .arg(fixed(m.cv * 100, 1))
            .arg(m.dropCount)
            .arg(m.sampleCount)
            .arg(fixed(m.dropRatio * 100, 1))
            .arg(fixed(m.min, 2));
    };
    return withMetrics(withMetrics(VerdictTexts::tr("VerdictTooltip"), write), read)
        .arg(fixed(rules.jitterFail * 100, 0))
        .arg(fixed(rules.cvFail * 100, 0))
        .arg(fixed(rules.dropFail * 100, 0))
        .arg(fixed(rules.minSpeedMult, 2))
        .arg(fixed(rules.jitterWarn * 100, 0))
        .arg(fixed(rules.cvWarn * 100, 0))
        .arg(fixed(rules.dropWarn * 100, 0));
}

void DataIntegrity::add(const QString& file, qint64 bad, qint64 offset)
{
    if (bad <= 0)
        return;
    if (badBlocks <= 0) {
        firstBadFile = file;
        firstBadOffset = offset;
    }
    badBlocks += bad;
}

void DataIntegrity::add(const DataIntegrity& other)
{
    add(other.firstBadFile, other.badBlocks, other.firstBadOffset);
}

Verdict judgeIntegrity(const DataIntegrity& data)
{
    return data.isClean() ? Verdict::Pass : Verdict::Fail;
}

DataIntegrity cardIntegrity(const QVector<DataIntegrity>& streams)
{
    DataIntegrity card;
    for (const DataIntegrity& stream : streams)
        card.add(stream);
    return card;
}

QVector<RowVerdict> judgeRows(const QVector<StreamMetrics>& writeRows,
                              const QVector<StreamMetrics>& readRows, const VerdictRules& rules,
                              bool readEnabled, const QVector<DataIntegrity>& streams)
{
    QVector<RowVerdict> verdicts = judgeRows(writeRows, readRows, rules, readEnabled);
    for (int row = 0; row < verdicts.size(); ++row) {
        verdicts[row].data =
            judgeIntegrity(row == 0 ? cardIntegrity(streams) : streams.value(row - 1));
    }
    return verdicts;
}

QString verdictTooltip(const StreamMetrics& write, const StreamMetrics& read,
                       const VerdictRules& rules, const DataIntegrity& data)
{
    const QString figures = verdictTooltip(write, read, rules);
    if (data.isClean())
        return figures;
    // One arg() with all three, so a '%' in the file's name is never taken for a placeholder.
    return figures + QStringLiteral("\n\n") +
           VerdictTexts::tr("VerdictDataBad")
               .arg(QString::number(data.badBlocks), QString::number(data.firstBadOffset),
                    data.firstBadFile);
}
