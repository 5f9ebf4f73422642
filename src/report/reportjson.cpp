#include "report/reportjson.h"

#include "report/numbertext.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace {

struct JsonTexts
{
    Q_DECLARE_TR_FUNCTIONS(ReportJson)
};

// Names of enumerations in the document, in the enumerations' order.
const char* const kEnds[] = {"completed", "stopped", "failed"};
const char* const kCauses[] = {"none",           "cardFull",      "deviceOutOfRoom",
                               "writeProtected", "fileTooLarge",  "deviceError",
                               "cardRemoved",    "missingSource", "other"};
const char* const kVerdicts[] = {"pass", "warn", "fail"};
const char* const kModes[] = {"randomData", "externalFiles", "rollingFill"};

template<size_t N>
QString nameOf(const char* const (&names)[N], int value)
{
    return value >= 0 && value < int(N) ? QString::fromLatin1(names[value]) : QString();
}

// An unknown name (a newer writer's) reads as the first value, the harmless default.
template<typename Enum, size_t N>
Enum valueOf(const char* const (&names)[N], const QJsonValue& v)
{
    const QString name = v.toString();
    for (size_t i = 0; i < N; ++i) {
        if (name == QLatin1String(names[i]))
            return Enum(i);
    }
    return Enum(0);
}

