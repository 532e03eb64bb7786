#include "image/hivebuilder.h"

#include "utility/text/strings.h"

#include <hivex.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>

namespace tarn::image::testing {

namespace {

constexpr std::size_t kBaseBlockSize = 0x1000;
constexpr std::size_t kBinSize = 0x1000;
constexpr std::size_t kRootCell = 0x20;   // offsets of cells count from the first bin
constexpr std::size_t kRootCellSize = 88; // 4 + 0x4C + "ROOT", rounded up to 8
constexpr std::size_t kSecurityCell = kRootCell + kRootCellSize;
constexpr std::size_t kSecurityCellSize = 48; // 4 + 0x14 + 20-byte descriptor, rounded up
constexpr std::size_t kFreeCell = kSecurityCell + kSecurityCellSize;
constexpr std::uint32_t kNone = 0xFFFFFFFF;

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutText(std::vector<std::uint8_t>& bytes, std::size_t at, std::string_view text) {
    std::memcpy(bytes.data() + at, text.data(), text.size());
}

// A cell's size field: negative while allocated.
std::uint32_t Allocated(std::size_t size) {
    return static_cast<std::uint32_t>(-static_cast<std::int32_t>(size));
}

struct CloseHive {
    void operator()(hive_h* hive) const noexcept { hivex_close(hive); }
};

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno != 0 ? errno : EINVAL);
}

} // namespace

std::vector<std::uint8_t> EmptyHiveBytes() {
    std::vector<std::uint8_t> bytes(kBaseBlockSize + kBinSize, 0);
    // Base block.
    PutText(bytes, 0x00, "regf");
    Put32(bytes, 0x04, 1); // sequence numbers: equal, the hive is clean
    Put32(bytes, 0x08, 1);
    Put32(bytes, 0x14, 1); // version 1.3
    Put32(bytes, 0x18, 3);
    Put32(bytes, 0x1C, 0); // primary file
    Put32(bytes, 0x20, 1); // direct memory load
    Put32(bytes, 0x24, kRootCell);
    Put32(bytes, 0x28, kBinSize);
    Put32(bytes, 0x2C, 1);
    std::uint32_t checksum = 0;
    for (std::size_t at = 0; at < 0x1FC; at += 4) {
        checksum ^= static_cast<std::uint32_t>(bytes[at]) | bytes[at + 1] << 8 |
                    bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    }
    Put32(bytes, 0x1FC, checksum);
    // The bin.
    const std::size_t bin = kBaseBlockSize;
    PutText(bytes, bin + 0x00, "hbin");
    Put32(bytes, bin + 0x04, 0);
    Put32(bytes, bin + 0x08, kBinSize);
    // The root key.
    const std::size_t nk = bin + kRootCell;
    Put32(bytes, nk, Allocated(kRootCellSize));
    PutText(bytes, nk + 4, "nk");
    Put16(bytes, nk + 4 + 0x02, 0x2C);  // hive entry, no delete, ASCII name
    Put32(bytes, nk + 4 + 0x10, kNone); // parent
    Put32(bytes, nk + 4 + 0x1C, kNone); // subkey lists
    Put32(bytes, nk + 4 + 0x20, kNone);
    Put32(bytes, nk + 4 + 0x28, kNone); // value list
    Put32(bytes, nk + 4 + 0x2C, kSecurityCell);
    Put32(bytes, nk + 4 + 0x30, kNone); // class name
    Put16(bytes, nk + 4 + 0x48, 4);
    PutText(bytes, nk + 4 + 0x4C, "ROOT");
    // Its security: a self-relative descriptor with a null DACL, one reference.
    const std::size_t sk = bin + kSecurityCell;
    Put32(bytes, sk, Allocated(kSecurityCellSize));
    PutText(bytes, sk + 4, "sk");
    Put32(bytes, sk + 4 + 0x04, kSecurityCell); // the list of security cells: itself
    Put32(bytes, sk + 4 + 0x08, kSecurityCell);
    Put32(bytes, sk + 4 + 0x0C, 1);
    Put32(bytes, sk + 4 + 0x10, 20);
    bytes[sk + 4 + 0x14] = 1;            // revision
    Put16(bytes, sk + 4 + 0x16, 0x8004); // self-relative, DACL present
    // The rest of the bin is one free cell.
    Put32(bytes, bin + kFreeCell, static_cast<std::uint32_t>(kBinSize - kFreeCell));
    return bytes;
}

