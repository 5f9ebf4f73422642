// Removable volumes on Linux, read from the kernel's mount table, sysfs and udev's database
// without any daemon. The system's files are read below the folder named by
// QUORVELCARD_SYSTEM_ROOT ("/" when unset), so the rules can run on crafted trees: that folder
// holds proc/self/mountinfo, sys/, run/udev/data/ and dev/disk/. Mount points named in the
// mount table are real paths.
#include "platform/volumes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

struct Mount
{
    unsigned major = 0;
    unsigned minor = 0;
    std::string fsRoot;     // the folder of the file system that is mounted, "/" for all of it
    std::string mountPoint; // without a trailing '/', except "/" itself
    std::string type;
    std::string source;
};

// The block device behind a mount and the whole disk it belongs to, as paths below the
// system root ("/sys/devices/...").
struct BlockDevice
{
    dev_t number = 0;
    std::string node; // "/sys/devices/.../sdb/sdb1"
    std::string disk; // "/sys/devices/.../sdb"
};

// "" stands for "/", so that root + "/sys/..." is always the path to read.
std::string systemRoot()
{
    const char* env = std::getenv("QUORVELCARD_SYSTEM_ROOT");
    std::string root = env ? env : "";
    while (!root.empty() && root.back() == '/')
        root.pop_back();
    return root;
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool startsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

bool endsWith(const std::string& s, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// The mount table writes blanks, tabs, newlines and backslashes in paths as \ooo.
std::string unescapeOctal(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
            s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + s[i + 3] - '0');
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// udev writes characters it does not keep as \xHH, in labels and in link names.
std::string unescapeHex(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && hexDigit(s[i + 2]) >= 0 &&
            hexDigit(s[i + 3]) >= 0) {
            out += static_cast<char>(hexDigit(s[i + 2]) * 16 + hexDigit(s[i + 3]));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string firstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string readLink(const std::string& path)
{
    char buffer[4096];
    const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// The canonical form of path (absolute, inside the system root), following symbolic links as
// if root were "/": an absolute link target starts again at root, ".." never leaves it.
// Empty when some part is missing or the links loop.
std::string resolveUnder(const std::string& root, const std::string& path)
{
    std::vector<std::string> done;
    std::vector<std::string> todo; // reversed: the next part is at the back
    auto push = [&todo](const std::string& p) {
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (start <= p.size()) {
            const std::size_t end = std::min(p.find('/', start), p.size());
            if (end > start)
                parts.push_back(p.substr(start, end - start));
            start = end + 1;
        }
        todo.insert(todo.end(), parts.rbegin(), parts.rend());
    };
    auto joined = [&done]() {
        std::string p;
        for (const auto& part : done)
            p += "/" + part;
        return p.empty() ? std::string("/") : p;
    };
    push(path);
    int links = 0;
    while (!todo.empty()) {
        const std::string part = todo.back();
        todo.pop_back();
        if (part == ".")
            continue;
        if (part == "..") {
            if (!done.empty())
                done.pop_back();
            continue;
        }
        done.push_back(part);
        struct stat st;
        const std::string real = root + joined();
        if (lstat(real.c_str(), &st) != 0)
            return {};
        if (S_ISLNK(st.st_mode)) {
            if (++links > 40)
                return {};
            const std::string target = readLink(real);
            if (target.empty())
                return {};
            done.pop_back();
            if (target[0] == '/')
                done.clear();
            push(target);
        }
    }
    return joined();
}

std::vector<Mount> readMounts(const std::string& root)
{
    std::vector<Mount> mounts;
    std::ifstream in(root + "/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor fs-root mount-point options [optional...] - type source ...
        std::vector<std::string> f;
        std::size_t start = 0;
        while (start < line.size()) {
            const std::size_t end = std::min(line.find(' ', start), line.size());
            if (end > start)
                f.push_back(line.substr(start, end - start));
            start = end + 1;
        }
        const auto dash = std::find(f.begin(), f.end(), "-");
        if (f.size() < 6 || dash == f.end() || f.end() - dash < 3 || dash - f.begin() < 6)
            continue;
        Mount m;
        if (std::sscanf(f[2].c_str(), "%u:%u", &m.major, &m.minor) != 2)
            continue;
        m.fsRoot = unescapeOctal(f[3]);
        m.mountPoint = unescapeOctal(f[4]);
        m.type = unescapeOctal(dash[1]);
        m.source = unescapeOctal(dash[2]);
        // A later mount on the same folder hides the earlier one.
        mounts.erase(std::remove_if(mounts.begin(), mounts.end(),
                                    [&m](const Mount& o) { return o.mountPoint == m.mountPoint; }),
                     mounts.end());
        mounts.push_back(m);
    }
    return mounts;
}

// The device number of a mount. File systems such as btrfs report an anonymous number with
// major 0; their source node then names the device.
dev_t deviceNumber(const std::string& root, const Mount& m)
{
    struct stat st;
    if (m.major == 0 && startsWith(m.source, "/dev/") &&
        stat((root + m.source).c_str(), &st) == 0 && S_ISBLK(st.st_mode))
        return st.st_rdev;
    return makedev(m.major, m.minor);
}

std::string sysPathOf(dev_t number)
{
    return "/sys/dev/block/" + std::to_string(major(number)) + ":" + std::to_string(minor(number));
}

// The removable rules: a real disk (not a virtual one, not empty, not an eMMC's boot or
// replay-protected area) that is flagged removable, hangs off USB, FireWire or a memory-stick
// host, or is an SD card in a built-in slot (whose removable flag the driver never sets).
bool findRemovableDisk(const std::string& root, dev_t number, BlockDevice& device)
{
    device.number = number;
    device.node = resolveUnder(root, sysPathOf(number));
    if (device.node.empty() || !startsWith(device.node, "/sys/"))
        return false;
    device.disk = exists(root + device.node + "/partition") ? parentOf(device.node) : device.node;
    const std::string& disk = device.disk;
    const std::string name = baseName(disk);
    if (startsWith(disk, "/sys/devices/virtual/") ||
        (startsWith(name, "mmcblk") && name.find("boot") != std::string::npos) ||
        endsWith(name, "rpmb"))
        return false;
    const std::string size = firstLine(root + disk + "/size");
    if (size.empty() || std::strtoull(size.c_str(), nullptr, 10) == 0)
        return false;
    if (firstLine(root + disk + "/removable") == "1")
        return true;
    for (std::string d = disk; startsWith(d, "/sys/devices/"); d = parentOf(d)) {
        const std::string subsystem = baseName(readLink(root + d + "/subsystem"));
        if (subsystem == "usb" || subsystem == "firewire" || subsystem == "memstick")
            return true;
    }
    if (startsWith(name, "mmcblk")) {
        const std::string typePath = resolveUnder(root, disk + "/device/type");
        const std::string type = typePath.empty() ? "" : firstLine(root + typePath);
        return type == "SD" || type == "SDcombo";
    }
    return false;
}

std::map<std::string, std::string> udevProperties(const std::string& root, dev_t number)
{
    std::map<std::string, std::string> properties;
    std::ifstream in(root + "/run/udev/data/b" + std::to_string(major(number)) + ":" +
                     std::to_string(minor(number)));
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (startsWith(line, "E:") && eq != std::string::npos)
            properties[line.substr(2, eq - 2)] = line.substr(eq + 1);
    }
    return properties;
}

std::string labelOf(const std::string& root, const BlockDevice& device,
                    const std::map<std::string, std::string>& udev)
{
    // ID_FS_LABEL has blanks turned into '_'; the encoded form keeps the label as written.
    for (const char* key : {"ID_FS_LABEL_ENC", "ID_FS_LABEL"}) {
        const auto it = udev.find(key);
        if (it != udev.end() && !it->second.empty())
            return unescapeHex(it->second);
    }
    const std::string folder = root + "/dev/disk/by-label";
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." &&
                baseName(readLink(folder + "/" + name)) == baseName(device.node))
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names.empty() ? std::string() : unescapeHex(names.front());
}

// File-system names as Windows users know them.
std::string fileSystemOf(const Mount& m, const std::map<std::string, std::string>& udev)
{
    auto property = [&udev](const char* key) {
        const auto it = udev.find(key);
        return it == udev.end() ? std::string() : it->second;
    };
    std::string type = m.type;
    if (type == "fuseblk" || startsWith(type, "fuseblk.")) {
        // FUSE drivers (ntfs-3g, exfat-fuse) hide the file system; udev has probed it.
        type = property("ID_FS_TYPE");
        if (type.empty() && m.type.size() > 8)
            type = m.type.substr(8);
    }
    if (type == "vfat" || type == "msdos") {
        const std::string version = property("ID_FS_VERSION");
        return version == "FAT32" || version == "FAT16" || version == "FAT12" ? version : "FAT";
    }
    if (type == "exfat")
        return "exFAT";
    if (type == "ntfs" || type == "ntfs3" || type == "ntfs-3g")
        return "NTFS";
    return type;
}

std::string rootOf(const Mount& m)
{
    return m.mountPoint == "/" ? m.mountPoint : m.mountPoint + "/";
}

// The whole disk that holds the running system, which is never offered even when it is a
// USB stick (a live system).
std::string systemDisk(const std::string& root, const std::vector<Mount>& mounts)
{
    for (const Mount& m : mounts) {
        if (m.mountPoint != "/")
            continue;
        BlockDevice device;
        device.node = resolveUnder(root, sysPathOf(deviceNumber(root, m)));
        if (device.node.empty())
            return {};
        return exists(root + device.node + "/partition") ? parentOf(device.node) : device.node;
    }
    return {};
}

bool removableMount(const std::string& root, const Mount& m, const std::string& systemDiskPath,
                    BlockDevice& device)
{
    return findRemovableDisk(root, deviceNumber(root, m), device) && device.disk != systemDiskPath;
}

// The mount of the exact folder root names and its removable device. root must still be that
// mount: the folder's device must be the one the mount table names.
bool findMountAt(const std::string& rootPath, Mount& mount, BlockDevice& device)
{
    std::string mountPoint = rootPath;
    while (mountPoint.size() > 1 && mountPoint.back() == '/')
        mountPoint.pop_back();
    if (mountPoint.empty() || mountPoint[0] != '/')
        return false;
    const std::string root = systemRoot();
    const std::vector<Mount> mounts = readMounts(root);
    const auto it = std::find_if(mounts.begin(), mounts.end(),
                                 [&](const Mount& m) { return m.mountPoint == mountPoint; });
    struct stat st;
    if (it == mounts.end() || stat(mountPoint.c_str(), &st) != 0 ||
        st.st_dev != makedev(it->major, it->minor) ||
        !removableMount(root, *it, systemDisk(root, mounts), device))
        return false;
    mount = *it;
    return true;
}

} // namespace

std::vector<VolumeInfo> listRemovableVolumes()
{
    const std::string root = systemRoot();
    const std::vector<Mount> mounts = readMounts(root);
    const std::string systemDiskPath = systemDisk(root, mounts);
    // One entry per device: a volume mounted twice is offered where all of it is mounted,
    // at the first such folder in sort order.
    std::map<dev_t, std::pair<Mount, BlockDevice>> chosen;
    for (const Mount& m : mounts) {
        BlockDevice device;
        if (!removableMount(root, m, systemDiskPath, device))
            continue;
        const auto it = chosen.find(device.number);
        auto rank = [](const Mount& x) { return std::make_pair(x.fsRoot != "/", x.mountPoint); };
        if (it == chosen.end() || rank(m) < rank(it->second.first))
            chosen[device.number] = {m, device};
    }
    std::vector<VolumeInfo> volumes;
    for (const auto& entry : chosen) {
        const Mount& m = entry.second.first;
        const auto udev = udevProperties(root, entry.first);
        VolumeInfo info;
        info.root = rootOf(m);
        info.label = labelOf(root, entry.second.second, udev);
        info.fileSystem = fileSystemOf(m, udev);
        VolumeSpace space;
        if (queryVolumeSpace(info.root, space)) {
            info.sizeKnown = true;
            info.freeBytes = space.freeBytes;
            info.totalBytes = space.totalBytes;
        }
        volumes.push_back(std::move(info));
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const VolumeInfo& a, const VolumeInfo& b) { return a.root < b.root; });
    return volumes;
}

bool queryVolumeSpace(const std::string& root, VolumeSpace& space)
{
    struct statvfs st;
    if (root.empty() || statvfs(root.c_str(), &st) != 0)
        return false;
    space.freeBytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    space.totalBytes = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
    return true;
}

bool isRemovableVolume(const std::string& root)
{
    Mount mount;
    BlockDevice device;
    return findMountAt(root, mount, device);
}

bool findVolumeDevice(const std::string& root, VolumeDevice& device)
{
    Mount mount;
    BlockDevice block;
    if (!findMountAt(root, mount, block))
        return false;
    device.devicePath = mount.source;
    const std::string size = firstLine(systemRoot() + block.disk + "/size");
    device.diskBytes = std::strtoull(size.c_str(), nullptr, 10) * 512;
    return true;
}

} // namespace platform
