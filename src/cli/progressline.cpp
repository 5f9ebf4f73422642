#include "cli/progressline.h"

#include "session/runtexts.h"

#include <QCoreApplication>

#include <cmath>

namespace {

struct ProgressLineTr
{
    Q_DECLARE_TR_FUNCTIONS(ProgressLine)
};

// Below this much work or time an estimate only jumps about.
constexpr double MinFraction = 0.01;
constexpr qint64 MinElapsedMs = 1000;

} // namespace

QString ProgressLine::text(const ProgressState& state)
{
    QString phase = state.rolling ? ProgressLineTr::tr("LabelRollingWrite")
                    : state.write ? ProgressLineTr::tr("LabelWrite")
                                  : ProgressLineTr::tr("LabelRead");
    if (state.rounds > 1)
        phase.prepend(ProgressLineTr::tr("RoundPrefix").arg(state.round).arg(state.rounds));
    const QString left =
        state.leftMs < 0 ? QStringLiteral("--:--") : RunTexts::elapsedText(state.leftMs);
    QString line =
        ProgressLineTr::tr("CliProgress")
            .arg(phase, QString::number(state.percent).rightJustified(3),
                 QString::number(state.currentMBps, 'f', 2), QString::number(state.avgMBps, 'f', 2),
                 RunTexts::elapsedText(state.elapsedMs), left);
    if (!state.fillText.isEmpty())
        line += QStringLiteral("  ·  ") + state.fillText;
    return line;
}

qint64 ProgressLine::timeLeftMs(double doneFraction, qint64 elapsedMs)
{
    if (!(doneFraction >= MinFraction) || elapsedMs < MinElapsedMs)
        return -1;
    if (doneFraction >= 1.0)
        return 0;
    return std::llround(double(elapsedMs) * (1.0 - doneFraction) / doneFraction);
}