QJsonValue timeValue(const QDateTime& t)
{
    return t.isValid() ? QJsonValue(t.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue();
}

QDateTime timeOf(const QJsonValue& v)
{
    return QDateTime::fromString(v.toString(), Qt::ISODateWithMs).toUTC();
}

// Byte counts and offsets are whole numbers well within a double's exact range.
qint64 integerOf(const QJsonValue& v, qint64 fallback = 0)
{
    const double d = v.toDouble(double(fallback));
    return std::isfinite(d) ? qint64(d) : fallback;
}

QJsonObject metricsObject(const StreamMetrics& m)
{
    return {{"avg", m.avg},
            {"max", m.max},
            {"min", m.min},
            {"jitter", m.jitter},
            {"cv", m.cv},
            {"dropRatio", m.dropRatio},
            {"dropCount", m.dropCount},
            {"sampleCount", m.sampleCount}};
}

StreamMetrics metricsOf(const QJsonObject& o)
{
    StreamMetrics m;
    m.avg = o.value("avg").toDouble();
    m.max = o.value("max").toDouble();
    m.min = o.value("min").toDouble();
    m.jitter = o.value("jitter").toDouble();
    m.cv = o.value("cv").toDouble();
    m.dropRatio = o.value("dropRatio").toDouble();
    m.dropCount = o.value("dropCount").toInt();
    m.sampleCount = o.value("sampleCount").toInt();
    return m;
}

QJsonArray stringArray(const QStringList& list)
{
    return QJsonArray::fromStringList(list);
}

QStringList stringsOf(const QJsonValue& v)
{
    QStringList list;
    for (const QJsonValue& item : v.toArray())
        list.append(item.toString());
    return list;
}

QJsonObject rowObject(const RunRow& row)
{
    const RowVerdict& v = row.verdict;
    return {{"label", row.label},
            {"write", metricsObject(row.write)},
            {"read", metricsObject(row.read)},
            {"verdict", QJsonObject{{"write", nameOf(kVerdicts, int(v.write))},
                                    {"read", nameOf(kVerdicts, int(v.read))},
                                    {"data", nameOf(kVerdicts, int(v.data))},
                                    {"overall", nameOf(kVerdicts, int(v.overall()))}}},
            {"reasons", stringArray(row.reasons)},
            {"data", QJsonObject{{"badBlocks", double(row.data.badBlocks)},
                                 {"firstBadOffset", double(row.data.firstBadOffset)},
                                 {"firstBadFile", row.data.firstBadFile}}}};
}

RunRow rowOf(const QJsonObject& o)
{
    RunRow row;
    row.label = o.value("label").toString();
    row.write = metricsOf(o.value("write").toObject());
    row.read = metricsOf(o.value("read").toObject());
    const QJsonObject v = o.value("verdict").toObject();
    row.verdict.write = valueOf<Verdict>(kVerdicts, v.value("write"));
    row.verdict.read = valueOf<Verdict>(kVerdicts, v.value("read"));
    row.verdict.data = valueOf<Verdict>(kVerdicts, v.value("data"));
    row.reasons = stringsOf(o.value("reasons"));
    const QJsonObject d = o.value("data").toObject();
    row.data.badBlocks = integerOf(d.value("badBlocks"));
    row.data.firstBadOffset = integerOf(d.value("firstBadOffset"), -1);
    row.data.firstBadFile = d.value("firstBadFile").toString();
    return row;
}

QJsonObject planObject(const TestPlan& p)
{
    return {{"mode", nameOf(kModes, int(testModeOf(p)))},
            {"rootPath", p.rootPath},
            {"sourceFiles", stringArray(p.sourceFiles)},
            {"testSize", double(p.testSize)},
            {"blockSize", double(p.blockSize)},
            {"streamCount", p.streamCount},
            {"staggerMs", p.staggerMs},
            {"readEnabled", p.readEnabled},
            {"rollFileSize", double(p.rollFileSize)},
            {"rollFreeBytes", double(p.rollFreeBytes)},
            {"rollRefills", p.rollRefills},
            {"rollVerify", p.rollVerify}};
}

TestPlan planOf(const QJsonObject& o)
{
    TestPlan p;
    p.rootPath = o.value("rootPath").toString();
    p.sourceFiles = stringsOf(o.value("sourceFiles"));
    p.testSize = integerOf(o.value("testSize"), p.testSize);
    p.blockSize = integerOf(o.value("blockSize"), p.blockSize);
    p.streamCount = o.value("streamCount").toInt(p.streamCount);
    p.staggerMs = o.value("staggerMs").toInt();
    p.readEnabled = o.value("readEnabled").toBool();
    p.rollFileSize = integerOf(o.value("rollFileSize"));
    p.rollFreeBytes = integerOf(o.value("rollFreeBytes"));
    p.rollRefills = o.value("rollRefills").toInt();
    p.rollVerify = o.value("rollVerify").toBool();
    return p;
}

QJsonObject rulesObject(const VerdictRules& r)
{
    return {{"jitterFail", r.jitterFail},
            {"jitterWarn", r.jitterWarn},
            {"cvFail", r.cvFail},
            {"cvWarn", r.cvWarn},
            {"dropFail", r.dropFail},
            {"dropWarn", r.dropWarn},
            {"minSpeedMult", r.minSpeedMult},
            {"perStreamWrite", r.perStreamWrite},
            {"perStreamRead", r.perStreamRead},
            {"aggWriteFail", r.aggWriteFail},
            {"aggWriteWarn", r.aggWriteWarn},
            {"aggReadFail", r.aggReadFail},
            {"aggReadWarn", r.aggReadWarn},
            {"slcTrim", r.slcTrim},
            {"fullCap", r.fullCap},
            {"iterCount", r.iterCount},
            {"rollVerify", r.rollVerify}};
}

VerdictRules rulesOf(const QJsonObject& o)
{
    VerdictRules r;
    auto number = [&o](const char* key, double& field) { field = o.value(key).toDouble(field); };
    number("jitterFail", r.jitterFail);
    number("jitterWarn", r.jitterWarn);
    number("cvFail", r.cvFail);
    number("cvWarn", r.cvWarn);
    number("dropFail", r.dropFail);
    number("dropWarn", r.dropWarn);
    number("minSpeedMult", r.minSpeedMult);
    number("perStreamWrite", r.perStreamWrite);
    number("perStreamRead", r.perStreamRead);
    number("aggWriteFail", r.aggWriteFail);
    number("aggWriteWarn", r.aggWriteWarn);
    number("aggReadFail", r.aggReadFail);
    number("aggReadWarn", r.aggReadWarn);
    r.slcTrim = o.value("slcTrim").toBool(r.slcTrim);
    r.fullCap = o.value("fullCap").toBool(r.fullCap);
    r.iterCount = o.value("iterCount").toInt(r.iterCount);
    r.rollVerify = o.value("rollVerify").toBool(r.rollVerify);
    return r;
}

// The sample series are most of a long run's document; QJsonDocument would take several times
// longer to build and print them than these loops.
void appendSeries(QByteArray& out, const QVector<SpeedPoint>& points)
{
    out.append("{\"percent\": [");
    for (int i = 0; i < points.size(); ++i) {
        if (i > 0)
            out.append(',');
        NumberText::appendShortest(out, points[i].percent);
    }
    out.append("], \"mbps\": [");
    for (int i = 0; i < points.size(); ++i) {
        if (i > 0)
            out.append(',');
        NumberText::appendShortest(out, points[i].mbps);
    }
    out.append("]}");
}

void appendPhase(QByteArray& out, const PhaseSeries& phase)
{
    out.append("{\n            \"card\": ");
    appendSeries(out, phase.card);
    out.append(",\n            \"streams\": [");
    for (int s = 0; s < phase.streams.size(); ++s) {
        out.append(s > 0 ? ",\n                " : "\n                ");
        appendSeries(out, phase.streams[s]);
    }
    out.append(phase.streams.isEmpty() ? "]\n        }" : "\n            ]\n        }");
}

// A value that is not a number (written as null) reads back as NaN, not as 0.
QVector<SpeedPoint> seriesOf(const QJsonObject& o)
{
    const QJsonArray percent = o.value("percent").toArray();
    const QJsonArray mbps = o.value("mbps").toArray();
    const int n = std::min(percent.size(), mbps.size());
    QVector<SpeedPoint> points(n);
    for (int i = 0; i < n; ++i)
        points[i] = {percent.at(i).toDouble(NAN), mbps.at(i).toDouble(NAN)};
    return points;
}

PhaseSeries phaseOf(const QJsonObject& o)
{
    PhaseSeries phase;
    phase.card = seriesOf(o.value("card").toObject());
    for (const QJsonValue& stream : o.value("streams").toArray())
        phase.streams.append(seriesOf(stream.toObject()));
    return phase;
}

} // namespace