namespace {

// `path` below `below`, as the hive stores it; nothing when it lies outside.
std::optional<std::u16string> HivePath(std::u16string_view path, std::u16string_view below,
                                       std::u16string_view controlSet) {
    if (below.empty()) {
        return std::u16string(path);
    }
    if (path.size() <= below.size() || path[below.size()] != u'\\' ||
        !EqualsAsciiNoCase(path.substr(0, below.size()), below)) {
        return std::nullopt;
    }
    std::u16string inside(path.substr(below.size() + 1));
    constexpr std::u16string_view kCurrent = u"CurrentControlSet";
    if (!controlSet.empty() && inside.size() >= kCurrent.size() &&
        EqualsAsciiNoCase(std::u16string_view(inside).substr(0, kCurrent.size()), kCurrent) &&
        (inside.size() == kCurrent.size() || inside[kCurrent.size()] == u'\\')) {
        if (controlSet == u"-") {
            return std::nullopt; // a link to a control set the file holds: Windows stores none
        }
        inside.replace(0, kCurrent.size(), controlSet);
    }
    return inside;
}

} // namespace

bool WriteHive(const RegFile& reg, const std::filesystem::path& file, std::string& error,
               std::u16string_view below) {
    std::u16string controlSet;
    if (EqualsAsciiNoCase(below, u"System")) {
        const RegistryValue* current = reg.Value(u"System\\Select", u"Current");
        std::uint32_t number = 1;
        if (current != nullptr && current->type == 4 && current->bytes.size() >= 4) {
            number = current->bytes[0] | current->bytes[1] << 8;
        }
        std::u16string digits = Utf8ToUtf16(std::to_string(number));
        controlSet = u"ControlSet" +
                     std::u16string(3 - std::min<std::size_t>(digits.size(), 3), u'0') + digits;
        if (reg.HasKey(u"System\\" + controlSet)) {
            controlSet = u"-";
        }
    }
    {
        const std::vector<std::uint8_t> empty = EmptyHiveBytes();
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(empty.data()),
                  static_cast<std::streamsize>(empty.size()));
        if (!out.flush()) {
            error = "cannot write " + file.string();
            return false;
        }
    }
    errno = 0;
    const std::unique_ptr<hive_h, CloseHive> hive(hivex_open(file.c_str(), HIVEX_OPEN_WRITE));
    if (!hive) {
        error = Errno("hivex cannot open the empty hive");
        return false;
    }
    for (const std::u16string& path : reg.KeyPaths()) {
        const std::optional<std::u16string> inHive = HivePath(path, below, controlSet);
        if (!inHive) {
            continue;
        }
        hive_node_h node = hivex_root(hive.get());
        std::u16string_view rest = *inHive;
        while (!rest.empty()) {
            const std::size_t end = std::min(rest.find(u'\\'), rest.size());
            const std::string name = Utf16ToUtf8(rest.substr(0, end));
            rest.remove_prefix(std::min(end + 1, rest.size()));
            if (name.empty()) {
                continue;
            }
            errno = 0;
            hive_node_h child = hivex_node_get_child(hive.get(), node, name.c_str());
            if (child == 0 && errno == 0) {
                child = hivex_node_add_child(hive.get(), node, name.c_str());
            }
            if (child == 0) {
                error = Errno(("cannot add the key " + Utf16ToUtf8(path)).c_str());
                return false;
            }
            node = child;
        }
        const std::vector<std::u16string> names = reg.ValueNames(path);
        if (names.empty()) {
            continue;
        }
        std::vector<std::string> keys;
        std::vector<hive_set_value> values;
        keys.reserve(names.size());
        for (const std::u16string& name : names) {
            keys.push_back(Utf16ToUtf8(name));
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            const RegistryValue* value = reg.Value(path, names[i]);
            values.push_back(
                {keys[i].data(), static_cast<hive_type>(value->type), value->bytes.size(),
                 reinterpret_cast<char*>(const_cast<std::uint8_t*>(value->bytes.data()))});
        }
        if (hivex_node_set_values(hive.get(), node, values.size(), values.data(), 0) != 0) {
            error = Errno(("cannot set the values of " + Utf16ToUtf8(path)).c_str());
            return false;
        }
    }
    if (hivex_commit(hive.get(), nullptr, 0) != 0) {
        error = Errno("cannot commit the hive");
        return false;
    }
    return true;
}

} // namespace tarn::image::testing
