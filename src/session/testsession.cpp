#include "session/testsession.h"

#include "engine/runengine.h"
#include "engine/speedtester.h"
#include "platform/volumes.h"
#include "session/runtexts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTime>

namespace {

struct SessionTexts
{
    Q_DECLARE_TR_FUNCTIONS(TestSession)
};

// The file system of the listed volume at root; empty when it is not listed.
QString fileSystemOf(const QString& root)
{
    for (const platform::VolumeInfo& volume : platform::listRemovableVolumes()) {
        if (QString::fromStdString(volume.root) == root)
            return QString::fromStdString(volume.fileSystem);
    }
    return QString();
}

LaunchRequest launchRequestOf(const TestRequest& request, quint64 capacity)
{
    LaunchRequest out;
    out.randomMode = !request.externalFiles && request.sourceFiles.isEmpty();
    out.fullCap = request.rules.fullCap;
    out.testSize = request.testSize;
    out.blockSize = request.blockSize;
    out.streamCount = request.streamCount;
    out.capacity = capacity;
    // FAT's file limit goes with the file system, not with the card's size.
    out.fileSystem = fileSystemOf(request.root);
    out.sourcePaths = request.sourceFiles;
    return out;
}

bool querySpace(const QString& root, platform::VolumeSpace& space)
{
    return !root.isEmpty() && platform::queryVolumeSpace(root.toStdString(), space);
}

// The checks that need no dialog, up to the free space: fills launch, and space with its
// known flag, as the volume answered.
Refusal checkLaunch(const TestRequest& request, LaunchPlan& launch, platform::VolumeSpace& space,
                    bool& spaceKnown)
{
    if (request.root.isEmpty())
        return LaunchCheck::noDrive();
    if (!platform::isRemovableVolume(request.root.toStdString()))
        return LaunchCheck::notRemovable(request.root);
    spaceKnown = querySpace(request.root, space);
    return LaunchCheck::plan(launchRequestOf(request, spaceKnown ? space.totalBytes : 0), launch);
}

RunCard cardOf(const QString& root)
{
    RunCard card;
    card.root = root;
    for (const platform::VolumeInfo& volume : platform::listRemovableVolumes()) {
        if (QString::fromStdString(volume.root) == root) {
            card.label = QString::fromStdString(volume.label);
            card.fileSystem = QString::fromStdString(volume.fileSystem);
        }
    }
    platform::VolumeSpace space;
    if (querySpace(root, space)) {
        card.capacityBytes = qint64(space.totalBytes);
        card.freeBytesBefore = qint64(space.freeBytes);
    }
    return card;
}

} // namespace

TestSession::TestSession(QObject* parent)
    : QObject(parent)
    , m_factory([] { return new SpeedTester; })
{
    qRegisterMetaType<RunFigures>();
    qRegisterMetaType<RunResult>();
}

TestSession::~TestSession()
{
    if (m_engine) {
        m_engine->requestStop();
        m_engine->wait();
    }
}

void TestSession::setEngineFactory(EngineFactory factory)
{
    m_factory = std::move(factory);
}

Refusal TestSession::checkRequest(const TestRequest& request)
{
    LaunchPlan launch;
    platform::VolumeSpace space;
    bool spaceKnown = false;
    return checkLaunch(request, launch, space, spaceKnown);
}

bool TestSession::start(const TestRequest& given)
{
    // The engine appends its file names to the root: without the separator they would land
    // beside the card instead of on it.
    TestRequest request = given;
    if (!request.root.isEmpty() && !request.root.endsWith(QLatin1Char('/')) &&
        !request.root.endsWith(QLatin1Char('\\')))
        request.root += QLatin1Char('/');
    m_refusal = Refusal();
    // Never a second run over a running one.
    if (m_running)
        return false;
    LaunchPlan launch;
    platform::VolumeSpace space;
    bool spaceKnown = false;
    m_refusal = checkLaunch(request, launch, space, spaceKnown);
    if (m_refusal.refused())
        return false;
    if (spaceKnown) {
        m_refusal = request.rules.fullCap
                        ? LaunchCheck::fillRoom(space.freeBytes)
                        : LaunchCheck::freeSpace(launch.required, space.freeBytes);
        if (m_refusal.refused())
            return false;
    }

    m_request = request;
    m_launch = launch;
    m_sources = launch.streams;
    m_givenPlan.reset();
    begin();
    return true;
}

