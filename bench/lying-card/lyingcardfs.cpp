// lyingcardfs: the storage of a memory card that lies, as a FUSE file system serving one image
// file, card.img, for a loop device and a file system on top.
//
// A counterfeit card claims more capacity than it has: past its real capacity its controller
// wraps the addresses around, so new data silently lands on old. Here the image claims
// --claim bytes, but only --real bytes of memory back it. The first --keep bytes map to
// themselves (the file system's metadata lives there and must survive, as a counterfeit card's
// file-allocation area does); every later offset maps into the rest of the real storage modulo
// its size. A failing card returns corrupted blocks: with --flip-every N, every Nth 4 KiB block
// past --keep comes back from a read with one bit inverted (the stored data stays intact, as
// with a card whose reads are marginal), the same blocks on every read. A dying card stops
// answering: with --fail-after BYTES, once BYTES have been written past --keep every request
// past --keep fails with an I/O error (the file system's metadata below it stays readable).
//
// Usage: lyingcardfs --claim BYTES --real BYTES [--keep BYTES] [--flip-every N]
//        [--fail-after BYTES] MOUNTPOINT
//        [FUSE options, e.g. -f]

#define FUSE_USE_VERSION 31

#include <fuse3/fuse.h>

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* ImageName = "/card.img";
constexpr std::uint64_t FlipBlock = 4096;
constexpr std::uint64_t FlipByte = 2048; // the byte of a flipped block that is changed

struct Card
{
    std::uint64_t claim = 0;
    std::uint64_t real = 0;
    std::uint64_t keep = 0;
    std::uint64_t flipEvery = 0;
    std::uint64_t failAfter = 0;                   // 0: never
    std::atomic<std::uint64_t> writtenPastKeep{0}; // FUSE serves requests on several threads
    unsigned char* store = nullptr;
};

Card g_card;

// Where the claimed offset really lives, and how many bytes from there on are contiguous.
std::uint64_t mapOffset(std::uint64_t offset, std::uint64_t* run)
{
    const Card& c = g_card;
    if (offset < c.keep) {
        *run = c.keep - offset;
        return offset;
    }
    if (c.real >= c.claim) {
        *run = c.claim - offset;
        return offset;
    }
    const std::uint64_t area = c.real - c.keep;
    const std::uint64_t inArea = (offset - c.keep) % area;
    *run = area - inArea;
    return c.keep + inArea;
}

// Copies between the claimed range [offset, offset + size) and buf, piece by piece.
template<typename Copy>
void transfer(std::uint64_t offset, std::uint64_t size, Copy&& copy)
{
    std::uint64_t done = 0;
    while (done < size) {
        std::uint64_t run = 0;
        const std::uint64_t at = mapOffset(offset + done, &run);
        const std::uint64_t n = std::min(run, size - done);
        copy(at, done, n);
        done += n;
    }
}

int cardGetattr(const char* path, struct stat* st, struct fuse_file_info*)
{
    std::memset(st, 0, sizeof(*st));
    if (std::strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    }
    if (std::strcmp(path, ImageName) == 0) {
        st->st_mode = S_IFREG | 0600;
        st->st_nlink = 1;
        st->st_size = static_cast<off_t>(g_card.claim);
        st->st_blocks = static_cast<blkcnt_t>(g_card.claim / 512);
        return 0;
    }
    return -ENOENT;
}

