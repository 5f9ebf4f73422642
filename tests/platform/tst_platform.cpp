// Proof that card files bypass the page cache: after unbuffered transfers the file's pages
// are not resident (mmap + mincore), while the same check does see the pages of a file moved
// through the cache, so the check itself can fail.
#include "engine/fileworker.h"
#include "platform/alignedbuffer.h"
#include "platform/unbufferedfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

using platform::AlignedBuffer;
using platform::UnbufferedFile;
using Purpose = platform::UnbufferedFile::Purpose;

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr qint64 FileSize = 8 * MiB;
constexpr qint64 BlockSize = 1 * MiB;

struct Residency
{
    qint64 pages = -1;
    qint64 resident = -1;
};

// Which of the file's pages sit in the page cache. Mapping a file does not fault its pages in,
// so looking does not change the answer.
Residency residency(const QString& path)
{
    Residency r;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return r;
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_size > 0) {
        const auto size = static_cast<std::size_t>(st.st_size);
        void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (map != MAP_FAILED) {
            const auto pageSize = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
            std::vector<unsigned char> vec((size + pageSize - 1) / pageSize);
            if (mincore(map, size, vec.data()) == 0) {
                r.pages = static_cast<qint64>(vec.size());
                r.resident = 0;
                for (unsigned char v : vec)
                    r.resident += v & 1;
            }
            munmap(map, size);
        }
    }
    ::close(fd);
    return r;
}

// Writes a file's dirty pages out and drops them, so a later read starts from the disk.
bool evict(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = fdatasync(fd) == 0 && posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return ok;
}

bool onMemoryFileSystem(const QString& path)
{
    struct statfs fs;
    if (statfs(QFile::encodeName(path).constData(), &fs) != 0)
        return false;
    constexpr long TmpfsMagic = 0x01021994;
    constexpr long RamfsMagic = static_cast<long>(0x858458f6);
    return fs.f_type == TmpfsMagic || fs.f_type == RamfsMagic;
}