QByteArray ReportJson::write(const RunResult& result)
{
    QJsonArray rows;
    for (const RunRow& row : result.figures.rows)
        rows.append(rowObject(row));

    const QJsonObject root{
        {"schema", SchemaName},
        {"version", SchemaVersion},
        {"programVersion", result.programVersion},
        {"started", timeValue(result.started)},
        {"ended", timeValue(result.ended)},
        {"end", nameOf(kEnds, int(result.end))},
        {"cause", nameOf(kCauses, int(result.cause))},
        {"failure", result.failure},
        {"card", QJsonObject{{"root", result.card.root},
                             {"label", result.card.label},
                             {"fileSystem", result.card.fileSystem},
                             {"capacityBytes", double(result.card.capacityBytes)},
                             {"freeBytesBefore", double(result.card.freeBytesBefore)}}},
        {"plan", planObject(result.plan)},
        {"rules", rulesObject(result.rules)},
        {"rounds", result.rounds},
        {"roundsDone", result.roundsDone},
        {"streamLabels", stringArray(result.streamLabels)},
        {"figures", QJsonObject{{"readMeasured", result.figures.readMeasured},
                                {"card", nameOf(kVerdicts, int(result.figures.card()))},
                                {"rows", rows}}},
        {"errors", stringArray(result.errors)},
        {"log", stringArray(result.log)}};

    // The series go in as the document's last member: the printed object ends in "\n}\n".
    QByteArray out = QJsonDocument(root).toJson(QJsonDocument::Indented);
    out.chop(3);
    out.append(",\n    \"series\": {\n        \"write\": ");
    appendPhase(out, result.writeSeries);
    out.append(",\n        \"read\": ");
    appendPhase(out, result.readSeries);
    out.append("\n    }\n}\n");
    return out;
}

bool ReportJson::read(const QByteArray& json, RunResult* result, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    const QJsonObject o = doc.object();
    if (doc.isNull()) {
        *error = parseError.errorString();
        return false;
    }
    if (o.value("schema").toString() != QLatin1String(SchemaName)) {
        *error = JsonTexts::tr("ErrReportNotOurs");
        return false;
    }
    const int version = o.value("version").toInt();
    if (version < 1 || version > SchemaVersion) {
        *error = JsonTexts::tr("ErrReportNewer").arg(version);
        return false;
    }

    RunResult r;
    r.programVersion = o.value("programVersion").toString();
    r.started = timeOf(o.value("started"));
    r.ended = timeOf(o.value("ended"));
    r.end = valueOf<RunEnd>(kEnds, o.value("end"));
    r.cause = valueOf<FailureCause>(kCauses, o.value("cause"));
    r.failure = o.value("failure").toString();

    const QJsonObject card = o.value("card").toObject();
    r.card.root = card.value("root").toString();
    r.card.label = card.value("label").toString();
    r.card.fileSystem = card.value("fileSystem").toString();
    r.card.capacityBytes = integerOf(card.value("capacityBytes"));
    r.card.freeBytesBefore = integerOf(card.value("freeBytesBefore"));

    r.plan = planOf(o.value("plan").toObject());
    r.rules = rulesOf(o.value("rules").toObject());
    r.rounds = o.value("rounds").toInt(r.rounds);
    r.roundsDone = o.value("roundsDone").toInt();
    r.streamLabels = stringsOf(o.value("streamLabels"));

    const QJsonObject figures = o.value("figures").toObject();
    r.figures.readMeasured = figures.value("readMeasured").toBool();
    for (const QJsonValue& row : figures.value("rows").toArray())
        r.figures.rows.append(rowOf(row.toObject()));

    const QJsonObject series = o.value("series").toObject();
    r.writeSeries = phaseOf(series.value("write").toObject());
    r.readSeries = phaseOf(series.value("read").toObject());
    r.errors = stringsOf(o.value("errors"));
    r.log = stringsOf(o.value("log"));

    *result = std::move(r);
    return true;
}
