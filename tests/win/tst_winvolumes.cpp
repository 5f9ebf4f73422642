// The removable-volume scan through the Win32 volume services, run under Wine. scripts/wincheck
// gives the Wine prefix three extra drives before the tests (QC_WINE_DRIVES=1 says so):
//   K: a CD-ROM drive, M: a removable drive on its own file system (total size in
//   QC_WINE_M_TOTAL), R: a removable drive whose volume label is "Größe ✓".
// Without them only the refusals and the absence of fixed drives are checked.
#include "platform/volumes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int g_failedChecks = 0;

#define CHECK(cond)                                                                                \
    ((cond) ? true                                                                                 \
            : (std::printf("    check failed (line %d): %s\n", __LINE__, #cond), ++g_failedChecks, \
               false))

bool haveDrives()
{
    const char* v = std::getenv("QC_WINE_DRIVES");
    return v && std::strcmp(v, "1") == 0;
}

// "Größe ✓" in UTF-8 bytes.
const std::string Label = "Gr\xC3\xB6\xC3\x9F"
                          "e \xE2\x9C\x93";

// Only removable drives, letters ascending, each with its own name and sizes; the fixed
// C: and Z: and the CD-ROM K: never appear.
void testListing()
{
    const auto volumes = platform::listRemovableVolumes();
    for (const auto& v : volumes) {
        std::printf("    listed %s [%s] %s %llu/%llu\n", v.root.c_str(), v.label.c_str(),
                    v.fileSystem.c_str(), static_cast<unsigned long long>(v.freeBytes),
                    static_cast<unsigned long long>(v.totalBytes));
        CHECK(v.root != "C:\\" && v.root != "Z:\\" && v.root != "K:\\");
    }
    if (!haveDrives()) {
        std::printf("    no removable drives prepared (run through scripts/wincheck)\n");
        return;
    }
    if (!CHECK(volumes.size() == 2))
        return;
    const auto& m = volumes[0];
    const auto& r = volumes[1];
    CHECK(m.root == "M:\\");
    CHECK(r.root == "R:\\");
    CHECK(m.label.empty());
    CHECK(r.label == Label);
    CHECK(!m.fileSystem.empty() && !r.fileSystem.empty());
    const char* total = std::getenv("QC_WINE_M_TOTAL");
    CHECK(m.sizeKnown && total && m.totalBytes == std::strtoull(total, nullptr, 10));
    CHECK(m.freeBytes <= m.totalBytes);
    // R: lives on another file system than M:, so its figures must be its own.
    CHECK(r.sizeKnown && r.totalBytes > 0 && r.totalBytes != m.totalBytes);
}

// Only the root of a present removable drive counts: not a fixed or CD-ROM drive, not an
// absent letter, not a folder below the root, not a root spelt without its backslash.
void testRoots()
{
    const struct
    {
        const char* root;
        bool removable;
    } cases[] = {
        {"M:\\", true},  {"r:\\", true}, {"C:\\", false},      {"Z:\\", false}, {"K:\\", false},
        {"Q:\\", false}, {"R:", false},  {"R:\\sub\\", false}, {"", false},     {"R:/", false},
    };
    for (const auto& c : cases) {
        const bool expected = c.removable && haveDrives();
        if (!CHECK(platform::isRemovableVolume(c.root) == expected))
            std::printf("    root '%s'\n", c.root);
        platform::VolumeDevice device;
        device.devicePath = "stale";
        const bool found = platform::findVolumeDevice(c.root, device);
        if (!CHECK(found == expected))
            std::printf("    root '%s'\n", c.root);
        if (found) {
            CHECK(device.devicePath.size() == 3 && device.devicePath[0] == (c.root[0] & ~0x20) &&
                  device.devicePath.substr(1) == ":\\");
            platform::VolumeSpace space;
            CHECK(platform::queryVolumeSpace(c.root, space));
            CHECK(device.diskBytes == space.totalBytes && space.totalBytes > 0);
        }
    }
    platform::VolumeSpace space;
    CHECK(!platform::queryVolumeSpace("Q:\\", space));
    CHECK(!platform::queryVolumeSpace("", space));
    // The space query is not limited to removable drives.
    CHECK(platform::queryVolumeSpace("C:\\", space) && space.freeBytes <= space.totalBytes);
    if (haveDrives()) {
        const char* total = std::getenv("QC_WINE_M_TOTAL");
        CHECK(platform::queryVolumeSpace("M:\\", space) && total &&
              space.totalBytes == std::strtoull(total, nullptr, 10));
    }
}

} // namespace

int main()
{
    testListing();
    testRoots();
    std::printf("%s: %d failed checks\n", g_failedChecks ? "FAIL" : "PASS", g_failedChecks);
    return g_failedChecks == 0 ? 0 : 1;
}