void TestSession::startPlan(const TestPlan& plan)
{
    if (m_running)
        return;
    m_refusal = Refusal();
    m_request = TestRequest();
    m_request.root = plan.rootPath;
    m_request.readEnabled = plan.readEnabled;
    m_request.rules.fullCap = testModeOf(plan) == TestMode::RollingFill;
    m_launch = LaunchPlan();
    m_sources.clear();
    if (m_request.rules.fullCap) {
        m_sources << StreamSource::rollingWrite();
    } else if (!plan.sourceFiles.isEmpty()) {
        // As the engine does, a file without a whole block gets no stream.
        for (const QString& path : plan.sourceFiles) {
            if (plan.blockSize > 0 && QFileInfo(path).size() >= plan.blockSize)
                m_sources << StreamSource::externalFile(QFileInfo(path).fileName());
        }
    } else {
        for (int n = 1; n <= plan.streamCount; ++n)
            m_sources << StreamSource::randomStream(n);
    }
    m_givenPlan = plan;
    begin();
}

void TestSession::begin()
{
    m_rules = m_request.rules;
    m_readEnabled = m_request.readEnabled;
    m_repeats = RunTexts::sessionRepeats(m_request.rules);
    m_round = 1;
    m_running = true;
    m_stopping = false;
    m_failed = false;
    m_phases = PhaseState();
    const QStringList labels = StreamSource::labels(m_sources);
    m_writeSamples.reset(labels.size());
    m_readSamples.reset(labels.size());
    m_integrity.fill(DataIntegrity(), labels.size());

    m_result = RunResult();
    m_result.programVersion = QCoreApplication::applicationVersion();
    m_result.started = QDateTime::currentDateTimeUtc();
    m_result.card = cardOf(m_request.root);
    m_result.rules = m_rules;
    m_result.rounds = m_repeats ? m_request.rules.iterCount : 1;
    m_result.streamLabels = labels;
    m_result.writeSeries.streams.resize(labels.size());
    m_result.readSeries.streams.resize(labels.size());

    m_clock.start();
    emit runStarted(labels);
    launchRound();
}

TestPlan TestSession::roundPlan() const
{
    if (m_givenPlan)
        return *m_givenPlan;
    TestPlan plan;
    plan.rootPath = m_request.root;
    plan.sourceFiles = m_launch.sourcePaths;
    plan.testSize = m_launch.sourcePaths.isEmpty()
                        ? m_launch.fileSize
                        : qint64(m_launch.streamCount) * m_launch.fileSize;
    plan.blockSize = m_request.blockSize;
    plan.streamCount = m_launch.streamCount;
    plan.readEnabled = m_readEnabled && !m_request.rules.fullCap;
    if (m_request.rules.fullCap) {
        platform::VolumeSpace space;
        plan.rollFileSize = m_launch.fileSize;
        plan.rollFreeBytes = querySpace(m_request.root, space) ? qint64(space.freeBytes) : 0;
        plan.rollRefills = m_request.rules.iterCount;
        plan.rollVerify = m_request.rules.rollVerify;
    }
    return plan;
}

void TestSession::launchRound()
{
    if (m_engine) {
        m_engine->requestStop();
        m_engine->wait();
        m_engine.reset();
    }
    m_engine.reset(m_factory());
    const TestPlan plan = roundPlan();
    m_engine->setPlan(plan);
    m_phases.readEnabled = plan.readEnabled;
    m_phases.judged = false;
    if (m_round == 1)
        m_result.plan = plan;

    RunEngine* e = m_engine.get();
    connect(e, &RunEngine::writeProgress, this,
            [this](int p, double c, double a) { onProgress(true, p, c, a); });
    connect(e, &RunEngine::readProgress, this,
            [this](int p, double c, double a) { onProgress(false, p, c, a); });
    connect(e, &RunEngine::fileWriteSample, this,
            [this](int s, int p, double c, double a) { onStreamSample(true, s, p, c, a); });
    connect(e, &RunEngine::fileReadSample, this,
            [this](int s, int p, double c, double a) { onStreamSample(false, s, p, c, a); });
    connect(e, &RunEngine::writeFinished, this, [this](double a) { onPhaseFinished(true, a); });
    connect(e, &RunEngine::readFinished, this, [this](double a) { onPhaseFinished(false, a); });
    connect(e, &RunEngine::testError, this, &TestSession::onEngineError);
    connect(e, &RunEngine::log, this, &TestSession::log);
    connect(e, &RunEngine::rollingFileProgress, this, &TestSession::fillProgress);
    connect(e, &RunEngine::fillCheckProgress, this,
            [this](int fill, int fills, int percent, double current, double average) {
                emit fillCheckProgress(fill, fills, percent, current, average, m_clock.elapsed());
            });
    connect(e, &RunEngine::dataMismatch, this, &TestSession::onDataMismatch);
    connect(e, &RunEngine::ended, this, &TestSession::onEngineEnded);
    emit roundStarted(m_round, m_result.rounds);
    e->start();
}

