#include "machine/image/peversion.h"

#include <cstring>
#include <string>

namespace tarn::image {

namespace {

constexpr std::uint32_t kResourceVersion = 16; // RT_VERSION
constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr int kResourceDirectory = 2; // index of the data directory

// Little-endian reads that fail instead of reading past the data.
struct Reader {
    std::span<const std::uint8_t> data;

    std::optional<std::uint32_t> U32(std::size_t at) const {
        if (at > data.size() || data.size() - at < 4) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        std::memcpy(&value, data.data() + at, 4);
        return value;
    }
    std::optional<std::uint16_t> U16(std::size_t at) const {
        if (at > data.size() || data.size() - at < 2) {
            return std::nullopt;
        }
        std::uint16_t value = 0;
        std::memcpy(&value, data.data() + at, 2);
        return value;
    }
};

struct Section {
    std::uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

// The file offset of a relative virtual address, through the section that holds it.
std::optional<std::size_t> FileOffset(const std::vector<Section>& sections, std::uint32_t rva) {
    for (const Section& s : sections) {
        const std::uint32_t size = s.virtualSize != 0 ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < size &&
            rva - s.virtualAddress < s.rawSize) {
            return std::size_t{s.rawOffset} + (rva - s.virtualAddress);
        }
    }
    return std::nullopt;
}

// The entry of a resource directory (at `directory` within the resource section) whose id is
// `id`, or the first entry when `id` is empty: its offset field.
std::optional<std::uint32_t> DirectoryEntry(const Reader& r, std::size_t directory,
                                            std::optional<std::uint32_t> id) {
    const auto named = r.U16(directory + 12);
    const auto ids = r.U16(directory + 14);
    if (!named || !ids) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < std::size_t{*named} + *ids; ++i) {
        const auto name = r.U32(directory + 16 + i * 8);
        const auto offset = r.U32(directory + 20 + i * 8);
        if (!name || !offset) {
            return std::nullopt;
        }
        if (!id || ((*name & kSubdirectory) == 0 && *name == *id)) {
            return offset;
        }
    }
    return std::nullopt;
}

// One block of a version resource: its length, value and children.
struct Block {
    std::size_t start = 0, end = 0, value = 0, valueBytes = 0, children = 0;
    std::u16string key;
};

std::optional<Block> ReadBlock(const Reader& r, std::size_t at) {
    const auto length = r.U16(at);
    const auto valueLength = r.U16(at + 2);
    const auto type = r.U16(at + 4);
    if (!length || !valueLength || !type || *length < 6 || at + *length > r.data.size()) {
        return std::nullopt;
    }
    Block block;
    block.start = at;
    block.end = at + *length;
    std::size_t p = at + 6;
    for (std::optional<std::uint16_t> c = r.U16(p); c && *c != 0; c = r.U16(p += 2)) {
        block.key.push_back(static_cast<char16_t>(*c));
    }
    // A key that runs to the end leaves no room for a value: it starts at the block's end.
    p = std::min((p + 2 + 3) & ~std::size_t{3}, block.end);
    // Text values count characters, binary values bytes.
    block.value = p;
    block.valueBytes = *type == 1 ? std::size_t{*valueLength} * 2 : *valueLength;
    if (p + block.valueBytes > block.end) {
        block.valueBytes = block.end > p ? block.end - p : 0;
    }
    block.children = (p + block.valueBytes + 3) & ~std::size_t{3};
    return block;
}

} // namespace

std::optional<std::vector<std::uint8_t>> VersionResource(std::span<const std::uint8_t> file) {
    const Reader r{file};
    const auto pe = r.U32(0x3C);
    if (!r.U16(0) || *r.U16(0) != 0x5A4D || !pe || r.U32(*pe) != 0x00004550u) {
        return std::nullopt;
    }
    const auto sectionCount = r.U16(*pe + 6);
    const auto optionalSize = r.U16(*pe + 20);
    const auto magic = r.U16(*pe + 24);
    if (!sectionCount || !optionalSize || !magic || (*magic != 0x10B && *magic != 0x20B)) {
        return std::nullopt;
    }
    const std::size_t directories = *pe + 24 + (*magic == 0x10B ? 96 : 112);
    const auto resourceRva = r.U32(directories + kResourceDirectory * 8);
    std::vector<Section> sections;
    const std::size_t table = *pe + 24 + *optionalSize;
    for (std::size_t i = 0; i < *sectionCount; ++i) {
        const std::size_t s = table + i * 40;
        const auto size = r.U32(s + 8), address = r.U32(s + 12), raw = r.U32(s + 16),
                   offset = r.U32(s + 20);
        if (!size || !address || !raw || !offset) {
            return std::nullopt;
        }
        sections.push_back({*address, *size, *offset, *raw});
    }
    const std::optional<std::size_t> root =
        resourceRva && *resourceRva != 0 ? FileOffset(sections, *resourceRva) : std::nullopt;
    if (!root) {
        return std::nullopt;
    }
    // Type, name, language: each level's offset is relative to the resource section's start.
    std::optional<std::uint32_t> entry = DirectoryEntry(r, *root, kResourceVersion);
    for (int level = 0; level < 2 && entry && (*entry & kSubdirectory) != 0; ++level) {
        entry = DirectoryEntry(r, *root + (*entry & ~kSubdirectory), std::nullopt);
    }
    if (!entry || (*entry & kSubdirectory) != 0) {
        return std::nullopt;
    }
    const auto dataRva = r.U32(*root + *entry);
    const auto dataSize = r.U32(*root + *entry + 4);
    const std::optional<std::size_t> data = dataRva ? FileOffset(sections, *dataRva) : std::nullopt;
    if (!data || !dataSize || *data > file.size() || file.size() - *data < *dataSize) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(*data),
                                     file.begin() + static_cast<std::ptrdiff_t>(*data + *dataSize));
}

std::optional<std::vector<std::uint8_t>> VersionValue(std::span<const std::uint8_t> resource,
                                                      std::u16string_view block) {
    const Reader r{resource};
    std::optional<Block> at = ReadBlock(r, 0);
    std::u16string_view rest = block.starts_with(u'\\') ? block.substr(1) : block;
    while (at && !rest.empty()) {
        const std::u16string_view key = rest.substr(0, rest.find(u'\\'));
        rest.remove_prefix(std::min(rest.size(), key.size() + 1));
        std::optional<Block> found;
        for (std::size_t child = at->children; child + 6 <= at->end && !found;) {
            const std::optional<Block> candidate = ReadBlock(r, child);
            if (!candidate || candidate->end <= child) {
                return std::nullopt;
            }
            if (candidate->key == key) {
                found = candidate;
            }
            child = (candidate->end + 3) & ~std::size_t{3};
        }
        at = found;
    }
    if (!at) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(resource.begin() + static_cast<std::ptrdiff_t>(at->value),
                                     resource.begin() +
                                         static_cast<std::ptrdiff_t>(at->value + at->valueBytes));
}

} // namespace tarn::image
