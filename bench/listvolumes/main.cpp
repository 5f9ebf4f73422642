// listvolumes: the removable volumes the program offers, one per line, fields separated by
// tabs: root, label, file system, free bytes, total bytes (both empty when unknown).
// listvolumes ROOT...: one line per root: root, "removable" or "not removable", device path
// and whole-disk bytes; exits 1 unless every root is removable.
// On Linux QUORVELCARD_SYSTEM_ROOT points the scan at another system tree (bench/card-sim
// --usb-root makes one).
#include "platform/volumes.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc > 1 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
        std::printf("Usage: listvolumes [ROOT...]\n");
        return 0;
    }
    if (argc == 1) {
        for (const platform::VolumeInfo& v : platform::listRemovableVolumes()) {
            const std::string free = v.sizeKnown ? std::to_string(v.freeBytes) : "";
            const std::string total = v.sizeKnown ? std::to_string(v.totalBytes) : "";
            std::printf("%s\t%s\t%s\t%s\t%s\n", v.root.c_str(), v.label.c_str(),
                        v.fileSystem.c_str(), free.c_str(), total.c_str());
        }
        return 0;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        platform::VolumeDevice device;
        const bool removable = platform::isRemovableVolume(argv[i]);
        if (!removable || !platform::findVolumeDevice(argv[i], device))
            status = 1;
        std::printf("%s\t%s\t%s\t%llu\n", argv[i], removable ? "removable" : "not removable",
                    device.devicePath.c_str(), static_cast<unsigned long long>(device.diskBytes));
    }
    return status;
}