int cardReaddir(const char* path, void* buf, fuse_fill_dir_t fill, off_t, struct fuse_file_info*,
                enum fuse_readdir_flags)
{
    if (std::strcmp(path, "/") != 0)
        return -ENOENT;
    fill(buf, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buf, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    fill(buf, ImageName + 1, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    return 0;
}

int cardOpen(const char* path, struct fuse_file_info* fi)
{
    if (std::strcmp(path, ImageName) != 0)
        return -ENOENT;
    // No page cache for the image: every request of the loop device reaches the card.
    fi->direct_io = 1;
    return 0;
}

// Claimed size after the request, or a negative errno.
long long clip(off_t offset, size_t size)
{
    if (offset < 0)
        return -EINVAL;
    const auto off = static_cast<std::uint64_t>(offset);
    if (off >= g_card.claim)
        return 0;
    return static_cast<long long>(std::min<std::uint64_t>(size, g_card.claim - off));
}

// Whether a request of n bytes at offset reaches the part of a card that has died.
bool failing(off_t offset, long long n)
{
    const Card& c = g_card;
    return c.failAfter > 0 && c.writtenPastKeep >= c.failAfter &&
           static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(n) > c.keep;
}

int cardRead(const char* path, char* buf, size_t size, off_t offset, struct fuse_file_info*)
{
    if (std::strcmp(path, ImageName) != 0)
        return -ENOENT;
    const long long n = clip(offset, size);
    if (n <= 0)
        return static_cast<int>(n);
    if (failing(offset, n))
        return -EIO;
    const auto off = static_cast<std::uint64_t>(offset);
    transfer(off, static_cast<std::uint64_t>(n),
             [&](std::uint64_t at, std::uint64_t pos, std::uint64_t len) {
                 std::memcpy(buf + pos, g_card.store + at, len);
             });
    if (g_card.flipEvery > 0) {
        const std::uint64_t end = off + static_cast<std::uint64_t>(n);
        for (std::uint64_t block = off / FlipBlock; block * FlipBlock < end; ++block) {
            const std::uint64_t at = block * FlipBlock + FlipByte;
            if (block * FlipBlock < g_card.keep || block % g_card.flipEvery != g_card.flipEvery - 1)
                continue;
            if (at >= off && at < end)
                buf[at - off] = static_cast<char>(buf[at - off] ^ 0x10);
        }
    }
    return static_cast<int>(n);
}

int cardWrite(const char* path, const char* buf, size_t size, off_t offset, struct fuse_file_info*)
{
    if (std::strcmp(path, ImageName) != 0)
        return -ENOENT;
    const long long n = clip(offset, size);
    if (n <= 0)
        return n == 0 ? -ENOSPC : static_cast<int>(n);
    if (failing(offset, n))
        return -EIO;
    if (static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(n) > g_card.keep)
        g_card.writtenPastKeep += static_cast<std::uint64_t>(n);
    transfer(static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(n),
             [&](std::uint64_t at, std::uint64_t pos, std::uint64_t len) {
                 std::memcpy(g_card.store + at, buf + pos, len);
             });
    return static_cast<int>(n);
}

int cardFsync(const char*, int, struct fuse_file_info*)
{
    return 0;
}

int cardTruncate(const char* path, off_t size, struct fuse_file_info*)
{
    if (std::strcmp(path, ImageName) != 0)
        return -ENOENT;
    // The card's size is fixed; a request for that very size is harmless.
    return static_cast<std::uint64_t>(size) == g_card.claim ? 0 : -EPERM;
}

bool parseBytes(const char* text, std::uint64_t* out)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v == 0)
        return false;
    *out = v;
    return true;
}

int usage(const char* prog)
{
    std::fprintf(stderr,
                 "usage: %s --claim BYTES --real BYTES [--keep BYTES] [--flip-every N] "
                 "MOUNTPOINT [FUSE options]\n",
                 prog);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> fuseArgs{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::uint64_t* target = nullptr;
        if (a == "--claim")
            target = &g_card.claim;
        else if (a == "--real")
            target = &g_card.real;
        else if (a == "--keep")
            target = &g_card.keep;
        else if (a == "--flip-every")
            target = &g_card.flipEvery;
        else if (a == "--fail-after")
            target = &g_card.failAfter;
        if (!target) {
            fuseArgs.push_back(argv[i]);
            continue;
        }
        if (i + 1 >= argc || !parseBytes(argv[i + 1], target))
            return usage(argv[0]);
        ++i;
    }
    const Card& c = g_card;
    if (c.claim == 0 || c.real == 0 || c.claim % FlipBlock != 0 || c.real % FlipBlock != 0 ||
        c.keep % FlipBlock != 0 || c.keep >= std::min(c.real, c.claim))
        return usage(argv[0]);

    // Pages are only taken as they are written, so an unused card costs no memory.
    const std::uint64_t storeSize = std::min(c.real, c.claim);
    void* store = mmap(nullptr, storeSize, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (store == MAP_FAILED) {
        std::perror("lyingcardfs: mmap");
        return 1;
    }
    g_card.store = static_cast<unsigned char*>(store);

    struct fuse_operations ops;
    std::memset(&ops, 0, sizeof(ops));
    ops.getattr = cardGetattr;
    ops.readdir = cardReaddir;
    ops.open = cardOpen;
    ops.read = cardRead;
    ops.write = cardWrite;
    ops.fsync = cardFsync;
    ops.truncate = cardTruncate;
    fuseArgs.push_back(nullptr);
    const int rc = fuse_main(static_cast<int>(fuseArgs.size() - 1), fuseArgs.data(), &ops, nullptr);
    munmap(store, storeSize);
    return rc;
}
