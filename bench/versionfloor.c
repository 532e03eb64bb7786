/* The least a file-version test on an image has to do, in plain C: find the file, read it, walk
 * the PE resource directory to the version resource and compare its fixed file version. The
 * image benchmark measures the rule against this. */
#include "versionfloor.h"

#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static uint32_t u16at(const unsigned char* p, size_t n, size_t at) {
    return at + 2 <= n ? (uint32_t)p[at] | (uint32_t)p[at + 1] << 8 : 0;
}

static uint32_t u32at(const unsigned char* p, size_t n, size_t at) {
    return at + 4 <= n ? u16at(p, n, at) | u16at(p, n, at + 2) << 16 : 0;
}

/* The directory entry of `id` (or the first one when id is 0) below `dir`, relative to base. */
static uint32_t entry(const unsigned char* p, size_t n, size_t base, size_t dir, uint32_t id) {
    uint32_t count = u16at(p, n, base + dir + 12) + u16at(p, n, base + dir + 14);
    for (uint32_t i = 0; i < count; ++i) {
        size_t at = base + dir + 16 + (size_t)i * 8;
        if (id == 0 || u32at(p, n, at) == id) {
            return u32at(p, n, at + 4);
        }
    }
    return 0;
}

int floor_file_version_at_least(const char* path, uint32_t ms, uint32_t ls) {
    struct stat info;
    if (stat(path, &info) != 0 || info.st_size <= 0) {
        return 0;
    }
    int fd = open(path, O_RDONLY);
    if (fd < 0) {
        return 0;
    }
    size_t n = (size_t)info.st_size;
    unsigned char* p = malloc(n);
    ssize_t got = p ? read(fd, p, n) : -1;
    close(fd);
    int holds = 0;
    if (got == (ssize_t)n) {
        size_t pe = u32at(p, n, 0x3C);
        size_t optional = pe + 24;
        size_t directory = optional + (u16at(p, n, optional) == 0x20B ? 112 : 96) + 16;
        uint32_t rva = u32at(p, n, directory);
        size_t section = optional + u16at(p, n, pe + 20);
        uint32_t va = u32at(p, n, section + 12);
        size_t base = u32at(p, n, section + 20) + (rva - va);
        uint32_t name = entry(p, n, base, 0, 16) & 0x7FFFFFFF;
        uint32_t language = entry(p, n, base, name, 0) & 0x7FFFFFFF;
        uint32_t leaf = entry(p, n, base, language, 0);
        size_t data = u32at(p, n, base + leaf) - va + u32at(p, n, section + 20);
        size_t fixed = data + 40; /* header and key "VS_VERSION_INFO", aligned */
        if (u32at(p, n, fixed) == 0xFEEF04BD) {
            uint64_t version = (uint64_t)u32at(p, n, fixed + 8) << 32 | u32at(p, n, fixed + 12);
            holds = version >= ((uint64_t)ms << 32 | ls);
        }
    }
    free(p);
    return holds;
}
