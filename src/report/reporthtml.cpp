#include "report/reporthtml.h"

#include "i18n/i18n.h"
#include "report/numbertext.h"
#include "report/reporttexts.h"
#include "ui/resultstable.h"
#include "ui/verdictcell.h"

#include <QCoreApplication>

namespace {

struct HtmlTexts
{
    Q_DECLARE_TR_FUNCTIONS(ReportHtml)
};

const char* const kStyle = R"(
body { font-family: system-ui, "Noto Sans", "Noto Sans CJK SC", "DejaVu Sans", sans-serif;
       margin: 24px auto; max-width: 1240px; padding: 0 16px; color: #222; background: #fff; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 16px; margin: 28px 0 8px; padding-bottom: 4px; border-bottom: 1px solid #d0d7de; }
.sub { color: #666; margin-bottom: 16px; }
.badge { display: inline-block; font-size: 20px; font-weight: bold; padding: 6px 16px;
         border-radius: 6px; margin: 8px 0; }
.facts { display: grid; grid-template-columns: repeat(auto-fit, minmax(340px, 1fr)); gap: 0 32px; }
table.kv { border-collapse: collapse; }
table.kv th { text-align: left; font-weight: normal; color: #555; padding: 3px 16px 3px 0;
              white-space: nowrap; vertical-align: top; }
table.kv td { padding: 3px 0; }
table.results { border-collapse: collapse; width: 100%; font-size: 13px;
                border: 1px solid #d0d7de; }
table.results th { background: #eef1f5; color: #333; padding: 6px 4px;
                   border-bottom: 1px solid #d0d7de; }
table.results td { padding: 6px 6px; text-align: center; font-weight: bold; }
table.results tr:nth-child(even) td { background: #f7f9fc; }
table.results td.label { text-align: left; color: #555; font-weight: normal; white-space: nowrap; }
table.results tr.total td.label { color: #333; font-weight: bold; }
table.results td.verdict { font-size: 15px; }
.reasons { font-size: 12px; font-weight: normal; color: #555; margin-top: 2px; }
img.chart { width: 100%; height: auto; border: 1px solid #d0d7de; border-radius: 4px; }
.errors { color: rgb(211, 47, 47); }
details pre { background: #f6f8fa; padding: 8px; font-size: 12px; overflow-x: auto; }
footer { margin-top: 32px; color: #777; font-size: 12px; }
)";

QString esc(const QString& text)
{
    return text.toHtmlEscaped();
}

QString css(const QColor& color)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(color.red()).arg(color.green()).arg(color.blue());
}

QString langTag()
{
    switch (I18n::instance()->language()) {
    case English:
        return QStringLiteral("en");
    case TraditionalChinese:
        return QStringLiteral("zh-Hant");
    case SimplifiedChinese:
        break;
    }
    return QStringLiteral("zh-Hans");
}

// A catalogue label without its trailing colon, for a heading. Catalogue texts are ours and
// some carry markup, so they go into the page as they are.
QString heading(const char* key)
{
    QString text = HtmlTexts::tr(key);
    while (text.endsWith(QLatin1Char(':')) || text.endsWith(QChar(0xFF1A)))
        text.chop(1);
    return text.trimmed();
}

void addFact(QString& html, const char* key, const QString& value)
{
    html += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(heading(key), esc(value));
}

// Colours of one phase's six figure cells, as the window colours them.
QVector<QColor> figureColors(const StreamMetrics& m, double speedMin, const VerdictRules& r)
{
    return {ResultsTable::speedColor(m.avg, speedMin),
            ResultsTable::speedColor(m.max, speedMin),
            ResultsTable::speedColor(m.min, speedMin),
            ResultsTable::percentColor(m.jitter, r.jitterWarn, r.jitterFail),
            ResultsTable::percentColor(m.cv, r.cvWarn, r.cvFail),
            ResultsTable::percentColor(m.dropRatio, r.dropWarn, r.dropFail)};
}

QString resultsTable(const RunResult& result)
{
    const bool read = result.figures.readMeasured;
    const QStringList headers = ReportTexts::tableHeaders();
    QString html = QStringLiteral("<table class=\"results\">\n<tr>");
    for (int c = 0; c < headers.size(); ++c) {
        if (read || c < 7 || c > 12)
            html += QStringLiteral("<th>%1</th>").arg(esc(headers[c]));
    }
    html += QStringLiteral("</tr>\n");

    const VerdictRules& rules = result.rules;
    for (int row = 0; row < result.figures.rows.size(); ++row) {
        const RunRow& r = result.figures.rows[row];
        const QStringList cells = ReportTexts::tableCells(result, row, true);
        const QVector<QColor> colors = figureColors(r.write, rules.perStreamWrite, rules) +
                                       figureColors(r.read, rules.perStreamRead, rules);
        html += row == 0 ? QStringLiteral("<tr class=\"total\">") : QStringLiteral("<tr>");
        html += QStringLiteral("<td class=\"label\">%1</td>").arg(esc(cells[0]));
        for (int c = 1; c <= 12; ++c) {
            if (c > 6 && !read)
                continue;
            const bool placeholder = cells[c] == QLatin1String("--");
            html += placeholder ? QStringLiteral("<td>--</td>")
                                : QStringLiteral("<td style=\"color: %1\">%2</td>")
                                      .arg(css(colors[c - 1]), esc(cells[c]));
        }
        const Verdict verdict = r.verdict.overall();
        QColor tint = VerdictCellStyle::verdictColor(verdict);
        tint.setAlpha(VerdictCellStyle::BackgroundAlpha);
        html += QStringLiteral("<td class=\"verdict\" style=\"color: %1; background: "
                               "rgba(%2, %3, %4, %5)\">%6")
                    .arg(css(VerdictCellStyle::verdictColor(verdict)))
                    .arg(tint.red())
                    .arg(tint.green())
                    .arg(tint.blue())
                    .arg(NumberText::fixed(tint.alphaF(), 2))
                    .arg(esc(cells.last()));
        for (const QString& reason : r.reasons)
            html += QStringLiteral("<div class=\"reasons\">%1</div>").arg(esc(reason));
        html += QStringLiteral("</td></tr>\n");
    }
    return html + QStringLiteral("</table>\n");
}

QString planFacts(const RunResult& result)
{
    const TestPlan& plan = result.plan;
    QString html = QStringLiteral("<table class=\"kv\">\n");
    addFact(html, "LabelMode", ReportTexts::modeText(result.mode()));
    addFact(html, "LabelTotalBytes", ReportTexts::bytesText(plan.testSize));
    addFact(html, "LabelStreams", QString::number(result.streamLabels.size()));
    addFact(html, "LabelBlock", ReportTexts::bytesText(plan.blockSize));
    addFact(
        html, "LabelReadBack",
        HtmlTexts::tr(plan.readEnabled || result.figures.readMeasured ? "LabelYes" : "LabelNo"));
    addFact(html, "LabelRounds",
            QStringLiteral("%1 / %2").arg(result.roundsDone).arg(result.rounds));
    if (result.mode() == TestMode::RollingFill)
        addFact(html, "LabelFillFile", ReportTexts::bytesText(plan.rollFileSize));
    if (!plan.sourceFiles.isEmpty())
        addFact(html, "LabelFiles", plan.sourceFiles.join(QStringLiteral(", ")));
    addFact(html, "LabelStarted", ReportTexts::timeText(result.started));
    addFact(html, "LabelEnded", ReportTexts::timeText(result.ended));
    addFact(html, "LabelOutcome", ReportTexts::endText(result.end));
    return html + QStringLiteral("</table>\n");
}

QString cardFacts(const RunResult& result)
{
    QString html = QStringLiteral("<table class=\"kv\">\n");
    addFact(html, "LabelCardLabel", result.card.label);
    addFact(html, "LabelDrive", result.card.root);
    addFact(html, "LabelFileSystem", result.card.fileSystem);
    addFact(html, "LabelCapacity", ReportTexts::bytesText(result.card.capacityBytes));
    addFact(html, "LabelFreeBefore", ReportTexts::bytesText(result.card.freeBytesBefore));
    return html + QStringLiteral("</table>\n");
}

QString rulesFacts(const VerdictRules& r)
{
    // The thresholds' headings are the rules dialog's, which carry their own markup.
    const auto pair = [](bool above, const QString& warn, const QString& fail) {
        return QStringLiteral("%1 %2 · %3 %4")
            .arg(HtmlTexts::tr(above ? "HdrWarnGt" : "HdrWarnLt"), warn,
                 HtmlTexts::tr(above ? "HdrFailGt" : "HdrFailLt"), fail);
    };
    const auto pct = [](double v) { return NumberText::fixed(v * 100.0, 0) + QLatin1Char('%'); };
    const auto speed = [](double v) { return NumberText::fixed(v, 1) + QStringLiteral(" MB/s"); };
    const QList<QPair<QString, QString>> facts = {
        {heading("MetricJitter"), pair(true, pct(r.jitterWarn), pct(r.jitterFail))},
        {heading("MetricCV"), pair(true, pct(r.cvWarn), pct(r.cvFail))},
        {heading("MetricDrop"), pair(true, pct(r.dropWarn), pct(r.dropFail))},
        {heading("LabelPerStreamWriteMin"), speed(r.perStreamWrite)},
        {heading("LabelPerStreamReadMin"), speed(r.perStreamRead)},
        {heading("LabelMinSpeedLt"),
         NumberText::fixed(r.minSpeedMult, 2) + QLatin1Char(' ') + HtmlTexts::tr("LabelThenFail")},
        {heading("LabelAggWriteMin"), pair(false, speed(r.aggWriteWarn), speed(r.aggWriteFail))},
        {heading("LabelAggReadMin"), pair(false, speed(r.aggReadWarn), speed(r.aggReadFail))},
        {heading("CheckSlcTrim"), HtmlTexts::tr(r.slcTrim ? "LabelYes" : "LabelNo")}};
    QString html = QStringLiteral("<table class=\"kv\">\n");
    for (const auto& fact : facts)
        html += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(fact.first, fact.second);
    return html + QStringLiteral("</table>\n");
}

} // namespace

QByteArray ReportHtml::page(const RunResult& result, const QByteArray& chartPng,
                            const QDateTime& madeAt)
{
    const QString title = HtmlTexts::tr("HdrReportTitle");
    const Verdict card = result.figures.card();
    QColor tint = VerdictCellStyle::verdictColor(card);

    QString html;
    html.reserve(64 * 1024);
    html += QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\">\n<head>\n<meta charset=\"utf-8\">\n"
                           "<meta name=\"viewport\" content=\"width=device-width\">\n"
                           "<title>%2 · %3</title>\n<style>%4</style>\n</head>\n<body>\n")
                .arg(langTag(), esc(title), esc(result.card.label), QString::fromLatin1(kStyle));
    html +=
        QStringLiteral("<h1>%1 · %2</h1>\n<div class=\"sub\">%3</div>\n")
            .arg(esc(title), esc(result.card.label), esc(ReportTexts::timeText(result.started)));
    html += QStringLiteral("<div class=\"badge\" style=\"color: %1; border: 2px solid %1\">%2 "
                           "%3</div> <span>%4</span>\n")
                .arg(css(tint), esc(heading("LabelCardVerdict")), esc(verdictText(card)),
                     esc(ReportTexts::endText(result.end)));
    if (result.end == RunEnd::Failed && !result.failure.isEmpty()) {
        html += QStringLiteral("<p class=\"errors\">%1</p>\n")
                    .arg(esc(HtmlTexts::tr("LogErrorPrefix").arg(result.failure)));
    }

    html += QStringLiteral("<div class=\"facts\">\n<section><h2>%1</h2>\n%2</section>\n"
                           "<section><h2>%3</h2>\n%4</section>\n</div>\n")
                .arg(esc(heading("ColCard")), cardFacts(result), esc(heading("GroupTestSettings")),
                     planFacts(result));

    html += QStringLiteral("<h2>%1</h2>\n").arg(esc(heading("GroupResults")));
    html += resultsTable(result);

    html += QStringLiteral("<h2>%1</h2>\n<img class=\"chart\" alt=\"%1\" "
                           "src=\"data:image/png;base64,%2\">\n")
                .arg(esc(heading("SectionSpeedChart")), QString::fromLatin1(chartPng.toBase64()));

    html += QStringLiteral("<h2>%1</h2>\n%2")
                .arg(esc(heading("DlgVerdictTitle")), rulesFacts(result.rules));

    if (!result.errors.isEmpty()) {
        html += QStringLiteral("<h2>%1</h2>\n<ul class=\"errors\">\n")
                    .arg(esc(heading("SectionErrors")));
        for (const QString& error : result.errors)
            html += QStringLiteral("<li>%1</li>\n").arg(esc(error));
        html += QStringLiteral("</ul>\n");
    }
    if (!result.log.isEmpty()) {
        html += QStringLiteral("<details>\n<summary>%1</summary>\n<pre>%2</pre>\n</details>\n")
                    .arg(esc(heading("GroupLog")), esc(result.log.join(QLatin1Char('\n'))));
    }

    html += QStringLiteral("<footer>%1 %2 · %3 %4</footer>\n</body>\n</html>\n")
                .arg(esc(heading("LabelProgram")), esc(result.programVersion),
                     esc(heading("LabelReportMade")), esc(ReportTexts::timeText(madeAt)));
    return html.toUtf8();
}
