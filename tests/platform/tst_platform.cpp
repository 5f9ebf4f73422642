// Where a file system refuses direct I/O, card files go through the page cache and must not
// stay in it: after such transfers none of a file's pages are resident (mmap + mincore), while
// after a read through the cache most are, so the check itself can fail. (The direct path's
// open flags are checked on the emulated card, tests/e2e.)
#include "engine/fileworker.h"
#include "engine/testplan.h"
#include "platform/unbufferedfile.h"

#include <QtTest>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

const qint64 MiB = 1048576;

// The share of the file's pages in the page cache (-1 if unknown), after reading it through the
// cache first if asked. Mapping a file does not fault its pages in.
double resident(const QString& path, bool readFirst = false)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || (readFirst && f.readAll().size() != f.size()))
        return -1;
    const qint64 size = f.size(), page = sysconf(_SC_PAGESIZE);
    uchar* map = size > 0 ? f.map(0, size) : nullptr;
    std::vector<unsigned char> vec(std::size_t((size + page - 1) / page));
    if (!map || mincore(map, std::size_t(size), vec.data()) != 0)
        return -1;
    return std::count_if(vec.begin(), vec.end(), [](unsigned char v) { return v & 1; }) /
           double(vec.size());
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
QString runWorker(WorkerMode mode, const QString& path, qint64 size)
{
    FileWorker worker(int(mode), QString(), path, size, MiB, nullptr);
    worker.start();
    worker.wait();
    if (worker.succeeded() && worker.bytesDone() == size && worker.badBlocks() == 0)
        return {};
    return QString::number(worker.bytesDone()) + " bytes, " + QString::number(worker.badBlocks()) +
           " bad blocks: " + worker.errorString();
}

bool mount(QStringList args, const QString& point)
{
    return geteuid() == 0 && QProcess::execute(QStringLiteral("mount"), args << point) == 0;
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    // Mounts made by a case are detached again, whatever happened.
    void cleanup()
    {
        for (const char* point : {"ram", "mnt"})
            umount2(QFile::encodeName(m_dir.filePath(point)).constData(), MNT_DETACH);
    }

    // On ramfs a write target must still open, take the right bytes and be truncated by the
    // next write job, and reading past its end must still fail. squashfs is disk-backed (a
    // loop-mounted image of that ramfs): read-back must drop what it read, and what the cache
    // held before.
    void fallbackWhenDirectIoRefused()
    {
        const QString mksquashfs = QStandardPaths::findExecutable(QStringLiteral("mksquashfs"));
        if (mksquashfs.isEmpty())
            QSKIP("needs mksquashfs (squashfs-tools)");
        QVERIFY(QDir(m_dir.path()).mkpath("ram") && QDir(m_dir.path()).mkpath("mnt"));
        const QString image = m_dir.filePath("card.img"), name = "/__card_speed_test_1.dat";
        const QString written = m_dir.filePath("ram") + name, path = m_dir.filePath("mnt") + name;
        if (!mount({"-t", "ramfs", "-o", "mode=0755", "none"}, m_dir.filePath("ram")) ||
            !refusesDirectIo(written, O_WRONLY | O_CREAT))
            QSKIP("needs root, and ramfs refusing O_DIRECT");
        QCOMPARE(runWorker(WorkerMode::Write, written, 4 * MiB), QString());
        QCOMPARE(runWorker(WorkerMode::Read, written, 4 * MiB), QString());
        QCOMPARE(runWorker(WorkerMode::Write, written, MiB), QString());
        QCOMPARE(QFileInfo(written).size(), MiB);
        QVERIFY(!runWorker(WorkerMode::Read, written, 2 * MiB).isEmpty());
        // Uncompressed, so the pages of the file map straight onto the image.
        QCOMPARE(QProcess::execute(mksquashfs, {m_dir.filePath("ram"), image, "-noappend", "-noI",
                                                "-noD", "-noF", "-noX", "-quiet", "-no-progress"}),
                 0);
        if (!mount({"-t", "squashfs", "-o", "loop,ro", image}, m_dir.filePath("mnt")) ||
            !refusesDirectIo(path, O_RDONLY))
            QSKIP("needs a loop device, and squashfs refusing O_DIRECT");
        QCOMPARE(resident(path), 0.0);
        QCOMPARE(runWorker(WorkerMode::Read, path, MiB), QString());
        QCOMPARE(resident(path), 0.0);
        QVERIFY(resident(path, true) >= 0.75);
        platform::UnbufferedFile f;
        QVERIFY(f.open(QFile::encodeName(path).toStdString(),
                       platform::UnbufferedFile::Purpose::ReadBack));
        QCOMPARE(resident(path), 0.0);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
