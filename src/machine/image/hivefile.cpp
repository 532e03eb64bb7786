// Hive files in the registry's own format, read with hivex. Every lookup walks from the root
// one named child at a time, so a hive whose cells form cycles or claim huge counts costs no
// more than the path asked for; nothing here recurses over the hive.
#include "machine/image/registry.h"

#include "utility/text/strings.h"

#include <hivex.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tarn::image {

namespace {

// A string hivex allocated.
struct FreeText {
    void operator()(char* text) const noexcept { std::free(text); }
};
using HivexText = std::unique_ptr<char, FreeText>;

struct FreeArray {
    template <typename T>
    void operator()(T* array) const noexcept {
        std::free(array);
    }
};

struct CloseHive {
    void operator()(hive_h* hive) const noexcept { hivex_close(hive); }
};

// The components of a key path, empty ones (doubled or outer separators) left out.
std::vector<std::string> Components(std::u16string_view path) {
    std::vector<std::string> parts;
    while (!path.empty()) {
        const std::size_t end = std::min(path.find(u'\\'), path.size());
        if (end > 0) {
            parts.push_back(Utf16ToUtf8(path.substr(0, end)));
        }
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    return parts;
}

class HivexHive final : public Hive {
public:
    explicit HivexHive(hive_h* hive) : hive_(hive) {}

    bool HasKey(std::u16string_view path) const override {
        const std::lock_guard lock(mutex_);
        return Find(path) != 0;
    }

    std::optional<RegistryValue> Value(std::u16string_view path,
                                       std::u16string_view name) const override {
        const std::lock_guard lock(mutex_);
        const hive_node_h node = Find(path);
        if (node == 0) {
            return std::nullopt;
        }
        const hive_value_h value =
            hivex_node_get_value(hive_.get(), node, Utf16ToUtf8(name).c_str());
        if (value == 0) {
            return std::nullopt;
        }
        hive_type type = hive_t_none;
        std::size_t length = 0;
        if (hivex_value_type(hive_.get(), value, &type, &length) != 0) {
            return std::nullopt;
        }
        RegistryValue result{static_cast<std::uint32_t>(type), {}};
        if (length > 0) {
            const HivexText bytes(hivex_value_value(hive_.get(), value, &type, &length));
            if (!bytes) {
                return std::nullopt;
            }
            result.bytes.assign(bytes.get(), bytes.get() + length);
        }
        return result;
    }

    std::vector<std::u16string> Subkeys(std::u16string_view path) const override {
        const std::lock_guard lock(mutex_);
        std::vector<std::u16string> names;
        const hive_node_h node = Find(path);
        if (node == 0) {
            return names;
        }
        const std::unique_ptr<hive_node_h, FreeArray> children(
            hivex_node_children(hive_.get(), node));
        for (const hive_node_h* child = children.get(); child != nullptr && *child != 0; ++child) {
            if (const HivexText name{hivex_node_name(hive_.get(), *child)}) {
                names.push_back(Utf8ToUtf16(name.get()));
            }
        }
        return names;
    }

    std::vector<std::u16string> ValueNames(std::u16string_view path) const override {
        const std::lock_guard lock(mutex_);
        std::vector<std::u16string> names;
        const hive_node_h node = Find(path);
        if (node == 0) {
            return names;
        }
        const std::unique_ptr<hive_value_h, FreeArray> values(hivex_node_values(hive_.get(), node));
        for (const hive_value_h* value = values.get(); value != nullptr && *value != 0; ++value) {
            if (const HivexText name{hivex_value_key(hive_.get(), *value)}) {
                names.push_back(Utf8ToUtf16(name.get()));
            }
        }
        return names;
    }

private:
    // The key's node, or 0; the caller holds the lock (hivex keeps errno per call).
    hive_node_h Find(std::u16string_view path) const {
        hive_node_h node = hivex_root(hive_.get());
        for (const std::string& name : Components(path)) {
            if (node == 0) {
                break;
            }
            node = hivex_node_get_child(hive_.get(), node, name.c_str());
        }
        return node;
    }

    std::unique_ptr<hive_h, CloseHive> hive_;
    mutable std::mutex mutex_;
};

} // namespace

std::unique_ptr<Hive> OpenHiveFile(const std::filesystem::path& file, std::string& error) {
    errno = 0;
    hive_h* hive = hivex_open(file.c_str(), 0);
    if (hive == nullptr) {
        const int code = errno;
        error = "cannot read the hive file " + file.string() + ": " +
                (code != 0 ? std::strerror(code) : "not a hive");
        return nullptr;
    }
    return std::make_unique<HivexHive>(hive);
}

} // namespace tarn::image
