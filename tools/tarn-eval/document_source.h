// The bytes of one rule document: a file named in UTF-8, or all of standard input for "-".
#pragma once

#include <iosfwd>
#include <string>

namespace tarn::eval {

struct DocumentBytes {
    bool ok = false;
    std::string bytes;
    std::string error; // why it could not be read, when !ok
};

DocumentBytes ReadDocument(const std::string& path, std::istream& standardInput);

} // namespace tarn::eval
