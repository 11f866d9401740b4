#pragma once

#include <string>
#include <string_view>
#include <vector>

// Lines of a whole file read into memory, each ending in CR LF as gridorb
// writes them, with the one message format its readers share:
// "FILE, line N: expected WHAT, found "TEXT"".
namespace picture::detail {

class LineReader {
public:
    // Reads the whole file; a file that cannot be read throws ReadError.
    explicit LineReader(const std::string& path);

    // The next line without its CR LF. `expected` says what should be there,
    // for the message when the file ends first or the line has no CR LF.
    std::string_view next(std::string_view expected);
    // The same, quicker where the line is `length` characters long (as
    // nearly every value line is).
    std::string_view next(std::string_view expected, std::size_t length) {
        if (text_.size() - position_ >= length + 2 && text_[position_ + length] == '\r' &&
            text_[position_ + length + 1] == '\n' && text_.find('\n', position_) == position_ + length + 1) {
            ++lineNumber_;
            const std::string_view line(text_.data() + position_, length);
            position_ += length + 2;
            return line;
        }
        return next(expected);
    }
    bool atEnd() const { return position_ == text_.size(); }
    // Refuses whatever follows the last expected line.
    void expectEnd(std::string_view expected);
    int lineNumber() const { return lineNumber_; }  // of the line last returned

    [[noreturn]] void fail(std::string_view expected, std::string_view found) const;
    [[noreturn]] void failAtLine(int line, std::string_view expected, std::string_view found) const;

private:
    std::string path_;
    std::string text_;
    std::size_t position_ = 0;
    int lineNumber_ = 0;
};

// Blank-separated words of a line.
std::vector<std::string_view> words(std::string_view line);
// The whole word as a finite number / a whole number, or false.
bool parseReal(std::string_view word, double& value);
bool parseInteger(std::string_view word, long& value);

}  // namespace picture::detail
