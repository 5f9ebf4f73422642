// The format offer's Windows side: the shell's drive numbers, the mapping of the format
// dialog's results and, under Wine, the call itself. Real Windows would show the modal
// dialog, so the call is only made under Wine, whose shell32 has no working format.
#include "platform/driveformatter.h"
#include "platform/formatrules.h"

#include <cstdint>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <shlobj.h>
#endif

using platform::FormatOutcome;

namespace {

int g_failed = 0;

void check(bool ok, const char* what, int line)
{
    if (!ok) {
        ++g_failed;
        std::printf("    check failed (line %d): %s\n", line, what);
    }
}

#define CHECK(cond) check(static_cast<bool>(cond), #cond, __LINE__)

void testDriveNumbers()
{
    const struct
    {
        const char* root;
        int number;
    } cases[] = {
        {"A:\\", 0},
        {"e:\\", 4},
        {"E:\\Folder\\", 4},
        {"Z:\\", 25},
        {"", -1},
        {"E:", -1},
        {"E:/", -1},
        {"1:\\", -1},
        {"@:\\", -1},
        {"[:\\", -1},
        {"\\\\srv\\share\\", -1},
        {"/media/card/", -1},
    };
    for (const auto& c : cases) {
        const int got = platform::win32DriveNumber(c.root);
        if (got != c.number)
            std::printf("    \"%s\": %d, expected %d\n", c.root, got, c.number);
        CHECK(got == c.number);
    }
}

void testResultMapping()
{
    const struct
    {
        std::uint32_t result;
        FormatOutcome outcome;
    } cases[] = {
        {0xFFFFFFFFu, FormatOutcome::Failed},
        {0xFFFFFFFEu, FormatOutcome::Cancelled},
        {0xFFFFFFFDu, FormatOutcome::Unsupported},
        {0xFFFFFFFCu, FormatOutcome::Done},
        {0xFFFFu, FormatOutcome::Done},
        {0u, FormatOutcome::Done},
    };
    for (const auto& c : cases)
        CHECK(platform::outcomeOfShFormatDrive(c.result) == c.outcome);
}

#ifdef _WIN32

// Roots the dialog cannot take are refused without asking the shell.
void testRefusedRoots()
{
    for (const char* root : {"", "E:", "E:/", "\\\\srv\\share\\", "1:\\"})
        CHECK(platform::formatVolume(root, 0) == FormatOutcome::Unsupported);
}

void testShellUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) {
        std::printf("    not Wine: the shell would open its dialog, call skipped\n");
        return;
    }
    const HMODULE shell = LoadLibraryW(L"shell32.dll");
    CHECK(shell != nullptr);
    CHECK(shell && GetProcAddress(shell, "SHFormatDrive") != nullptr);
    // A letter no drive uses: nothing can be harmed whatever Wine does with it.
    const DWORD used = GetLogicalDrives();
    int drive = 16; // Q:
    while (drive < 26 && (used & (1u << drive)))
        ++drive;
    CHECK(drive < 26);
    const DWORD raw = SHFormatDrive(nullptr, static_cast<UINT>(drive), SHFMT_ID_DEFAULT, 0);
    std::printf("    Wine's SHFormatDrive(%c:) returned 0x%08lX\n", 'A' + drive,
                static_cast<unsigned long>(raw));
    const std::string root = std::string(1, static_cast<char>('A' + drive)) + ":\\";
    // Whatever Wine returns, the service must report that same result.
    CHECK(platform::formatVolume(root, 0) == platform::outcomeOfShFormatDrive(raw));
    // Wine has no format: the call must not report a success.
    CHECK(platform::outcomeOfShFormatDrive(raw) != FormatOutcome::Done);
}

#endif

} // namespace

int main()
{
    const struct
    {
        const char* name;
        void (*run)();
    } tests[] = {
        {"driveNumbers", testDriveNumbers},
        {"resultMapping", testResultMapping},
#ifdef _WIN32
        {"refusedRoots", testRefusedRoots},
        {"shellUnderWine", testShellUnderWine},
#endif
    };
    int failed = 0;
    for (const auto& t : tests) {
        const int before = g_failed;
        t.run();
        const bool ok = g_failed == before;
        std::printf("%s %s\n", ok ? "PASS" : "FAIL", t.name);
        failed += ok ? 0 : 1;
    }
    return failed == 0 ? 0 : 1;
}
