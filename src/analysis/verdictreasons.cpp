#include "analysis/verdictreasons.h"

#include <QCoreApplication>

namespace {

struct ReasonTexts
{
    Q_DECLARE_TR_FUNCTIONS(VerdictTexts)
};

QString percent(double fraction)
{
    return QString::number(fraction * 100, 'f', 1);
}

QString speed(double mbps)
{
    return QString::number(mbps, 'f', 2);
}

// A ratio against its two limits; strict, as the verdict's tests are.
void ratioReason(QStringList& out, const QString& phase, const char* key, double value, double warn,
                 double fail)
{
    if (value > fail || value > warn) {
        const double limit = value > fail ? fail : warn;
        out << ReasonTexts::tr(key).arg(phase, percent(value), percent(limit));
    }
}

void minimumReason(QStringList& out, const QString& phase, double min, double warnBelow,
                   double failBelow)
{
    if (min < failBelow || min < warnBelow) {
        const double limit = min < failBelow ? failBelow : warnBelow;
        out << ReasonTexts::tr("ReasonMinSpeed").arg(phase, speed(min), speed(limit));
    }
}

// The steadiness rules of judgeMetrics(), and its minimum speed when threshold is above 0.
void metricReasons(QStringList& out, const QString& phase, const StreamMetrics& m, double threshold,
                   const VerdictRules& rules)
{
    if (m.avg <= 0.0)
        return;
    ratioReason(out, phase, "ReasonJitter", m.jitter, rules.jitterWarn, rules.jitterFail);
    ratioReason(out, phase, "ReasonCv", m.cv, rules.cvWarn, rules.cvFail);
    ratioReason(out, phase, "ReasonDrops", m.dropRatio, rules.dropWarn, rules.dropFail);
    if (threshold > 0.0)
        minimumReason(out, phase, m.min, threshold, rules.minSpeedMult * threshold);
}

} // namespace

QStringList verdictReasons(const StreamMetrics& write, const StreamMetrics& read,
                           const VerdictRules& rules, bool cardTotal, bool readEnabled,
                           const DataIntegrity& data)
{
    QStringList out;
    const QString writePhase = ReasonTexts::tr("LabelWrite");
    const QString readPhase = ReasonTexts::tr("LabelRead");
    if (cardTotal) {
        metricReasons(out, writePhase, write, 0.0, rules);
        minimumReason(out, writePhase, write.min, rules.aggWriteWarn, rules.aggWriteFail);
        if (readEnabled) {
            metricReasons(out, readPhase, read, 0.0, rules);
            minimumReason(out, readPhase, read.min, rules.aggReadWarn, rules.aggReadFail);
        }
    } else {
        metricReasons(out, writePhase, write, rules.perStreamWrite, rules);
        if (readEnabled && read.avg > 0.0)
            metricReasons(out, readPhase, read, rules.perStreamRead, rules);
    }
    if (!data.isClean())
        out << ReasonTexts::tr("ReasonData").arg(data.badBlocks);
    return out;
}
