// Block I/O of the platform layer on real files in a private temporary folder. Runs natively
// and, cross-compiled, under Wine, where it exercises the Win32 calls. Wine (like a Linux file
// system without direct I/O) ignores the no-buffering flags, so these tests check the calls,
// their arguments and their error paths, not the cache bypass itself.
#include "platform/alignedbuffer.h"
#include "platform/unbufferedfile.h"
#include "platform/win32openargs.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace fs = std::filesystem;
using platform::AlignedBuffer;
using platform::UnbufferedFile;
using Purpose = platform::UnbufferedFile::Purpose;

namespace {

// --- a minimal harness: a test fails when any of its checks fails ---------------------------

int g_failedChecks = 0;

bool check(bool ok, const char* what, int line)
{
    if (!ok) {
        ++g_failedChecks;
        std::printf("    check failed (line %d): %s\n", line, what);
    }
    return ok;
}

#define CHECK(cond) check(static_cast<bool>(cond), #cond, __LINE__)

// A folder of its own for every test, removed afterwards.
class TempDir
{
public:
    TempDir()
    {
        std::random_device rd;
        const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() / ("qc-platform-" + std::to_string(rd()) + "-" +
                                             std::to_string(tick) + "-" + std::to_string(attempt));
            std::error_code ec;
            if (fs::create_directory(candidate, ec))
                path_ = candidate;
        }
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!path_.empty())
            fs::remove_all(path_, ec);
    }
    bool valid() const { return !path_.empty(); }
    fs::path operator/(const std::string& name) const { return path_ / fs::u8path(name); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string utf8(const fs::path& p)
{
    return p.u8string();
}

// Bytes that differ from block to block and from file to file, so a block read from the
// wrong place or a stale file shows up.
void fillBlock(void* data, std::size_t size, std::uint32_t seed)
{
    auto* bytes = static_cast<unsigned char*>(data);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<unsigned char>(x >> 23);
    }
}

std::vector<unsigned char> readWholeFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}

