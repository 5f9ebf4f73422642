// The platform layer's Win32 side, built natively and, cross-compiled, run under Wine. Wine
// ignores the no-buffering flags: the calls, their arguments and their results are checked.
#include "plaincheck.h"
#include "platform/alignedbuffer.h"
#include "platform/driveformatter.h"
#include "platform/formatrules.h"
#include "platform/interruptcatcher.h"
#include "platform/ioerror.h"
#include "platform/unbufferedfile.h"
#include "platform/win32openargs.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <tuple>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif
#ifdef _WIN32

#include <shlobj.h>
#endif

namespace fs = std::filesystem;
using platform::UnbufferedFile;
using Purpose = platform::UnbufferedFile::Purpose;
using Bytes = std::vector<unsigned char>;

namespace {

// A folder of its own, removed at the end.
const fs::path Dir =
    fs::temp_directory_path() /
    ("qc-win-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));

constexpr std::size_t Block = 64 * 1024;

// A target replaces what the file held, keeps the blocks in order and its UTF-8 name as it is.
// Reads give whole blocks back; the block after them, short or past the end, fails without an error
// code. A copy source takes odd sizes and an unaligned buffer; readers never write. One object
// serves throughout: each open replaces the one before.
void testBlocks()
{
    fs::create_directories(Dir);
    const fs::path path = Dir / fs::u8path("测试 Größe ✓.dat");
    platform::AlignedBuffer buffer(2 * Block + 4096);
    auto* data = static_cast<unsigned char*>(buffer.data());
    CHECK(data && reinterpret_cast<std::uintptr_t>(data) % 4096 == 0);
    UnbufferedFile f;
    Bytes written;
    for (std::size_t blocks : {7, 5}) { // bytes that differ from block to block and file to file
        written.resize(blocks * Block);
        for (std::size_t i = 0; i < written.size(); ++i)
            written[i] = static_cast<unsigned char>((i * 2654435761u + blocks * 0x9E3779B1u) >> 13);
        CHECK(f.open(path.u8string(), Purpose::WriteTarget) && fs::file_size(path) == 0);
        for (std::size_t at = 0; at < written.size(); at += Block)
            CHECK(f.writeBlock(std::memcpy(data, &written[at], Block), Block));
    }
    f.close();
    std::ifstream in(path, std::ios::binary);
    CHECK(Bytes(std::istreambuf_iterator<char>(in), {}) == written);
    const std::tuple<Purpose, std::size_t, std::size_t> reads[] = {
        {Purpose::ReadBack, Block, 0},
        {Purpose::ReadBack, 2 * Block, 0}, // the last block short
        {Purpose::CopySource, 1000, 1},
    };
    for (const auto& [purpose, request, offset] : reads) {
        if (!CHECK(f.open(path.u8string(), purpose)))
            continue;
        for (std::size_t at = 0; at + request <= written.size(); at += request) {
            std::memset(data + offset, 0xEE, request);
            CHECK(f.readBlock(data + offset, request) &&
                  !std::memcmp(data + offset, &written[at], request));
        }
        CHECK(!f.readBlock(data + offset, request) && f.lastError() == 0);
        CHECK(!f.writeBlock(data + offset, request) && f.lastError() != 0);
    }
    f.close();
    CHECK(!f.isOpen() && !f.readBlock(data, Block) && f.lastError() != 0);
}

// The exact CreateFileW arguments: access, share mode, disposition and flags (write-through
// 0x80000000, no buffering 0x20000000, sequential scan 0x08000000).
void testOpenArguments()
{
    const platform::Win32OpenArgs expected[] = {
        {0x80000000u, 1, 3, 0x28000000u}, // ReadBack: GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING
        {0x80000000u, 1, 3, 0x08000000u}, // CopySource
        {0x40000000u, 0, 2, 0xA8000000u}, // WriteTarget: GENERIC_WRITE, no sharing, CREATE_ALWAYS
    };
    for (Purpose p : {Purpose::ReadBack, Purpose::CopySource, Purpose::WriteTarget}) {
        const auto a = platform::win32OpenArgs(p);
        CHECK(std::memcmp(&a, &expected[static_cast<int>(p)], sizeof a) == 0);
    }
}

// What the shell's format dialog's results mean; under Wine (real Windows would open the modal
// dialog) the call itself, on a letter no drive uses.
void testFormatDialog()
{
    using O = platform::FormatOutcome;
    const std::pair<std::uint32_t, O> results[] = {
        {0xFFFFFFFFu, O::Failed}, {0xFFFFFFFEu, O::Cancelled}, {0xFFFFFFFDu, O::Unsupported},
        {0xFFFFFFFCu, O::Done},   {0xFFFFu, O::Done},
    };
    for (const auto& [result, outcome] : results)
        CHECK(platform::outcomeOfShFormatDrive(result) == outcome);
#ifdef _WIN32
    CHECK(platform::formatVolume("E:", 0) == O::Unsupported);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    int drive = 16; // Z: is Wine's view of the Linux root
    while (drive < 25 && (GetLogicalDrives() & (1u << drive)))
        ++drive;
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version") || !CHECK(drive < 25))
        return;
    const DWORD raw = SHFormatDrive(nullptr, static_cast<UINT>(drive), SHFMT_ID_DEFAULT, 0);
    const std::string root{static_cast<char>('A' + drive), ':', '\\'};
    CHECK(platform::formatVolume(root, 0) == platform::outcomeOfShFormatDrive(raw));
    CHECK(platform::outcomeOfShFormatDrive(raw) != O::Done); // Wine cannot format
#endif
}

// Interrupts are counted, not fatal, as long as the catcher lives, a second one too; afterwards
// the handling that was there before is back. Windows delivers Ctrl-C on a thread of its own,
// and only to a process with a console.
void testInterrupts()
{
    {
        platform::InterruptCatcher catcher;
        CHECK(catcher.isActive() && catcher.count() == 0);
#ifdef _WIN32
        if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
            std::printf("    no console: Ctrl-C not delivered\n");
            return;
        }
        for (int i = 0; i < 200 && catcher.count() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        CHECK(catcher.count() == 1);
#else
        CHECK(std::raise(SIGINT) == 0 && std::raise(SIGTERM) == 0 && std::raise(SIGINT) == 0);
        CHECK(catcher.count() == 3);
#endif
    }
#ifndef _WIN32
    struct sigaction now = {};
    CHECK(sigaction(SIGINT, nullptr, &now) == 0 && now.sa_handler == SIG_DFL);
#endif
}

// Each system's codes name the same causes; what the card says (gone, room left) decides the
// rest. A failed write leaves the system's code behind, and a volume keeps its identity.
void testFailureCauses()
{
    using platform::ErrorKind;
    using platform::IoFailure;
#ifdef _WIN32
    const std::vector<std::pair<int, ErrorKind>> codes = {
        {ERROR_DISK_FULL, ErrorKind::NoSpace},
        {ERROR_HANDLE_DISK_FULL, ErrorKind::NoSpace},
        {ERROR_WRITE_PROTECT, ErrorKind::ReadOnly},
        {ERROR_ACCESS_DENIED, ErrorKind::AccessDenied},
        {ERROR_FILE_TOO_LARGE, ErrorKind::FileTooLarge},
        {ERROR_CRC, ErrorKind::DeviceIo},
        {ERROR_IO_DEVICE, ErrorKind::DeviceIo},
        {ERROR_NOT_READY, ErrorKind::DeviceGone},
        {ERROR_DEVICE_NOT_CONNECTED, ErrorKind::DeviceGone},
        {ERROR_FILE_NOT_FOUND, ErrorKind::NotFound},
        {ERROR_SHARING_VIOLATION, ErrorKind::Other},
        {0, ErrorKind::None}};
#else
    const std::vector<std::pair<int, ErrorKind>> codes = {
        {ENOSPC, ErrorKind::NoSpace},      {EROFS, ErrorKind::ReadOnly},
        {EACCES, ErrorKind::AccessDenied}, {EPERM, ErrorKind::AccessDenied},
        {EFBIG, ErrorKind::FileTooLarge},  {EIO, ErrorKind::DeviceIo},
        {ENODEV, ErrorKind::DeviceGone},   {ENXIO, ErrorKind::DeviceGone},
        {ENOENT, ErrorKind::NotFound},     {ESTALE, ErrorKind::NotFound},
        {EISDIR, ErrorKind::Other},        {0, ErrorKind::None}};
#endif
    for (const auto& [code, kind] : codes) {
        CHECK(platform::errorKindOf(code) == kind);
        CHECK(platform::errorText(code).empty() == (code == 0));
    }

    constexpr std::uint64_t MiB = 1u << 20;
    const auto facts = [](bool mounted, bool spaceKnown, std::uint64_t freeBytes) {
        platform::CardFacts f;
        f.mounted = mounted;
        f.spaceKnown = spaceKnown;
        f.freeBytes = freeBytes;
        f.blockBytes = MiB;
        return f;
    };
    const std::uint64_t justFull = MiB + platform::BookkeepingSlack - 1;
    const std::vector<std::tuple<ErrorKind, platform::CardFacts, IoFailure>> table = {
        {ErrorKind::NoSpace, facts(true, true, 0), IoFailure::CardFull},
        {ErrorKind::NoSpace, facts(true, true, justFull), IoFailure::CardFull},
        {ErrorKind::NoSpace, facts(true, true, justFull + 1), IoFailure::DeviceOutOfRoom},
        {ErrorKind::NoSpace, facts(true, true, 1200 * MiB), IoFailure::DeviceOutOfRoom},
        {ErrorKind::NoSpace, facts(true, false, 0), IoFailure::CardFull},
        {ErrorKind::ReadOnly, facts(true, true, 0), IoFailure::WriteProtected},
        {ErrorKind::AccessDenied, facts(true, false, 0), IoFailure::WriteProtected},
        {ErrorKind::FileTooLarge, facts(true, false, 0), IoFailure::FileTooLarge},
        {ErrorKind::DeviceIo, facts(true, false, 0), IoFailure::DeviceError},
        {ErrorKind::DeviceGone, facts(true, false, 0), IoFailure::CardRemoved},
        {ErrorKind::NotFound, facts(true, false, 0), IoFailure::Other},
        {ErrorKind::NotFound, facts(false, false, 0), IoFailure::CardRemoved},
        // Whatever a card that has gone answers, it has gone.
        {ErrorKind::DeviceIo, facts(false, false, 0), IoFailure::CardRemoved},
        {ErrorKind::NoSpace, facts(false, true, 0), IoFailure::CardRemoved},
        {ErrorKind::Other, facts(true, false, 0), IoFailure::Other},
        {ErrorKind::None, facts(false, false, 0), IoFailure::None},
    };
    for (const auto& [kind, card, expected] : table)
        CHECK(platform::classifyFailure(kind, card) == expected);

    // A write into a folder that is gone leaves its code, which names what happened.
    fs::create_directories(Dir);
    UnbufferedFile f;
    CHECK(!f.open((Dir / "no-such-folder" / "x.dat").u8string(), Purpose::WriteTarget));
    CHECK(platform::errorKindOf(f.lastError()) == ErrorKind::NotFound);
    std::uint64_t first = 0, again = 1;
    CHECK(platform::volumeIdentity(Dir.u8string(), first));
    CHECK(platform::volumeIdentity(Dir.u8string(), again) && first == again);
#ifndef _WIN32
    // Windows answers for the folder's volume, which is there; a mount point that has gone
    // has no identity at all.
    CHECK(!platform::volumeIdentity((Dir / "no-such-folder").u8string(), again));
#endif
}

} // namespace

int main()
{
    const int failed = plaincheck::runTests({
        {"blocks", testBlocks},
        {"openArguments", testOpenArguments},
        {"formatDialog", testFormatDialog},
        {"interrupts", testInterrupts},
        {"failureCauses", testFailureCauses},
    });
    std::error_code ec;
    fs::remove_all(Dir, ec);
    return failed;
}
