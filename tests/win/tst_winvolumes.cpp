// The removable-volume scan through the Win32 volume services, under Wine. scripts/wincheck adds
// K: (a CD-ROM), M: (removable, on a file system of QC_WINE_M_TOTAL bytes) and R: (removable,
// labelled "Größe ✓") and sets QC_WINE_DRIVES=1; without them fixed drives alone are checked.
#include "plaincheck.h"
#include "platform/volumes.h"

#include <cstdlib>
#include <string>

namespace {

// Only removable drives, letters ascending, each with its own name and sizes; only the root of
// a present removable drive counts as one, with the sizes of its volume.
void testListing()
{
    const auto volumes = platform::listRemovableVolumes();
    for (const auto& v : volumes)
        CHECK(v.root != "C:\\" && v.root != "Z:\\" && v.root != "K:\\");
    for (const char* root : {"C:\\", "Z:\\", "K:\\", "Q:\\", "R:", "R:\\sub\\", "R:/"})
        CHECK(!platform::isRemovableVolume(root));
    const char* total = std::getenv("QC_WINE_M_TOTAL");
    if (!std::getenv("QC_WINE_DRIVES") || !CHECK(volumes.size() == 2 && total))
        return;
    const auto &m = volumes[0], &r = volumes[1];
    CHECK(m.root == "M:\\" && r.root == "R:\\" && m.label.empty());
    CHECK(r.label == "Größe ✓");
    CHECK(!m.fileSystem.empty() && !r.fileSystem.empty());
    CHECK(m.sizeKnown && m.totalBytes == std::strtoull(total, nullptr, 10));
    // R: lives on another file system than M:, so its figures must be its own.
    CHECK(r.sizeKnown && r.totalBytes > 0 && r.totalBytes != m.totalBytes);
    platform::VolumeDevice device;
    CHECK(platform::isRemovableVolume("r:\\") && platform::findVolumeDevice("r:\\", device) &&
          device.devicePath == "R:\\" && device.diskBytes == r.totalBytes);
}

} // namespace

int main()
{
    return plaincheck::runTests({{"listing", testListing}});
}