void writeWholeFile(const fs::path& p, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> patternBytes(std::size_t size, std::uint32_t seed)
{
    std::vector<unsigned char> v(size);
    fillBlock(v.data(), size, seed);
    return v;
}

#ifdef _WIN32
constexpr int NotFound = ERROR_FILE_NOT_FOUND;
constexpr int NoFolder = ERROR_PATH_NOT_FOUND;
#else
constexpr int NotFound = ENOENT;
constexpr int NoFolder = ENOENT;
#endif

constexpr std::size_t Block = 64 * 1024;

// --- the tests --------------------------------------------------------------------------------

void testWriteThenReadBackBlocks()
{
    TempDir dir;
    if (!CHECK(dir.valid()))
        return;
    const fs::path file = dir / "__card_speed_test_1.dat";
    const int blocks = 5;
    AlignedBuffer buffer(Block);
    if (!CHECK(!buffer.isNull()))
        return;

    UnbufferedFile out;
    if (!CHECK(out.open(utf8(file), Purpose::WriteTarget)))
        return;
    CHECK(out.isOpen());
    for (int b = 0; b < blocks; ++b) {
        fillBlock(buffer.data(), Block, static_cast<std::uint32_t>(b));
        CHECK(out.writeBlock(buffer.data(), Block));
    }
    out.close();
    CHECK(!out.isOpen());
    CHECK(fs::file_size(file) == blocks * Block);

    UnbufferedFile in;
    if (!CHECK(in.open(utf8(file), Purpose::ReadBack)))
        return;
    std::vector<unsigned char> expected(Block);
    for (int b = 0; b < blocks; ++b) {
        std::memset(buffer.data(), 0xEE, Block);
        CHECK(in.readBlock(buffer.data(), Block));
        fillBlock(expected.data(), Block, static_cast<std::uint32_t>(b));
        CHECK(std::memcmp(buffer.data(), expected.data(), Block) == 0);
    }
    // Past the end: the call succeeds with nothing, which still is a failed block.
    CHECK(!in.readBlock(buffer.data(), Block));
    CHECK(in.lastError() == 0);
}

void testReopenReplacesTheOpenFile()
{
    TempDir dir;
    if (!CHECK(dir.valid()))
        return;
    const fs::path a = dir / "a.dat";
    const fs::path b = dir / "b.dat";
    writeWholeFile(a, patternBytes(Block, 1));
    writeWholeFile(b, patternBytes(Block, 2));
    AlignedBuffer buffer(Block);
    UnbufferedFile f;
    CHECK(f.open(utf8(a), Purpose::ReadBack));
    CHECK(f.open(utf8(b), Purpose::ReadBack));
    CHECK(f.readBlock(buffer.data(), Block));
    CHECK(std::memcmp(buffer.data(), patternBytes(Block, 2).data(), Block) == 0);
    // A failed open leaves nothing open and the earlier file released.
    CHECK(!f.open(utf8(dir / "missing.dat"), Purpose::ReadBack));
    CHECK(!f.isOpen());
    CHECK(f.lastError() == NotFound);
    std::error_code ec;
    CHECK(fs::remove(b, ec));
}

void testCopySourceReadsThroughCache()
{
    TempDir dir;
    if (!CHECK(dir.valid()))
        return;
    // The copy source is any file: an odd size, read with an odd, unaligned request.
    const std::size_t request = 1000;
    const std::vector<unsigned char> content = patternBytes(3 * request + 123, 7);
    const fs::path source = dir / "holiday video.mp4";
    writeWholeFile(source, content);

    UnbufferedFile f;
    if (!CHECK(f.open(utf8(source), Purpose::CopySource)))
        return;
    std::vector<unsigned char> plain(request + 1);
    unsigned char* unaligned = plain.data() + 1;
    for (int b = 0; b < 3; ++b) {
        CHECK(f.readBlock(unaligned, request));
        CHECK(std::memcmp(unaligned, content.data() + b * request, request) == 0);
    }
    // Only 123 bytes remain: a short block is a failure, not a partial success.
    CHECK(!f.readBlock(unaligned, request));
    CHECK(f.lastError() == 0);
    // A copy source is never written to.
    CHECK(!f.writeBlock(unaligned, request));
    f.close();
    CHECK(readWholeFile(source) == content);
}

void testShortReadBackFails()
{
    TempDir dir;
    if (!CHECK(dir.valid()))
        return;
    AlignedBuffer buffer(Block);
    // One and a half blocks: the first block is good, the second is short.
    const fs::path file = dir / "short.dat";
    const std::vector<unsigned char> content = patternBytes(Block + Block / 2, 3);
    writeWholeFile(file, content);
    UnbufferedFile f;
    if (!CHECK(f.open(utf8(file), Purpose::ReadBack)))
        return;
    CHECK(f.readBlock(buffer.data(), Block));
    CHECK(std::memcmp(buffer.data(), content.data(), Block) == 0);
    CHECK(!f.readBlock(buffer.data(), Block));

    // Shorter than a single block, and empty.
    const fs::path tiny = dir / "tiny.dat";
    writeWholeFile(tiny, patternBytes(4096, 4));
    CHECK(f.open(utf8(tiny), Purpose::ReadBack));
    CHECK(!f.readBlock(buffer.data(), Block));
    const fs::path empty = dir / "empty.dat";
    writeWholeFile(empty, {});
    CHECK(f.open(utf8(empty), Purpose::ReadBack));
    CHECK(!f.readBlock(buffer.data(), Block));
}

void testOpenFailures()
{
    TempDir dir;
    if (!CHECK(dir.valid()))
        return;
    UnbufferedFile f;
    CHECK(!f.open(utf8(dir / "absent.dat"), Purpose::ReadBack));
    CHECK(f.lastError() == NotFound);
    CHECK(!f.isOpen());
    CHECK(!f.open(utf8(dir / "absent.dat"), Purpose::CopySource));
    CHECK(f.lastError() == NotFound);
    // Neither read purpose creates the file.
    CHECK(!fs::exists(dir / "absent.dat"));

    CHECK(!f.open(utf8(dir / "no such folder" / "t.dat"), Purpose::WriteTarget));
    CHECK(f.lastError() == NoFolder);
    CHECK(!fs::exists(dir / "no such folder"));

    // A folder where the target should be: refused, and the folder and its content stay.
    const fs::path folder = dir / "__card_speed_test_1.dat";
    fs::create_directory(folder);
    writeWholeFile(folder / "keep.txt", patternBytes(10, 5));
    CHECK(!f.open(utf8(folder), Purpose::WriteTarget));
    CHECK(f.lastError() != 0);
    CHECK(!f.isOpen());
    CHECK(fs::is_directory(folder));
    CHECK(fs::file_size(folder / "keep.txt") == 10);

    // Block calls on a file that is not open fail and say why.
    AlignedBuffer buffer(4096);
    CHECK(!f.readBlock(buffer.data(), 4096));
    CHECK(f.lastError() != 0);
    CHECK(!f.writeBlock(buffer.data(), 4096));
    CHECK(f.lastError() != 0);
}

void testWriteTargetTruncates()
{
    TempDir dir;
    if (!CHECK(dir.valid()))
        return;
    const fs::path file = dir / "old.dat";
    writeWholeFile(file, patternBytes(3 * Block + 17, 9));
    UnbufferedFile f;
    if (!CHECK(f.open(utf8(file), Purpose::WriteTarget)))
        return;
    CHECK(fs::file_size(file) == 0);
    AlignedBuffer buffer(4096);
    fillBlock(buffer.data(), 4096, 10);
    CHECK(f.writeBlock(buffer.data(), 4096));
    f.close();
    CHECK(readWholeFile(file) == patternBytes(4096, 10));

    // Opened and closed without a block: an empty file remains.
    CHECK(f.open(utf8(file), Purpose::WriteTarget));
    f.close();
    CHECK(fs::exists(file));
    CHECK(fs::file_size(file) == 0);
}

void testAlignedBuffer()
{
    for (std::size_t size : {std::size_t(4096), std::size_t(64 * 1024), std::size_t(1000),
                             std::size_t(8 * 1024 * 1024)}) {
        AlignedBuffer a(size);
        AlignedBuffer b(size); // a second one, so a lucky first address proves nothing
        if (!CHECK(!a.isNull() && !b.isNull()))
            continue;
        CHECK(a.size() == size);
        CHECK(reinterpret_cast<std::uintptr_t>(a.data()) % 4096 == 0);
        CHECK(reinterpret_cast<std::uintptr_t>(b.data()) % 4096 == 0);
        CHECK(a.data() != b.data());
        // The whole range is usable.
        std::memset(a.data(), 0xA5, size);
        CHECK(static_cast<unsigned char*>(a.data())[size - 1] == 0xA5);
    }
    AlignedBuffer none(0);
    CHECK(none.isNull());
    CHECK(none.size() == 0);
}

void testUtf8Names()
{
    TempDir dir;
    if (!CHECK(dir.valid()))
        return;
    // "测试 Größe ✓.dat" spelt in UTF-8 bytes, so the source encoding does not matter.
    const std::string name = "\xE6\xB5\x8B\xE8\xAF\x95 Gr\xC3\xB6\xC3\x9F"
                             "e \xE2\x9C\x93.dat";
    const std::string path = utf8(dir.path()) + "/" + name;
    AlignedBuffer buffer(4096);
    fillBlock(buffer.data(), 4096, 11);
    UnbufferedFile f;
    if (!CHECK(f.open(path, Purpose::WriteTarget)))
        return;
    CHECK(f.writeBlock(buffer.data(), 4096));
    f.close();
    // The folder holds exactly that name, not a code-page rendering of its bytes.
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        ++entries;
        CHECK(entry.path().filename().u8string() == name);
    }
    CHECK(entries == 1);
    CHECK(f.open(path, Purpose::CopySource));
    std::memset(buffer.data(), 0, 4096);
    CHECK(f.readBlock(buffer.data(), 4096));
    CHECK(std::memcmp(buffer.data(), patternBytes(4096, 11).data(), 4096) == 0);
}