void TestSession::stop()
{
    if (!m_running)
        return;
    m_stopping = true;
    if (m_engine)
        m_engine->requestStop();
    log(SessionTexts::tr("LogStopping"));
}

bool TestSession::isRunning() const
{
    return m_running;
}

void TestSession::setRules(const VerdictRules& rules)
{
    m_rules = rules;
    m_result.rules = rules;
    if (!m_result.streamLabels.isEmpty())
        judge();
}

void TestSession::setReadEnabled(bool enabled)
{
    m_readEnabled = enabled;
}

QString TestSession::refusalTitle() const
{
    return m_refusal.title;
}

QString TestSession::refusalBody() const
{
    return m_refusal.body;
}

bool TestSession::refusalCritical() const
{
    return m_refusal.critical;
}

const RunResult& TestSession::result() const
{
    return m_result;
}

void TestSession::log(const QString& message)
{
    const QString line = RunTexts::logLine(QTime::currentTime(), message);
    m_result.log << line;
    emit logLine(line);
}

int TestSession::overallPercent(int percent) const
{
    return RunTexts::overallPercent(percent, m_round, m_request.rules);
}

void TestSession::onProgress(bool write, int percent, double current, double average)
{
    m_phases.failedInRead = !write; // a failure from now on is this phase's
    const int overall = overallPercent(percent);
    if ((write ? m_writeSamples : m_readSamples).addCardSample(percent, current))
        (write ? m_result.writeSeries : m_result.readSeries).card
            << SpeedPoint{double(overall), current};
    emit phaseProgress(write, overall, current, average, m_clock.elapsed());
}

void TestSession::onStreamSample(bool write, int stream, int percent, double current,
                                 double average)
{
    const int overall = overallPercent(percent);
    (write ? m_writeSamples : m_readSamples).addStreamSample(stream, percent, current, average);
    // The points the chart draws: every measured speed, the closing one included.
    PhaseSeries& series = write ? m_result.writeSeries : m_result.readSeries;
    if (current > 0 && stream >= 0 && stream < series.streams.size())
        series.streams[stream] << SpeedPoint{double(overall), current};
    emit streamSample(write, stream, overall, current, average);
}

void TestSession::onPhaseFinished(bool write, double average)
{
    (write ? m_writeSamples : m_readSamples).finish(average);
    (write ? m_phases.writeDone : m_phases.readDone) = true;
    // Without a read phase in this round (switched off, or a fill of the whole card) the write
    // figures are all there is to judge.
    m_phases.judged = !write || !m_phases.readEnabled;
    judge();
}

void TestSession::judge()
{
    m_result.figures = RunJudge::figures(m_writeSamples, m_readSamples, m_integrity,
                                         m_result.streamLabels, m_rules, m_phases);
    emit figuresChanged(m_result.figures);
}

void TestSession::onDataMismatch(int stream, const QString& path, qint64 badBlocks,
                                 qint64 firstBadOffset)
{
    if (stream >= 0 && stream < m_integrity.size())
        m_integrity[stream].add(QFileInfo(path).fileName(), badBlocks, firstBadOffset);
}

void TestSession::onEngineError(const QString& message)
{
    log(SessionTexts::tr("LogErrorPrefix").arg(message));
    m_result.errors << message;
    if (!m_failed) {
        m_result.failure = message;
        // Whatever its figures say, no row of a failed run passes.
        m_phases.failure = message;
        judge();
    }
    // No further round starts; this one ends when its engine does.
    m_failed = true;
    emit error(message);
}

void TestSession::onEngineEnded(const RunOutcome& outcome)
{
    if (!m_running)
        return;
    m_result.plan.testSize = m_engine->plan().testSize;
    if (outcome.kind == RunOutcome::Kind::Failed) {
        if (!m_failed)
            onEngineError(outcome.message);
        if (m_result.cause == FailureCause::None)
            m_result.cause = outcome.cause;
    }
    if (m_stopping || outcome.kind == RunOutcome::Kind::Stopped) {
        endRun(RunEnd::Stopped);
        return;
    }
    if (m_failed) {
        endRun(RunEnd::Failed);
        return;
    }
    ++m_result.roundsDone;
    if (m_repeats && m_round < m_result.rounds) {
        ++m_round;
        log(SessionTexts::tr("LogRoundEnter").arg(m_round).arg(m_result.rounds));
        launchRound();
        return;
    }
    endRun(RunEnd::Completed);
}

void TestSession::endRun(RunEnd end)
{
    m_running = false;
    m_stopping = false;
    m_round = 0;
    m_result.end = end;
    if (end == RunEnd::Failed && m_result.cause == FailureCause::None)
        m_result.cause = FailureCause::Other;
    m_result.ended = QDateTime::currentDateTimeUtc();
    m_result.rules = m_rules;
    emit finished(m_result);
}
