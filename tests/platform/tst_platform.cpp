// Card files bypass the page cache: after unbuffered transfers none of a file's pages are
// resident (mmap + mincore), while those of a file moved through the cache are, so the check
// itself can fail.
#include "engine/fileworker.h"
#include "engine/testplan.h"
#include "platform/unbufferedfile.h"

#include <QtTest>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

const qint64 MiB = 1048576, FileSize = 8 * MiB;

// The share of the file's pages in the page cache (-1 if unknown). Mapping a file does not
// fault its pages in, so looking does not change the answer.
double resident(const QString& path)
{
    QFile f(path);
    const qint64 size = f.open(QIODevice::ReadOnly) ? f.size() : 0, page = sysconf(_SC_PAGESIZE);
    uchar* map = size > 0 ? f.map(0, size) : nullptr;
    std::vector<unsigned char> vec(std::size_t((size + page - 1) / page));
    if (!map || mincore(map, std::size_t(size), vec.data()) != 0)
        return -1;
    return std::count_if(vec.begin(), vec.end(), [](unsigned char v) { return v & 1; }) /
           double(vec.size());
}

// A temporary folder on a disk-backed file system: on tmpfs or ramfs every page is resident.
std::unique_ptr<QTemporaryDir> diskDir()
{
    for (const QString& in : {QDir::tempPath(), QCoreApplication::applicationDirPath()}) {
        auto dir = std::make_unique<QTemporaryDir>(in + QStringLiteral("/tst_platform-XXXXXX"));
        struct statfs fs;
        if (dir->isValid() && statfs(QFile::encodeName(dir->path()).constData(), &fs) == 0 &&
            fs.f_type != 0x01021994 /* tmpfs */ && fs.f_type != long(0x858458f6) /* ramfs */)
            return dir;
    }
    return nullptr;
}

// The file system refuses direct I/O at open, the case the fallback is for.
bool refusesDirectIo(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_DIRECT | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
    return fd < 0 && errno == EINVAL;
}

// Runs one worker job to its end: empty when every byte moved (and read back as written),
// else why not.
QString runWorker(WorkerMode mode, const QString& source, const QString& target, qint64 size)
{
    FileWorker worker(int(mode), source, target, size, MiB, nullptr);
    worker.start();
    worker.wait();
    if (worker.succeeded() && worker.bytesDone() == size && worker.badBlocks() == 0)
        return {};
    return QStringLiteral("%1 bytes, %2 bad blocks: %3")
        .arg(worker.bytesDone())
        .arg(worker.badBlocks())
        .arg(worker.errorString());
}

// A file system mounted for one test and detached again, whatever happens.
struct ScopedMount
{
    QString at;
    ScopedMount(QStringList args, const QString& point)
    {
        if (geteuid() == 0 && QProcess::execute(QStringLiteral("mount"), args << point) == 0)
            at = point;
    }
    ~ScopedMount()
    {
        if (!at.isEmpty())
            umount2(QFile::encodeName(at).constData(), MNT_DETACH);
    }
};

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    // The path the program takes: a write job, its read-back, then a copy job whose source,
    // read through the cache, is the control.
    void cardFilesBypassCache()
    {
        const auto dir = diskDir();
        if (!dir)
            QSKIP("no temporary folder on a disk-backed file system");
        const QString target = dir->filePath(QStringLiteral("__card_speed_test_1.dat"));
        const QString copy = dir->filePath(QStringLiteral("__card_speed_test_2.dat"));
        QCOMPARE(runWorker(WorkerMode::Write, {}, target, FileSize), QString());
        QCOMPARE(resident(target), 0.0);
        QCOMPARE(runWorker(WorkerMode::Read, {}, target, FileSize), QString());
        QCOMPARE(resident(target), 0.0);
        QCOMPARE(runWorker(WorkerMode::Write, target, copy, FileSize), QString());
        QVERIFY(resident(target) >= 0.75);
        QCOMPARE(resident(copy), 0.0);
        QCOMPARE(runWorker(WorkerMode::Read, target, copy, FileSize), QString());
    }

    // Where a file system refuses O_DIRECT at open, the fallback goes through the cache. On ramfs
    // a write target must still open, take the right bytes and be truncated by the next write
    // job, and reading past its end must still fail. squashfs is disk-backed (a loop-mounted
    // image of that ramfs): read-back must drop what it read, and what the cache held before.
    void fallbackWhenDirectIoRefused()
    {
        const QString mksquashfs = QStandardPaths::findExecutable(QStringLiteral("mksquashfs"));
        const auto dir = diskDir();
        if (mksquashfs.isEmpty() || !dir)
            QSKIP("needs mksquashfs (squashfs-tools) and a disk-backed temporary folder");
        QVERIFY(QDir(dir->path()).mkpath("ram") && QDir(dir->path()).mkpath("mnt"));
        const QString image = dir->filePath("card.img"), name = "/__card_speed_test_1.dat";
        const QString written = dir->filePath("ram") + name, path = dir->filePath("mnt") + name;
        {
            ScopedMount ram({"-t", "ramfs", "-o", "mode=0755", "none"}, dir->filePath("ram"));
            if (ram.at.isEmpty() || !refusesDirectIo(written, O_WRONLY | O_CREAT))
                QSKIP("needs root, and ramfs refusing O_DIRECT");
            QCOMPARE(runWorker(WorkerMode::Write, {}, written, 4 * MiB), QString());
            QCOMPARE(runWorker(WorkerMode::Read, {}, written, 4 * MiB), QString());
            QCOMPARE(runWorker(WorkerMode::Write, {}, written, MiB), QString());
            QCOMPARE(QFileInfo(written).size(), MiB);
            QVERIFY(!runWorker(WorkerMode::Read, {}, written, 2 * MiB).isEmpty());
            // Uncompressed, so the pages of the file map straight onto the image.
            QCOMPARE(QProcess::execute(mksquashfs, {ram.at, image, "-noappend", "-noI", "-noD",
                                                    "-noF", "-noX", "-quiet", "-no-progress"}),
                     0);
        }
        ScopedMount mount({"-t", "squashfs", "-o", "loop,ro", image}, dir->filePath("mnt"));
        if (mount.at.isEmpty() || !refusesDirectIo(path, O_RDONLY))
            QSKIP("needs a loop device, and squashfs refusing O_DIRECT");
        QCOMPARE(resident(path), 0.0);
        QCOMPARE(runWorker(WorkerMode::Read, {}, path, MiB), QString());
        QCOMPARE(resident(path), 0.0);
        QFile cached(path);
        QVERIFY(cached.open(QIODevice::ReadOnly) && cached.readAll().size() == MiB);
        QVERIFY(resident(path) >= 0.75);
        platform::UnbufferedFile f;
        QVERIFY(f.open(QFile::encodeName(path).toStdString(),
                       platform::UnbufferedFile::Purpose::ReadBack));
        QCOMPARE(resident(path), 0.0);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
