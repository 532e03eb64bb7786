#include "utility/log/logreader.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tarn::logreader {

namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::string UnescapeAttribute(std::string value) {
    ReplaceAll(value, "&gt;", ">");
    ReplaceAll(value, "&lt;", "<");
    ReplaceAll(value, "&quot;", "\"");
    ReplaceAll(value, "&apos;", "'");
    ReplaceAll(value, "&amp;", "&");
    return value;
}

std::string RestoreMessage(std::string message) {
    ReplaceAll(message, "]]&gt;", "]]>");
    ReplaceAll(message, "]]&amp;", "]]&");
    return message;
}

std::uint32_t Number(const std::string& text) {
    return static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool AtEnd() const { return at_ == text_.size(); }
    std::size_t Offset() const { return at_; }

    bool Skip(std::string_view piece) {
        if (text_.substr(at_, piece.size()) != piece) {
            return false;
        }
        at_ += piece.size();
        return true;
    }

    // name='value' (value up to the next apostrophe).
    bool Attribute(std::string_view name, std::string& value) {
        if (!Skip(name) || !Skip("='")) {
            return false;
        }
        const std::size_t end = text_.find('\'', at_);
        if (end == std::string_view::npos) {
            return false;
        }
        value.assign(text_.substr(at_, end - at_));
        at_ = end + 1;
        return true;
    }

    bool Record(LogRecord& record) {
        Skip("\r\n");
        std::string severity, pid, thread, tick;
        const bool head = Skip("<event ") && Attribute("date", record.date) && Skip(" ") &&
                          Attribute("severity", severity) && Skip(" ") &&
                          Attribute("hostName", record.hostName) && Skip(" ") &&
                          Attribute("source", record.source) && Skip(" ") &&
                          Attribute("module", record.module) && Skip(" ") &&
                          Attribute("process", record.process) && Skip(" ") &&
                          Attribute("pid", pid) && Skip(" ") && Attribute("thread", thread) &&
                          Skip(" ") && Attribute("tickCount", tick);
        // A record's start tag ends in " >" and indents its CDATA by two blanks; the header
        // record has ">" and one blank.
        if (!head || !(Skip(" >\r\n  <![CDATA[") || Skip(">\r\n <![CDATA["))) {
            return false;
        }
        const std::size_t end = text_.find("]]>\r\n</event>", at_);
        if (end == std::string_view::npos) {
            return false;
        }
        record.message = RestoreMessage(std::string(text_.substr(at_, end - at_)));
        at_ = end + std::string_view("]]>\r\n</event>").size();
        record.source = UnescapeAttribute(record.source);
        record.severity = Number(severity);
        record.pid = Number(pid);
        record.thread = Number(thread);
        record.tickCount = Number(tick);
        return true;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace

std::vector<LogRecord> ParseLogRecords(std::string_view text, std::string* error) {
    std::vector<LogRecord> records;
    Parser parser(text);
    while (!parser.AtEnd()) {
        const std::size_t start = parser.Offset();
        LogRecord record;
        if (!parser.Record(record)) {
            if (error != nullptr) {
                *error = "malformed record at offset " + std::to_string(start);
            }
            break;
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace tarn::logreader
