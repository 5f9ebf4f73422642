#include "engine/fileworker.h"

#include "engine/failuretext.h"
#include "engine/testplan.h"
#include "platform/alignedbuffer.h"
#include "platform/unbufferedfile.h"

#include <QFileInfo>
#include <QSemaphore>

#include <cstdint>
#include <cstring>
#include <thread>

namespace {

std::string toPlatformPath(const QString& path)
{
    return path.toUtf8().toStdString();
}

// How often a job looks whether the card is still there.
constexpr qint64 CardCheckNs = 250000000;

} // namespace

FileWorker::FileWorker(int mode, const QString& sourcePath, const QString& targetPath,
                       qint64 totalBytes, qint64 blockSize, const std::atomic<int>* stopFlag,
                       QObject* parent)
    : QThread(parent)
    , m_mode(mode)
    , m_sourcePath(sourcePath)
    , m_targetPath(targetPath)
    , m_totalBytes(totalBytes)
    , m_blockSize(blockSize)
    , m_stopFlag(stopFlag)
    , m_card(QFileInfo(targetPath).absolutePath())
{}

FileWorker::~FileWorker() = default;

void FileWorker::setStreamIdentity(quint64 runId, quint32 fileIndex)
{
    m_runId = runId;
    m_fileIndex = fileIndex;
}

void FileWorker::targetFailed(const QString& what, int osError, bool writing)
{
    m_cause = m_card.causeOf(osError, writing ? m_blockSize : 0);
    m_errorString = FailureText::message(m_cause, m_targetPath, m_card.root(),
                                         FailureText::withDetail(what, osError));
}

QString FileWorker::errorPath() const
{
    switch (m_cause) {
    case FailureCause::None:
        return QString();
    case FailureCause::CardFull:
    case FailureCause::DeviceOutOfRoom:
    case FailureCause::WriteProtected:
    case FailureCause::CardRemoved:
        return m_card.root();
    case FailureCause::MissingSource:
        return m_sourcePath;
    default:
        return m_targetPath;
    }
}

void FileWorker::sourceFailed(const QString& what, int osError)
{
    m_cause = FailureCause::MissingSource;
    m_errorString = FailureText::message(m_cause, m_sourcePath, m_card.root(),
                                         FailureText::withDetail(what, osError));
}

bool FileWorker::cardStillThere()
{
    const qint64 now = BlockProgress::steadyNowNs();
    if (now - m_cardCheckedNs < CardCheckNs)
        return true;
    m_cardCheckedNs = now;
    if (m_card.present())
        return true;
    m_cause = FailureCause::CardRemoved;
    m_errorString = FailureText::message(m_cause, m_targetPath, m_card.root(), QString());
    return false;
}

bool FileWorker::stopRequested() const
{
    return m_stopFlag && m_stopFlag->load(std::memory_order_relaxed) != 0;
}

void FileWorker::run()
{
    using platform::UnbufferedFile;

    // A block size of 0 or less cannot be allocated either; refusing it here also keeps the
    // block count below free of a division by zero.
    if (m_blockSize <= 0) {
        m_cause = FailureCause::Other;
        m_errorString = QStringLiteral("Failed to allocate I/O buffer");
        return;
    }
    platform::AlignedBuffer buffer(static_cast<std::size_t>(m_blockSize));
    if (buffer.isNull()) {
        m_cause = FailureCause::Other;
        m_errorString = QStringLiteral("Failed to allocate I/O buffer");
        return;
    }

    // Opening a file at a root the card has left would create it on whatever lies beneath.
    if (!cardStillThere())
        return;
    const bool reading = m_mode != static_cast<int>(WorkerMode::Write);
    const bool copying = !reading && !m_sourcePath.isEmpty();
    const bool verifyCopy = reading && m_verify && !m_sourcePath.isEmpty();
    const BlockPattern pattern(m_runId, m_fileIndex);
    UnbufferedFile source;
    UnbufferedFile target;

    if (reading) {
        if (!target.open(toPlatformPath(m_targetPath), UnbufferedFile::Purpose::ReadBack)) {
            targetFailed(tr("无法读取文件: %1").arg(m_targetPath), target.lastError(), false);
            return;
        }
        if (verifyCopy &&
            !source.open(toPlatformPath(m_sourcePath), UnbufferedFile::Purpose::CopySource)) {
            sourceFailed(tr("无法打开源文件: %1").arg(m_sourcePath), source.lastError());
            return;
        }
    } else if (copying) {
        if (!source.open(toPlatformPath(m_sourcePath), UnbufferedFile::Purpose::CopySource)) {
            sourceFailed(tr("无法打开源文件: %1").arg(m_sourcePath), source.lastError());
            return;
        }
        if (!target.open(toPlatformPath(m_targetPath), UnbufferedFile::Purpose::WriteTarget)) {
            targetFailed(tr("无法创建目标文件: %1").arg(m_targetPath), target.lastError(), false);
            return;
        }
    } else {
        fillPattern(buffer.data(), m_blockSize);
        if (!target.open(toPlatformPath(m_targetPath), UnbufferedFile::Purpose::WriteTarget)) {
            targetFailed(tr("无法创建目标文件: %1").arg(m_targetPath), target.lastError(), false);
            return;
        }
    }

    const qint64 blocks = m_totalBytes / m_blockSize;
    const auto blockBytes = static_cast<std::size_t>(m_blockSize);
    if (reading && m_verify && blocks > 0) {
        const bool stopped = !readAndVerify(target, source, buffer.data(), blocks);
        source.close();
        target.close();
        // A stop leaves no error text and no success.
        m_succeeded = !stopped && m_errorString.isEmpty();
        return;
    }
    qint64 done = 0;
    for (qint64 b = 0; b < blocks; ++b) {
        // Stopped: handles and buffer are released on the way out; no error text.
        if (stopRequested())
            return;
        if (!cardStillThere())
            break;
        if (reading) {
            if (!target.readBlock(buffer.data(), blockBytes)) {
                targetFailed(tr("读取失败 (%1)").arg(m_targetPath), target.lastError(), false);
                break;
            }
        } else {
            if (copying && !source.readBlock(buffer.data(), blockBytes)) {
                sourceFailed(tr("读取源文件失败 (%1)").arg(m_sourcePath), source.lastError());
                break;
            }
            if (!copying)
                pattern.stamp(buffer.data(), m_blockSize, static_cast<quint32>(b));
            if (!target.writeBlock(buffer.data(), blockBytes)) {
                targetFailed(tr("写入失败 (%1)").arg(m_targetPath), target.lastError(), true);
                break;
            }
        }
        done += m_blockSize;
        m_progress.publish(done, BlockProgress::steadyNowNs());
    }

    source.close();
    target.close();
    m_succeeded = m_errorString.isEmpty();
}

