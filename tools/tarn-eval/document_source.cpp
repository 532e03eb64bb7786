#include "document_source.h"

#include "options.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarn::eval {

namespace {

std::filesystem::path PathFromUtf8(const std::string& path) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

DocumentBytes ReadAll(std::istream& in) {
    std::ostringstream content;
    // An empty stream sets failbit on `content` only; it is an empty document.
    content << in.rdbuf();
    return DocumentBytes{true, std::move(content).str(), {}};
}

std::string OpenFailure() {
    return errno != 0 ? std::string(std::strerror(errno)) : std::string("cannot be opened");
}

} // namespace

DocumentBytes ReadDocument(const std::string& path, std::istream& standardInput) {
    if (path == kStandardInput) {
        return ReadAll(standardInput);
    }
    const std::filesystem::path file = PathFromUtf8(path);
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored)) {
        return DocumentBytes{false, {}, "is a directory"};
    }
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return DocumentBytes{false, {}, OpenFailure()};
    }
    return ReadAll(in);
}

} // namespace tarn::eval
