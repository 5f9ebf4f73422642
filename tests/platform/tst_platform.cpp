// Proof that card files bypass the page cache: after unbuffered transfers the file's pages
// are not resident (mmap + mincore), while the same check does see the pages of a file moved
// through the cache, so the check itself can fail.
#include "engine/blockpattern.h"
#include "engine/fileworker.h"
#include "engine/testplan.h"
#include "platform/unbufferedfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

using platform::UnbufferedFile;
using Purpose = platform::UnbufferedFile::Purpose;

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr qint64 FileSize = 8 * MiB;
constexpr qint64 BlockSize = 1 * MiB;

// How many of the file's pages sit in the page cache (-1 if unknown). Mapping a file does not
// fault its pages in, so looking does not change the answer.
qint64 resident(const QString& path)
{
    QFile f(path);
    uchar* map = f.open(QIODevice::ReadOnly) && f.size() > 0 ? f.map(0, f.size()) : nullptr;
    const qint64 pageSize = sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> vec(static_cast<std::size_t>((f.size() + pageSize - 1) / pageSize));
    if (!map || mincore(map, static_cast<std::size_t>(f.size()), vec.data()) != 0)
        return -1;
    qint64 count = 0;
    for (unsigned char v : vec)
        count += v & 1;
    return count;
}

// The control: at least three quarters of a FileSize file moved through the cache is seen.
#define VERIFY_MOSTLY_RESIDENT(path)                                                               \
    do {                                                                                           \
        const qint64 pages = FileSize / sysconf(_SC_PAGESIZE);                                     \
        const qint64 n = resident(path);                                                           \
        QVERIFY2(n >= pages * 3 / 4, qPrintable(QStringLiteral("%1 of %2").arg(n).arg(pages)));    \
    } while (false)