void testEmbeddedNulIsRefused()
{
    TempDir dir;
    if (!CHECK(dir.valid()))
        return;
    // Cut at the NUL this would name "victim.dat": it must neither be created nor emptied.
    const fs::path victim = dir / "victim.dat";
    writeWholeFile(victim, patternBytes(100, 12));
    std::string path = utf8(victim);
    path.push_back('\0');
    path += ".other";
    UnbufferedFile f;
    CHECK(!f.open(path, Purpose::WriteTarget));
    CHECK(f.lastError() != 0);
    CHECK(!f.isOpen());
    CHECK(fs::file_size(victim) == 100);
    CHECK(!f.open(path, Purpose::ReadBack));
}

void testOpenArgumentValues()
{
    using platform::win32OpenArgs;
    const auto readBack = win32OpenArgs(Purpose::ReadBack);
    CHECK(readBack.desiredAccess == 0x80000000u);
    CHECK(readBack.shareMode == 1);
    CHECK(readBack.creationDisposition == 3);
    CHECK(readBack.flagsAndAttributes == 0x28000000u);
    const auto source = win32OpenArgs(Purpose::CopySource);
    CHECK(source.desiredAccess == 0x80000000u);
    CHECK(source.shareMode == 1);
    CHECK(source.creationDisposition == 3);
    CHECK(source.flagsAndAttributes == 0x08000000u);
    const auto target = win32OpenArgs(Purpose::WriteTarget);
    CHECK(target.desiredAccess == 0x40000000u);
    CHECK(target.shareMode == 0);
    CHECK(target.creationDisposition == 2);
    CHECK(target.flagsAndAttributes == 0xA8000000u);
#ifdef _WIN32
    CHECK(readBack.desiredAccess == GENERIC_READ && readBack.shareMode == FILE_SHARE_READ);
    CHECK(readBack.flagsAndAttributes == (FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN));
    CHECK(source.flagsAndAttributes == FILE_FLAG_SEQUENTIAL_SCAN);
    CHECK(target.desiredAccess == GENERIC_WRITE && target.creationDisposition == CREATE_ALWAYS);
    CHECK(target.flagsAndAttributes ==
          (FILE_FLAG_WRITE_THROUGH | FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN));
#endif
}