bool FileWorker::readAndVerify(platform::UnbufferedFile& target, platform::UnbufferedFile& source,
                               void* firstBuffer, qint64 blocks)
{
    const auto blockBytes = static_cast<std::size_t>(m_blockSize);
    const bool copy = source.isOpen();
    platform::AlignedBuffer second(blockBytes);
    // What a block must hold: the pattern, made once, or the source's block, read per block.
    platform::AlignedBuffer expected(blockBytes);
    if (second.isNull() || expected.isNull()) {
        m_cause = FailureCause::Other;
        m_errorString = QStringLiteral("Failed to allocate I/O buffer");
        return true;
    }
    if (!copy)
        BlockPattern::fill(expected.data(), m_blockSize);
    const BlockPattern pattern(m_runId, m_fileIndex);

    // Two buffers by turns: the card reads into one while the checker compares the other.
    // `free` counts the buffers the reader may fill, `filled` the blocks waiting to be checked
    // (plus one last release when reading has ended).
    void* const buffers[2] = {firstBuffer, second.data()};
    QSemaphore free(2);
    QSemaphore filled(0);
    std::atomic<qint64> readCount{0};
    std::atomic<bool> readEnded{false};
    std::atomic<bool> sourceBroke{false};

    std::thread checker([&] {
        for (qint64 b = 0;; ++b) {
            filled.acquire();
            if (readEnded.load() && b >= readCount.load())
                return;
            const void* block = buffers[b % 2];
            bool good = true;
            if (copy) {
                if (!sourceBroke.load()) {
                    if (source.readBlock(expected.data(), blockBytes))
                        good = std::memcmp(block, expected.data(), blockBytes) == 0;
                    else
                        sourceBroke.store(true);
                }
            } else {
                good =
                    pattern.matches(block, expected.data(), m_blockSize, static_cast<quint32>(b));
            }
            if (!good && m_badBlocks++ == 0)
                m_firstBadOffset = b * m_blockSize;
            free.release();
        }
    });

    qint64 done = 0;
    bool stopped = false;
    for (qint64 b = 0; b < blocks; ++b) {
        if (stopRequested()) {
            stopped = true;
            break;
        }
        if (sourceBroke.load()) {
            sourceFailed(tr("读取源文件失败 (%1)").arg(m_sourcePath), source.lastError());
            break;
        }
        if (!cardStillThere())
            break;
        free.acquire();
        if (!target.readBlock(buffers[b % 2], blockBytes)) {
            targetFailed(tr("读取失败 (%1)").arg(m_targetPath), target.lastError(), false);
            break;
        }
        readCount.store(b + 1);
        filled.release();
        done += m_blockSize;
        m_progress.publish(done, BlockProgress::steadyNowNs());
    }
    readEnded.store(true);
    filled.release();
    checker.join();
    // The source ran short on one of the last blocks, after the reader's last look.
    if (m_errorString.isEmpty() && sourceBroke.load() && !stopped)
        sourceFailed(tr("读取源文件失败 (%1)").arg(m_sourcePath), source.lastError());
    return !stopped;
}