// A temporary folder on a disk-backed file system: on tmpfs or ramfs every page is resident.
std::unique_ptr<QTemporaryDir> diskDir()
{
    for (const QString& pattern : {QString(), QCoreApplication::applicationDirPath() +
                                                  QStringLiteral("/tst_platform-XXXXXX")}) {
        auto dir = pattern.isEmpty() ? std::make_unique<QTemporaryDir>()
                                     : std::make_unique<QTemporaryDir>(pattern);
        struct statfs fs;
        if (dir->isValid() && statfs(QFile::encodeName(dir->path()).constData(), &fs) == 0 &&
            fs.f_type != 0x01021994 /* tmpfs */ &&
            fs.f_type != static_cast<long>(0x858458f6) /* ramfs */)
            return dir;
    }
    return nullptr;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeWithCache(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The file system refuses direct I/O at open, the case the fallback is for.
bool refusesDirectIo(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_DIRECT | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
    return fd < 0 && errno == EINVAL;
}

// Runs one worker job to its end: empty when every byte moved, else why not.
QString runWorker(WorkerMode mode, const QString& source, const QString& target, qint64 size)
{
    FileWorker worker(static_cast<int>(mode), source, target, size, BlockSize, nullptr);
    worker.start();
    worker.wait();
    if (worker.succeeded() && worker.bytesDone() == size)
        return {};
    return QStringLiteral("%1 of %2 bytes: %3")
        .arg(worker.bytesDone())
        .arg(size)
        .arg(worker.errorString());
}

// What a worker's write job puts in the file: the pattern, each block with its stamp (run 0,
// file 0 unless the worker is told otherwise).
QByteArray workerBytes(qint64 size)
{
    QByteArray block(static_cast<int>(BlockSize), Qt::Uninitialized);
    FileWorker::fillPattern(block.data(), BlockSize);
    QByteArray out;
    const BlockPattern stamp(0, 0);
    for (qint64 b = 0; b < size / BlockSize; ++b) {
        stamp.stamp(block.data(), BlockSize, static_cast<quint32>(b));
        out += block;
    }
    return out;
}

// A file system mounted through mount(8) for one test and detached again, whatever happens.
struct ScopedMount
{
    QString target;
    QString error;
    ScopedMount(const QStringList& args, const QString& mountPoint)
    {
        QProcess p;
        p.start(QStringLiteral("mount"), args + QStringList{mountPoint});
        if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            target = mountPoint;
        else
            error = QStringLiteral("mount %1 failed: %2")
                        .arg(args.join(' '), QString::fromLocal8Bit(p.readAllStandardError()));
    }
    ~ScopedMount()
    {
        if (!target.isEmpty())
            umount2(QFile::encodeName(target).constData(), MNT_DETACH);
    }
};

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void cardFilesBypassCache();
    void fallbackWhenDirectIoRefusedOnWrite();
    void fallbackDropsReadPages();
};

// The path the program takes: a worker's write job, its read-back job, then a copy job whose
// source is read through the cache. That source and a file written through the cache are the
// controls.
void TestPlatform::cardFilesBypassCache()
{
    const auto dir = diskDir();
    if (!dir)
        QSKIP("no temporary folder on a disk-backed file system (all pages would be resident)");
    const QString target = dir->filePath(QStringLiteral("__card_speed_test_1.dat"));
    const QString copy = dir->filePath(QStringLiteral("__card_speed_test_2.dat"));
    const QString cached = dir->filePath(QStringLiteral("cached.dat"));
    QCOMPARE(runWorker(WorkerMode::Write, {}, target, FileSize), QString());
    QCOMPARE(resident(target), qint64(0));
    QCOMPARE(runWorker(WorkerMode::Read, {}, target, FileSize), QString());
    QCOMPARE(resident(target), qint64(0));
    QCOMPARE(runWorker(WorkerMode::Write, target, copy, FileSize), QString());
    VERIFY_MOSTLY_RESIDENT(target);
    QCOMPARE(resident(copy), qint64(0));
    QVERIFY(readAll(copy) == workerBytes(FileSize));

    QVERIFY(writeWithCache(cached, workerBytes(FileSize)));
    VERIFY_MOSTLY_RESIDENT(cached);
}

// ramfs has no direct I/O and refuses O_DIRECT at open: a write target must still open, write
// the right bytes and truncate. ramfs keeps its pages resident by nature, so the residency
// after the fallback is proven on a disk-backed file system in fallbackDropsReadPages.
void TestPlatform::fallbackWhenDirectIoRefusedOnWrite()
{
    if (geteuid() != 0)
        QSKIP("mounting a test file system needs root");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString mountPoint = dir.path();
    ScopedMount mount({"-t", "ramfs", "-o", "mode=0755", "none"}, mountPoint);
    if (!mount.error.isEmpty())
        QSKIP(qPrintable(mount.error));
    const QString path = mountPoint + QStringLiteral("/__card_speed_test_1.dat");
    if (!refusesDirectIo(mountPoint + QStringLiteral("/probe"), O_WRONLY | O_CREAT))
        QSKIP("ramfs accepts O_DIRECT on this kernel: the fallback cannot be reached");

    QCOMPARE(runWorker(WorkerMode::Write, {}, path, 4 * BlockSize), QString());
    QVERIFY(readAll(path) == workerBytes(4 * BlockSize));
    QCOMPARE(runWorker(WorkerMode::Read, {}, path, 4 * BlockSize), QString());
    // The first, refused open must not keep the retry from truncating, and reading past the
    // end still fails without direct I/O.
    QCOMPARE(runWorker(WorkerMode::Write, {}, path, BlockSize), QString());
    QVERIFY(readAll(path) == workerBytes(BlockSize));
    QVERIFY(!runWorker(WorkerMode::Read, {}, path, 2 * BlockSize).isEmpty());
}

// squashfs is disk-backed (a loop-mounted image) and refuses O_DIRECT: read-back falls back
// to the cache and must drop what it read, including what the cache held before it opened.
void TestPlatform::fallbackDropsReadPages()
{
    if (geteuid() != 0)
        QSKIP("mounting a test file system needs root");
    const QString mksquashfs = QStandardPaths::findExecutable(QStringLiteral("mksquashfs"));
    if (mksquashfs.isEmpty())
        QSKIP("mksquashfs (squashfs-tools) is not installed");
    const auto dir = diskDir();
    if (!dir)
        QSKIP("no temporary folder on a disk-backed file system");
    const QString content = dir->filePath(QStringLiteral("content"));
    const QString image = dir->filePath(QStringLiteral("card.img"));
    const QString mountPoint = dir->filePath(QStringLiteral("mnt"));
    QVERIFY(QDir().mkpath(content) && QDir().mkpath(mountPoint));
    QVERIFY(writeWithCache(content + QStringLiteral("/read.dat"), workerBytes(FileSize)));
    // Uncompressed, so the pages of the file map straight onto the image.
    QCOMPARE(QProcess::execute(mksquashfs, {content, image, "-noappend", "-noI", "-noD", "-noF",
                                            "-noX", "-quiet", "-no-progress"}),
             0);
    ScopedMount mount({"-t", "squashfs", "-o", "loop,ro", image}, mountPoint);
    if (!mount.error.isEmpty())
        QSKIP(qPrintable(mount.error));
    const QString path = mountPoint + QStringLiteral("/read.dat");
    if (!refusesDirectIo(path, O_RDONLY))
        QSKIP("squashfs accepts O_DIRECT on this kernel: the fallback cannot be reached");

    QCOMPARE(resident(path), qint64(0));
    QCOMPARE(runWorker(WorkerMode::Read, {}, path, FileSize), QString());
    QCOMPARE(resident(path), qint64(0));
    QVERIFY(readAll(path) == workerBytes(FileSize));
    VERIFY_MOSTLY_RESIDENT(path);
    UnbufferedFile f;
    QVERIFY(f.open(QFile::encodeName(path).toStdString(), Purpose::ReadBack));
    QCOMPARE(resident(path), qint64(0));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
