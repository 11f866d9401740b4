#include "line_reader.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sys/stat.h>

#include "picture/result_files.h"

namespace picture::detail {
namespace {

// At most this much of an offending line goes into a message, with control
// characters shown as '?', so that a binary file gives a readable line.
std::string excerpt(std::string_view text) {
    constexpr std::size_t limit = 60;
    std::string shown;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        shown += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
    }
    if (text.size() > limit) shown += "...";
    return shown;
}

}  // namespace

LineReader::LineReader(const std::string& path) : path_(path) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw ReadError(path + ": cannot be opened (" + std::strerror(errno) + ")");
    struct stat status {};
    if (fstat(fileno(file.get()), &status) == 0 && S_ISREG(status.st_mode)) {  // one allocation
        text_.reserve(static_cast<std::size_t>(status.st_size));
    }
    char buffer[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        text_.append(buffer, got);
        if (got < sizeof buffer) break;
    }
    if (std::ferror(file.get())) throw ReadError(path + ": cannot be read (" + std::strerror(errno) + ")");
}

std::string_view LineReader::next(std::string_view expected) {
    ++lineNumber_;
    if (atEnd()) {
        throw ReadError(path_ + ", line " + std::to_string(lineNumber_) + ": expected " + std::string(expected) +
                        ", found the end of the file");
    }
    const std::size_t newline = text_.find('\n', position_);
    const std::size_t stop = newline == std::string::npos ? text_.size() : newline;
    std::string_view line(text_.data() + position_, stop - position_);
    if (newline == std::string::npos || line.empty() || line.back() != '\r') {
        const std::string_view shown = (!line.empty() && line.back() == '\r') ? line.substr(0, line.size() - 1) : line;
        fail(std::string(expected) + " on a line ending in CR LF", shown);
    }
    position_ = newline + 1;
    return line.substr(0, line.size() - 1);
}

void LineReader::expectEnd(std::string_view expected) {
    if (atEnd()) return;
    ++lineNumber_;
    const std::size_t newline = text_.find_first_of("\r\n", position_);
    fail(expected, std::string_view(text_).substr(position_, newline == std::string::npos ? std::string::npos : newline - position_));
}

void LineReader::fail(std::string_view expected, std::string_view found) const {
    failAtLine(lineNumber_, expected, found);
}

void LineReader::failAtLine(int line, std::string_view expected, std::string_view found) const {
    throw ReadError(path_ + ", line " + std::to_string(line) + ": expected " + std::string(expected) + ", found \"" +
                    excerpt(found) + "\"");
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) result.push_back(line.substr(start, i - start));
    }
    return result;
}

bool parseReal(std::string_view word, double& value) {
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value, std::chars_format::general);
    return error == std::errc() && stop == end && std::isfinite(value);
}

bool parseInteger(std::string_view word, long& value) {
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return error == std::errc() && stop == end;
}

}  // namespace picture::detail
