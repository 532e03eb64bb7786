#include "provider/replacements.h"

#include "provider/identifiers.h"
#include "utility/log/report.h"
#include "utility/text/format.h"
#include "utility/text/strings.h"

#include <new>

namespace tarn::provider {

namespace {

// The replacement values have always been reported under these positions of the module's
// version script, and log readers know them by them; the reports name that position rather
// than where this code happens to sit.
constexpr char kReportFile[] = "kpxversionrc.h";

#define FAILED_RETURN_AT(line, expression)                                                         \
    do {                                                                                           \
        const HRESULT failedReturnHr_ = (expression);                                              \
        if (FAILED(failedReturnHr_)) {                                                             \
            CEReportEventAt(CE_SEVERITY_WARNING, kReportFile, line, u"FAILED_RETURN %x",           \
                            failedReturnHr_);                                                      \
            return failedReturnHr_;                                                                \
        }                                                                                          \
    } while (0)

constexpr std::size_t kNumberChars = 64;

HRESULT AddNumber(ReplacementSink& sink, const char16_t* name, int value) {
    return sink.Add(name, FormatString(kNumberChars, u"%d", value));
}

VersionParts ReadVersionParts(const VersionResource& resource) {
    std::uint32_t ms = 0;
    std::uint32_t ls = 0;
    if (!resource.ProductVersion(ms, ls)) {
        return VersionParts{};
    }
    return SplitProductVersion(ms, ls);
}

HRESULT AddVersionValues(const VersionParts& v, const std::u16string& name, ReplacementSink& sink) {
    FAILED_RETURN_AT(104, AddNumber(sink, u"VERSION_MAJOR", v.major));
    FAILED_RETURN_AT(108, AddNumber(sink, u"VERSION_MINOR", v.minor));
    FAILED_RETURN_AT(112, AddNumber(sink, u"VERSION_REVISION", v.revision));
    FAILED_RETURN_AT(116, AddNumber(sink, u"VERSION_BUILD", v.build));
    FAILED_RETURN_AT(120, sink.Add(u"VERSION_3", FormatString(kNumberChars, u"%d.%d.%d", v.major,
                                                              v.minor, v.build)));
    FAILED_RETURN_AT(124, sink.Add(u"VERSION_4", FormatString(kNumberChars, u"%d.%d.%d.%d", v.major,
                                                              v.minor, v.revision, v.build)));
    FAILED_RETURN_AT(127, sink.Add(u"NAME", name));
    return S_OK;
}

HRESULT AddShortDirectory(ModuleFile& module, const std::u16string& directory,
                          ReplacementSink& sink) {
    std::u16string shortDirectory;
    const HRESULT hr = module.ShortPath(directory, shortDirectory);
    if (FAILED(hr)) {
        return hr;
    }
    return sink.Add(u"MODULE_PATH_SHORT", shortDirectory);
}

} // namespace

VersionParts SplitProductVersion(std::uint32_t ms, std::uint32_t ls) noexcept {
    VersionParts parts;
    parts.major = static_cast<int>(ms >> 16);
    parts.minor = static_cast<int>(ms & 0xFFFF);
    const int third = static_cast<int>(ls >> 16);
    const int fourth = static_cast<int>(ls & 0xFFFF);
    const bool below75 = parts.major < 7 || (parts.major == 7 && parts.minor < 5);
    const bool swapped = below75 && (third == 0 || fourth >= 100);
    parts.build = swapped ? fourth : third;
    parts.revision = swapped ? third : fourth;
    return parts;
}

std::u16string FileDescription(const VersionResource& resource) {
    constexpr std::size_t kSubBlockChars = 128;
    for (const auto& [language, codePage] : resource.Translations()) {
        std::u16string value =
            resource.String(FormatString(kSubBlockChars, u"\\StringFileInfo\\%04X%04X\\%ls",
                                         language, codePage, u"FileDescription"));
        if (!value.empty()) {
            return value;
        }
    }
    for (const char16_t* block : {u"040904E4", u"040904B0", u"04090000"}) {
        std::u16string value = resource.String(
            FormatString(kSubBlockChars, u"\\StringFileInfo\\%ls\\%ls", block, u"FileDescription"));
        if (!value.empty()) {
            return value;
        }
    }
    return std::u16string();
}

HRESULT AddModuleReplacements(ModuleFile& module, ReplacementSink& sink) {
    FAILED_RETURN_AT(54, sink.Add(u"APPID", kAppIdText));
    std::u16string path;
    const HRESULT pathRead = module.Path(path);
    if (FAILED(pathRead)) {
        return pathRead;
    }
    const std::size_t slash = path.rfind(u'\\');
    if (slash != std::u16string::npos) {
        const std::u16string directory = path.substr(0, slash);
        FAILED_RETURN_AT(76, sink.Add(u"MODULE_PATH", directory));
        FAILED_RETURN_AT(79, AddShortDirectory(module, directory, sink));
    }
    FAILED_RETURN_AT(87, sink.Add(u"LIBID", LibraryIdText()));
    const std::unique_ptr<VersionResource> resource = module.LoadVersionResource();
    return AddVersionValues(ReadVersionParts(*resource), FileDescription(*resource), sink);
}

HRESULT Replacements::Add(const char16_t* name, std::u16string_view value) {
    try {
        values_.emplace_back(name, value);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

const std::u16string* Replacements::Find(std::u16string_view name) const noexcept {
    for (const auto& [key, value] : values_) {
        if (EqualsAsciiNoCase(key, name)) {
            return &value;
        }
    }
    return nullptr;
}

bool Replacements::Expand(std::u16string_view text, std::u16string& out) const {
    out.clear();
    while (!text.empty()) {
        const std::size_t open = text.find(u'%');
        out.append(text.substr(0, open));
        if (open == std::u16string_view::npos) {
            break;
        }
        const std::size_t close = text.find(u'%', open + 1);
        if (close == std::u16string_view::npos) {
            return false;
        }
        const std::u16string_view name = text.substr(open + 1, close - open - 1);
        if (name.empty()) {
            out.push_back(u'%');
        } else if (const std::u16string* value = Find(name)) {
            out.append(*value);
        } else {
            return false;
        }
        text.remove_prefix(close + 1);
    }
    return true;
}

} // namespace tarn::provider
