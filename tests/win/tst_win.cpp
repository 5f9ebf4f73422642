// Block I/O of the platform layer on real files in a private temporary folder. Runs natively
// and, cross-compiled, under Wine, where it exercises the Win32 calls. Wine (like a Linux file
// system without direct I/O) ignores the no-buffering flags, so these tests check the calls,
// their arguments and their error paths, not the cache bypass itself.
#include "plaincheck.h"
#include "platform/alignedbuffer.h"
#include "platform/unbufferedfile.h"
#include "platform/win32openargs.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
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

// A folder of its own for every test, removed afterwards; a clash throws rather than share one.
// The tick keeps names apart where random_device is deterministic (older MinGW).
struct TempDir
{
    const fs::path path =
        fs::temp_directory_path() /
        ("qc-platform-" + std::to_string(std::random_device()()) + "-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    TempDir()
    {
        if (!fs::create_directory(path))
            throw std::runtime_error("temporary folder exists: " + path.u8string());
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path operator/(const std::string& name) const { return path / fs::u8path(name); }
};

std::string str(const fs::path& p)
{
    return p.u8string();
}

// Bytes that differ from block to block and from file to file, so a block read from the
// wrong place or a stale file shows up.
std::vector<unsigned char> pattern(std::size_t size, std::uint32_t seed)
{
    std::vector<unsigned char> bytes(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (unsigned char& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 23);
    }
    return bytes;
}

std::vector<unsigned char> readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

#ifdef _WIN32
constexpr int NotFound = ERROR_FILE_NOT_FOUND;
constexpr int NoFolder = ERROR_PATH_NOT_FOUND;
#else
constexpr int NotFound = ENOENT;
constexpr int NoFolder = ENOENT;
#endif

constexpr std::size_t Block = 64 * 1024;
// "测试 Größe ✓" spelt in UTF-8 bytes, so the source encoding does not matter.
const std::string Unicode = "\xE6\xB5\x8B\xE8\xAF\x95 Gr\xC3\xB6\xC3\x9F"
                            "e \xE2\x9C\x93";

// A target replaces what the file held and keeps the blocks in order; a target opened and
// closed without a block leaves an empty file, not none. A UTF-8 name is kept as it is, not
// as a code-page rendering of its bytes.
void testWriteTarget()
{
    TempDir dir;
    const fs::path file = dir / (Unicode + ".dat");
    writeFile(file, pattern(3 * Block + 17, 99));
    AlignedBuffer buffer(Block);
    UnbufferedFile f;
    if (!CHECK(!buffer.isNull()) || !CHECK(f.open(str(file), Purpose::WriteTarget)))
        return;
    CHECK(fs::file_size(file) == 0);
    const auto expected = pattern(5 * Block, 7);
    for (std::size_t at = 0; at < expected.size(); at += Block) {
        std::memcpy(buffer.data(), expected.data() + at, Block);
        CHECK(f.writeBlock(buffer.data(), Block));
    }
    f.close();
    CHECK(readFile(file) == expected);
    CHECK(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()) == 1);
    CHECK(fs::directory_iterator(dir.path)->path().filename().u8string() == Unicode + ".dat");

    CHECK(f.open(str(file), Purpose::WriteTarget));
    f.close();
    CHECK(fs::exists(file) && fs::file_size(file) == 0);
}

// Whole blocks come back in order; the block after them, short or past the end, is a failure
// without an error code. A copy source takes any file and any buffer. Readers never write.
// One object serves every case: each open must replace the file opened before.
void testReadBlocks()
{
    struct Case
    {
        Purpose purpose;
        std::size_t fileSize, request, bufferOffset;
    };
    const Case cases[] = {
        {Purpose::ReadBack, 5 * Block, Block, 0},
        {Purpose::ReadBack, Block + Block / 2, Block, 0}, // a short last block
        {Purpose::ReadBack, 4096, Block, 0},              // less than one block
        {Purpose::ReadBack, 0, Block, 0},
        {Purpose::CopySource, 3 * 1000 + 123, 1000, 1}, // odd sizes, unaligned buffer
    };
    TempDir dir;
    AlignedBuffer buffer(Block + 4096);
    UnbufferedFile f;
    std::uint32_t seed = 0;
    for (const Case& c : cases) {
        const fs::path file = dir / (Unicode + " " + std::to_string(++seed) + ".mp4");
        const auto content = pattern(c.fileSize, seed);
        writeFile(file, content);
        if (!CHECK(f.open(str(file), c.purpose)))
            continue;
        unsigned char* data = static_cast<unsigned char*>(buffer.data()) + c.bufferOffset;
        for (std::size_t at = 0; at + c.request <= c.fileSize; at += c.request) {
            std::memset(data, 0xEE, c.request);
            CHECK(f.readBlock(data, c.request));
            CHECK(std::memcmp(data, content.data() + at, c.request) == 0);
        }
        CHECK(!f.readBlock(data, c.request));
        CHECK(f.lastError() == 0);
        CHECK(!f.writeBlock(data, c.request));
        CHECK(f.lastError() != 0);
        CHECK(readFile(file) == content);
    }
}

// Refused opens say why, leave nothing open (the file held before released) and touch nothing.
void testOpenFailures()
{
    TempDir dir;
    const fs::path held = dir / "held.dat", folder = dir / "__card_speed_test_1.dat";
    writeFile(held, pattern(100, 5));
    fs::create_directory(folder);
    writeFile(folder / "keep.txt", pattern(10, 6));
    // Cut at the NUL this would name the held file.
    const std::string cut = str(held) + std::string(1, '\0') + ".other";
    const struct
    {
        std::string path;
        Purpose purpose;
        int error; // 0: any code
    } cases[] = {
        {str(dir / "absent.dat"), Purpose::ReadBack, NotFound},
        {str(dir / "absent.dat"), Purpose::CopySource, NotFound},
        {str(dir / "no such folder" / "t.dat"), Purpose::WriteTarget, NoFolder},
        {str(folder), Purpose::WriteTarget, 0},
        {cut, Purpose::WriteTarget, 0},
        {cut, Purpose::ReadBack, 0},
    };
    UnbufferedFile f;
    for (const auto& c : cases) {
        CHECK(f.open(str(held), Purpose::CopySource));
        const bool refused = !f.open(c.path, c.purpose);
        if (!CHECK(refused && !f.isOpen() &&
                   (c.error ? f.lastError() == c.error : f.lastError() != 0)))
            std::printf("    for %s, purpose %d\n", c.path.c_str(), static_cast<int>(c.purpose));
    }
    CHECK(!fs::exists(dir / "absent.dat") && !fs::exists(dir / "no such folder"));
    CHECK(fs::file_size(folder / "keep.txt") == 10 && fs::file_size(held) == 100);

    UnbufferedFile g; // never opened, then closed: block calls fail and say why
    AlignedBuffer buffer(4096);
    CHECK(!g.readBlock(buffer.data(), 4096) && g.lastError() != 0);
    CHECK(g.open(str(held), Purpose::ReadBack));
    g.close();
    CHECK(!g.isOpen());
    CHECK(!g.writeBlock(buffer.data(), 4096) && g.lastError() != 0);
    std::error_code ec;
    CHECK(fs::remove(held, ec));
}

void testAlignedBuffer()
{
    for (std::size_t size : {std::size_t(4096), std::size_t(64 * 1024), std::size_t(1000),
                             std::size_t(8 * 1024 * 1024)}) {
        AlignedBuffer a(size);
        AlignedBuffer b(size); // a second one, so a lucky first address proves nothing
        CHECK(!a.isNull() && !b.isNull() && a.data() != b.data() && a.size() == size);
        CHECK(reinterpret_cast<std::uintptr_t>(a.data()) % 4096 == 0);
        CHECK(reinterpret_cast<std::uintptr_t>(b.data()) % 4096 == 0);
    }
    AlignedBuffer none(0);
    CHECK(none.isNull() && none.size() == 0);
}

// The exact CreateFileW arguments: GENERIC_READ 0x80000000, GENERIC_WRITE 0x40000000,
// FILE_SHARE_READ 1, CREATE_ALWAYS 2, OPEN_EXISTING 3, FILE_FLAG_WRITE_THROUGH 0x80000000,
// FILE_FLAG_NO_BUFFERING 0x20000000, FILE_FLAG_SEQUENTIAL_SCAN 0x08000000.
void testOpenArgumentValues()
{
    struct Expected
    {
        Purpose purpose;
        std::uint32_t access, share, disposition, flags;
    };
    const Expected table[] = {
        {Purpose::ReadBack, 0x80000000u, 1, 3, 0x28000000u},
        {Purpose::CopySource, 0x80000000u, 1, 3, 0x08000000u},
        {Purpose::WriteTarget, 0x40000000u, 0, 2, 0xA8000000u},
    };
    for (const Expected& e : table) {
        const auto a = platform::win32OpenArgs(e.purpose);
        if (!CHECK(a.desiredAccess == e.access && a.shareMode == e.share &&
                   a.creationDisposition == e.disposition && a.flagsAndAttributes == e.flags))
            std::printf("    for purpose %d\n", static_cast<int>(e.purpose));
    }
}

#ifdef _WIN32

// Whether another handle (itself sharing everything) may open the file with `access` now.
bool othersMayOpen(const fs::path& p, DWORD access)
{
    const HANDLE h = CreateFileW(p.wstring().c_str(), access,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return !CHECK(GetLastError() == ERROR_SHARING_VIOLATION);
    CloseHandle(h);
    return true;
}

// The share modes and access rights really reach CreateFileW: they decide who else may open
// the file while the program holds it. Malformed UTF-8 is refused instead of being guessed at,
// and a length beyond a DWORD before any transfer.
void testWin32Handles()
{
    TempDir dir;
    UnbufferedFile f;
    CHECK(!f.open(str(dir.path) + "/bad\xFF\xFE.dat", Purpose::WriteTarget));
    CHECK(f.lastError() == ERROR_NO_UNICODE_TRANSLATION);
    CHECK(fs::is_empty(dir.path));

    const fs::path file = dir / "t.dat";
    if (!CHECK(f.open(str(file), Purpose::WriteTarget)))
        return;
    CHECK(!othersMayOpen(file, GENERIC_READ));
    AlignedBuffer buffer(4096);
    CHECK(!f.writeBlock(buffer.data(), std::size_t(1) << 32));
    CHECK(f.lastError() == ERROR_INVALID_PARAMETER);
    std::memcpy(buffer.data(), pattern(4096, 13).data(), 4096);
    CHECK(f.writeBlock(buffer.data(), 4096));
    CHECK(!f.readBlock(buffer.data(), 4096) && f.lastError() == ERROR_ACCESS_DENIED);
    f.close();

    for (Purpose p : {Purpose::ReadBack, Purpose::CopySource}) {
        if (!CHECK(f.open(str(file), p)))
            continue;
        CHECK(othersMayOpen(file, GENERIC_READ));
        CHECK(!othersMayOpen(file, GENERIC_WRITE));
        CHECK(!f.writeBlock(buffer.data(), 4096) && f.lastError() == ERROR_ACCESS_DENIED);
        f.close();
    }
    CHECK(readFile(file) == pattern(4096, 13));
    // Closing really releases the handle: the file can be deleted at once.
    std::error_code ec;
    CHECK(fs::remove(file, ec));
}

#endif

} // namespace

int main()
{
    return plaincheck::runTests({
        {"writeTarget", testWriteTarget},
        {"readBlocks", testReadBlocks},
        {"openFailures", testOpenFailures},
        {"alignedBuffer", testAlignedBuffer},
        {"openArgumentValues", testOpenArgumentValues},
#ifdef _WIN32
        {"win32Handles", testWin32Handles},
#endif
    });
}