// Different bytes in every block, so a block out of place is seen.
QByteArray blockBytes(qint64 size, int seed)
{
    QByteArray bytes(static_cast<int>(size), Qt::Uninitialized);
    quint32 x = 0x9E3779B9u * static_cast<quint32>(seed + 1);
    for (int i = 0; i < bytes.size(); ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

QByteArray fileBytes(qint64 size)
{
    QByteArray all;
    for (qint64 b = 0; b * BlockSize < size; ++b)
        all += blockBytes(qMin(BlockSize, size - b * BlockSize), static_cast<int>(b));
    return all;
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
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == EINVAL;
}

bool writeBlocks(const QString& path, qint64 size)
{
    AlignedBuffer buffer(static_cast<std::size_t>(BlockSize));
    UnbufferedFile f;
    if (buffer.isNull() || !f.open(QFile::encodeName(path).toStdString(), Purpose::WriteTarget))
        return false;
    for (qint64 b = 0; b * BlockSize < size; ++b) {
        const QByteArray bytes = blockBytes(BlockSize, static_cast<int>(b));
        std::memcpy(buffer.data(), bytes.constData(), static_cast<std::size_t>(BlockSize));
        if (!f.writeBlock(buffer.data(), static_cast<std::size_t>(BlockSize)))
            return false;
    }
    return true;
}

// Reads the whole file block by block for `purpose` and returns what came back.
QByteArray readBlocks(const QString& path, qint64 size, Purpose purpose)
{
    AlignedBuffer buffer(static_cast<std::size_t>(BlockSize));
    UnbufferedFile f;
    QByteArray all;
    if (buffer.isNull() || !f.open(QFile::encodeName(path).toStdString(), purpose))
        return all;
    for (qint64 done = 0; done < size; done += BlockSize) {
        if (!f.readBlock(buffer.data(), static_cast<std::size_t>(BlockSize)))
            return all;
        all.append(static_cast<const char*>(buffer.data()), static_cast<int>(BlockSize));
    }
    return all;
}

// A file system mounted for one test and detached again, whatever happens in between.
class ScopedMount
{
public:
    ScopedMount() = default;
    ~ScopedMount()
    {
        if (!target_.isEmpty())
            umount2(QFile::encodeName(target_).constData(), MNT_DETACH);
    }
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;

    // Returns an empty string on success, else the reason.
    QString mountRamfs(const QString& target)
    {
        if (::mount("none", QFile::encodeName(target).constData(), "ramfs", 0, "mode=0755") != 0)
            return QStringLiteral("mounting ramfs failed: %1")
                .arg(QString::fromLocal8Bit(strerror(errno)));
        target_ = target;
        return {};
    }

    // A read-only loop mount of an image through mount(8), which sets up the loop device.
    QString mountImage(const QString& image, const QString& type, const QString& target)
    {
        QProcess p;
        p.start(QStringLiteral("mount"), {QStringLiteral("-t"), type, QStringLiteral("-o"),
                                          QStringLiteral("loop,ro"), image, target});
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            return QStringLiteral("mounting %1 failed: %2")
                .arg(type, QString::fromLocal8Bit(p.readAllStandardError()).trimmed());
        target_ = target;
        return {};
    }

private:
    QString target_;
};

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writeTargetBypassesCache();
    void readBackBypassesCache();
    void fileWorkerBypassesCache();
    void fallbackWhenDirectIoRefusedOnWrite();
    void fallbackDropsReadPages();

private:
    // A temporary folder on a disk-backed file system: on tmpfs every page is resident.
    std::unique_ptr<QTemporaryDir> diskDir();
    QString skipReasonForMounts() const;
};

void TestPlatform::initTestCase()
{
    QVERIFY(sysconf(_SC_PAGESIZE) > 0);
}

std::unique_ptr<QTemporaryDir> TestPlatform::diskDir()
{
    auto dir = std::make_unique<QTemporaryDir>();
    if (dir->isValid() && !onMemoryFileSystem(dir->path()))
        return dir;
    dir = std::make_unique<QTemporaryDir>(QCoreApplication::applicationDirPath() +
                                          QStringLiteral("/tst_platform-XXXXXX"));
    if (dir->isValid() && !onMemoryFileSystem(dir->path()))
        return dir;
    return nullptr;
}

QString TestPlatform::skipReasonForMounts() const
{
    if (geteuid() != 0)
        return QStringLiteral("mounting a test file system needs root");
    return {};
}

void TestPlatform::writeTargetBypassesCache()
{
    const auto dir = diskDir();
    if (!dir)
        QSKIP("no temporary folder on a disk-backed file system (all pages would be resident)");
    const QString unbuffered = dir->filePath(QStringLiteral("__card_speed_test_1.dat"));
    const QString cached = dir->filePath(QStringLiteral("cached.dat"));

    QVERIFY(writeBlocks(unbuffered, FileSize));
    QCOMPARE(QFileInfo(unbuffered).size(), FileSize);
    const Residency r = residency(unbuffered);
    QCOMPARE(r.pages, FileSize / sysconf(_SC_PAGESIZE));
    QCOMPARE(r.resident, qint64(0));
    // The bytes did reach the file (reading them now fills the cache, so this comes last).
    QVERIFY(readAll(unbuffered) == fileBytes(FileSize));

    // Control: the same amount written through the cache, not synced, is resident.
    QVERIFY(writeWithCache(cached, fileBytes(FileSize)));
    const Residency c = residency(cached);
    QCOMPARE(c.pages, r.pages);
    QVERIFY2(c.resident >= c.pages * 3 / 4,
             qPrintable(QStringLiteral("%1 of %2 pages").arg(c.resident).arg(c.pages)));
}

void TestPlatform::readBackBypassesCache()
{
    const auto dir = diskDir();
    if (!dir)
        QSKIP("no temporary folder on a disk-backed file system (all pages would be resident)");
    const QString path = dir->filePath(QStringLiteral("read.dat"));
    QVERIFY(writeWithCache(path, fileBytes(FileSize)));
    QVERIFY(evict(path));
    QCOMPARE(residency(path).resident, qint64(0));

    QVERIFY(readBlocks(path, FileSize, Purpose::ReadBack) == fileBytes(FileSize));
    QCOMPARE(residency(path).resident, qint64(0));

    // Control: the copy source is read through the cache and leaves its pages behind.
    QVERIFY(readBlocks(path, FileSize, Purpose::CopySource) == fileBytes(FileSize));
    const Residency c = residency(path);
    QVERIFY2(c.resident >= c.pages * 3 / 4,
             qPrintable(QStringLiteral("%1 of %2 pages").arg(c.resident).arg(c.pages)));
}

// The path the program takes: a worker's write job, then its read-back job.
void TestPlatform::fileWorkerBypassesCache()
{
    const auto dir = diskDir();
    if (!dir)
        QSKIP("no temporary folder on a disk-backed file system (all pages would be resident)");
    const QString target = dir->filePath(QStringLiteral("__card_speed_test_1.dat"));
    std::atomic<int> stop{0};

    FileWorker writer(0, QString(), target, FileSize, BlockSize, &stop);
    writer.start();
    QVERIFY(writer.wait(120000));
    QVERIFY2(writer.succeeded(), qPrintable(writer.errorString()));
    QCOMPARE(writer.bytesDone(), FileSize);
    QCOMPARE(QFileInfo(target).size(), FileSize);
    QCOMPARE(residency(target).resident, qint64(0));

    FileWorker reader(1, QString(), target, FileSize, BlockSize, &stop);
    reader.start();
    QVERIFY(reader.wait(120000));
    QVERIFY2(reader.succeeded(), qPrintable(reader.errorString()));
    QCOMPARE(reader.bytesDone(), FileSize);
    QCOMPARE(residency(target).resident, qint64(0));

    // Every block carries the worker's pattern.
    QByteArray block(static_cast<int>(BlockSize), Qt::Uninitialized);
    FileWorker::fillPattern(block.data(), BlockSize);
    const QByteArray written = readAll(target);
    QCOMPARE(written.size(), static_cast<int>(FileSize));
    for (qint64 offset = 0; offset < FileSize; offset += BlockSize)
        QVERIFY(written.mid(static_cast<int>(offset), static_cast<int>(BlockSize)) == block);
}

// ramfs has no direct I/O and refuses O_DIRECT at open. A write target must still open, write
// the right bytes and truncate. ramfs keeps its files only in memory, so their pages stay
// resident by nature: the residency after the fallback is proven on a disk-backed file system
// in fallbackDropsReadPages.
void TestPlatform::fallbackWhenDirectIoRefusedOnWrite()
{
    const QString reason = skipReasonForMounts();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString mountPoint = dir.filePath(QStringLiteral("ramfs"));
    QVERIFY(QDir().mkpath(mountPoint));
    ScopedMount mount;
    const QString failure = mount.mountRamfs(mountPoint);
    if (!failure.isEmpty())
        QSKIP(qPrintable(failure));
    const QString path = mountPoint + QStringLiteral("/__card_speed_test_1.dat");
    if (!refusesDirectIo(mountPoint + QStringLiteral("/probe"), O_WRONLY | O_CREAT))
        QSKIP("ramfs accepts O_DIRECT on this kernel: the fallback cannot be reached");

    const qint64 size = 4 * BlockSize;
    QVERIFY(writeBlocks(path, size));
    QCOMPARE(readAll(path), fileBytes(size));
    QVERIFY(readBlocks(path, size, Purpose::ReadBack) == fileBytes(size));

    // The first, refused open must not have kept the retry from truncating.
    QVERIFY(writeBlocks(path, BlockSize));
    QCOMPARE(readAll(path), fileBytes(BlockSize));
    // Reading past the end still fails without direct I/O.
    QVERIFY(readBlocks(path, 2 * BlockSize, Purpose::ReadBack).size() == BlockSize);
}

// squashfs is disk-backed (a loop-mounted image) and refuses O_DIRECT: read-back falls back
// to the cache and must drop what it read.
void TestPlatform::fallbackDropsReadPages()
{
    const QString reason = skipReasonForMounts();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    const QString mksquashfs = QStandardPaths::findExecutable(QStringLiteral("mksquashfs"));
    if (mksquashfs.isEmpty())
        QSKIP("mksquashfs (squashfs-tools) is not installed");
    const auto dir = diskDir();
    if (!dir)
        QSKIP("no temporary folder on a disk-backed file system");
    const QString content = dir->filePath(QStringLiteral("content"));
    const QString image = dir->filePath(QStringLiteral("card.img"));
    const QString mountPoint = dir->filePath(QStringLiteral("mnt"));
    QVERIFY(QDir().mkpath(content));
    QVERIFY(QDir().mkpath(mountPoint));
    QVERIFY(writeWithCache(content + QStringLiteral("/read.dat"), fileBytes(FileSize)));
    // Uncompressed, so the pages of the file map straight onto the image.
    QCOMPARE(
        QProcess::execute(mksquashfs,
                          {content, image, QStringLiteral("-noappend"), QStringLiteral("-noI"),
                           QStringLiteral("-noD"), QStringLiteral("-noF"), QStringLiteral("-noX"),
                           QStringLiteral("-quiet"), QStringLiteral("-no-progress")}),
        0);
    ScopedMount mount;
    const QString failure = mount.mountImage(image, QStringLiteral("squashfs"), mountPoint);
    if (!failure.isEmpty())
        QSKIP(qPrintable(failure));
    const QString path = mountPoint + QStringLiteral("/read.dat");
    if (!refusesDirectIo(path, O_RDONLY))
        QSKIP("squashfs accepts O_DIRECT on this kernel: the fallback cannot be reached");

    QCOMPARE(residency(path).resident, qint64(0));
    QVERIFY(readBlocks(path, FileSize, Purpose::ReadBack) == fileBytes(FileSize));
    QCOMPARE(residency(path).resident, qint64(0));

    // Control: read through the cache, the pages stay.
    QVERIFY(readAll(path) == fileBytes(FileSize));
    const Residency c = residency(path);
    QVERIFY2(c.resident >= c.pages * 3 / 4,
             qPrintable(QStringLiteral("%1 of %2 pages").arg(c.resident).arg(c.pages)));
    // A read-back opened now starts by dropping what the cache already holds.
    UnbufferedFile f;
    QVERIFY(f.open(QFile::encodeName(path).toStdString(), Purpose::ReadBack));
    QCOMPARE(residency(path).resident, qint64(0));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
