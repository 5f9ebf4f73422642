// The format offer's Windows side: the shell's drive numbers, the mapping of the format
// dialog's results and, under Wine only (real Windows would open the modal dialog), the call.
#include "platform/driveformatter.h"
#include "platform/formatrules.h"

#include <cstdio>
#include <string>
#include <utility>

#ifdef _WIN32
#include <windows.h>

#include <shlobj.h>
#endif

using platform::FormatOutcome;

static int g_failed = 0;
#define CHECK(cond)                                                                                \
    ((cond) ? void()                                                                               \
            : (++g_failed, void(std::printf("check failed (line %d): %s\n", __LINE__, #cond))))

int main()
{
    const std::pair<const char*, int> roots[] = {
        {"A:\\", 0},
        {"e:\\", 4},
        {"E:\\Dir\\", 4},
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
    for (const auto& [root, number] : roots)
        CHECK(platform::win32DriveNumber(root) == number);

    const std::pair<std::uint32_t, FormatOutcome> results[] = {
        {0xFFFFFFFFu, FormatOutcome::Failed},
        {0xFFFFFFFEu, FormatOutcome::Cancelled},
        {0xFFFFFFFDu, FormatOutcome::Unsupported},
        {0xFFFFFFFCu, FormatOutcome::Done},
        {0xFFFFu, FormatOutcome::Done},
        {0u, FormatOutcome::Done},
    };
    for (const auto& [result, outcome] : results)
        CHECK(platform::outcomeOfShFormatDrive(result) == outcome);

#ifdef _WIN32
    for (const char* root : {"", "E:", "E:/", "\\\\srv\\share\\", "1:\\"})
        CHECK(platform::formatVolume(root, 0) == FormatOutcome::Unsupported);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll && GetProcAddress(ntdll, "wine_get_version")) {
        const HMODULE shell = LoadLibraryW(L"shell32.dll");
        CHECK(shell && GetProcAddress(shell, "SHFormatDrive"));
        // A letter no drive uses, so nothing can be harmed whatever Wine does with it.
        int drive = 16;
        while (drive < 25 && (GetLogicalDrives() & (1u << drive)))
            ++drive;
        CHECK(drive < 25); // Z: is Wine's view of the Linux root
        const DWORD raw =
            drive >= 25 ? 0 : SHFormatDrive(nullptr, static_cast<UINT>(drive), SHFMT_ID_DEFAULT, 0);
        std::printf("Wine's SHFormatDrive(%c:) returned 0x%08lX\n", 'A' + drive,
                    static_cast<unsigned long>(raw));
        const std::string root = std::string(1, static_cast<char>('A' + drive)) + ":\\";
        CHECK(platform::formatVolume(root, 0) == platform::outcomeOfShFormatDrive(raw));
        CHECK(platform::outcomeOfShFormatDrive(raw) != FormatOutcome::Done); // Wine cannot format
    }
#endif
    std::printf("%s\n", g_failed ? "FAIL" : "PASS");
    return g_failed ? 1 : 0;
}