#ifdef _WIN32

HANDLE openOther(const fs::path& p, DWORD access, DWORD share)
{
    return CreateFileW(p.wstring().c_str(), access, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The share modes and access rights really reach CreateFileW: they decide who else may open
// the file while the program holds it.
void testSharingWhileOpen()
{
    TempDir dir;
    if (!CHECK(dir.valid()))
        return;
    const fs::path file = dir / "t.dat";
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

    UnbufferedFile target;
    if (!CHECK(target.open(utf8(file), Purpose::WriteTarget)))
        return;
    // No sharing: nobody else may even read the file being written.
    HANDLE h = openOther(file, GENERIC_READ, shareAll);
    CHECK(h == INVALID_HANDLE_VALUE);
    CHECK(GetLastError() == ERROR_SHARING_VIOLATION);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    // Write-only access: reading through the target handle fails.
    AlignedBuffer buffer(4096);
    fillBlock(buffer.data(), 4096, 13);
    CHECK(target.writeBlock(buffer.data(), 4096));
    CHECK(!target.readBlock(buffer.data(), 4096));
    CHECK(target.lastError() == ERROR_ACCESS_DENIED);
    target.close();

    for (Purpose p : {Purpose::ReadBack, Purpose::CopySource}) {
        UnbufferedFile reader;
        if (!CHECK(reader.open(utf8(file), p)))
            continue;
        // Another reader is welcome, a writer is not.
        h = openOther(file, GENERIC_READ, shareAll);
        CHECK(h != INVALID_HANDLE_VALUE);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        h = openOther(file, GENERIC_WRITE, shareAll);
        CHECK(h == INVALID_HANDLE_VALUE);
        CHECK(GetLastError() == ERROR_SHARING_VIOLATION);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        // Read-only access: writing through the reader fails and leaves the file alone.
        CHECK(!reader.writeBlock(buffer.data(), 4096));
        CHECK(reader.lastError() == ERROR_ACCESS_DENIED);
    }
    CHECK(readWholeFile(file) == patternBytes(4096, 13));

    // Closing really releases the handle: the file can be deleted at once.
    std::error_code ec;
    CHECK(fs::remove(file, ec));
}

void testWin32OnlyRefusals()
{
    TempDir dir;
    if (!CHECK(dir.valid()))
        return;
    UnbufferedFile f;
    // Malformed UTF-8 is refused instead of being guessed at.
    CHECK(!f.open(utf8(dir.path()) + "/bad\xFF\xFE.dat", Purpose::WriteTarget));
    CHECK(f.lastError() == ERROR_NO_UNICODE_TRANSLATION);
    CHECK(fs::is_empty(dir.path()));
    // The length travels as a DWORD: a larger request is refused before any transfer.
    const fs::path file = dir / "big.dat";
    if (!CHECK(f.open(utf8(file), Purpose::WriteTarget)))
        return;
    AlignedBuffer buffer(4096);
    CHECK(!f.writeBlock(buffer.data(), std::size_t(1) << 32));
    CHECK(f.lastError() == ERROR_INVALID_PARAMETER);
    f.close();
    CHECK(fs::file_size(file) == 0);
}

#endif

} // namespace

int main()
{
    struct Test
    {
        const char* name;
        std::function<void()> run;
    };
    const std::vector<Test> tests = {
        {"writeThenReadBackBlocks", testWriteThenReadBackBlocks},
        {"reopenReplacesTheOpenFile", testReopenReplacesTheOpenFile},
        {"copySourceReadsThroughCache", testCopySourceReadsThroughCache},
        {"shortReadBackFails", testShortReadBackFails},
        {"openFailures", testOpenFailures},
        {"writeTargetTruncates", testWriteTargetTruncates},
        {"alignedBuffer", testAlignedBuffer},
        {"utf8Names", testUtf8Names},
        {"embeddedNulIsRefused", testEmbeddedNulIsRefused},
        {"openArgumentValues", testOpenArgumentValues},
#ifdef _WIN32
        {"sharingWhileOpen", testSharingWhileOpen},
        {"win32OnlyRefusals", testWin32OnlyRefusals},
#endif
    };
    int passed = 0;
    int failed = 0;
    for (const Test& t : tests) {
        const int before = g_failedChecks;
        try {
            t.run();
        } catch (const std::exception& e) {
            ++g_failedChecks;
            std::printf("    exception: %s\n", e.what());
        }
        const bool ok = g_failedChecks == before;
        std::printf("%s %s\n", ok ? "PASS" : "FAIL", t.name);
        ++(ok ? passed : failed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
