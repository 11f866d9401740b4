#include "records/format_program.h"

#include <limits>

namespace gridorb::records {
namespace {

class Parser {
public:
    Parser(std::string_view text, FormatProgram& program) : text_(text), program_(program) {}

    bool parse() {
        program_.ops.clear();
        program_.reversion = 0;
        // Indices into the program are 32 bits; no real format comes near.
        if (text_.size() > std::numeric_limits<std::uint32_t>::max() / 2) return false;
        if (!accept('(') || !list(0) || !accept(')')) return false;
        skipBlanks();
        if (at_ != text_.size()) return false;  // nothing may follow the format
        program_.ops.push_back({});                // End
        return true;
    }

private:
    // One or more items separated by commas.
    bool list(std::size_t depth) {
        do {
            if (!item(depth)) return false;
        } while (accept(','));
        return true;
    }

    bool item(std::size_t depth) {
        std::int32_t repeat = 1;
        if (isDigit(peek()) && (!number(repeat) || repeat < 1)) return false;
        char c = upper(peek());
        if (c == '(') {
            if (depth == MAX_GROUP_DEPTH) return false;
            ++at_;
            auto open = static_cast<std::uint32_t>(program_.ops.size());
            FormatOp op;
            op.kind = FormatOp::Kind::Open;
            op.repeat = repeat;
            program_.ops.push_back(op);
            if (depth == 0) program_.reversion = open;  // the last top-level group wins
            if (!list(depth + 1) || !accept(')')) return false;
            op.kind = FormatOp::Kind::Close;
            op.match = open;
            program_.ops.push_back(op);
            return true;
        }
        FormatOp op;
        op.kind = FormatOp::Kind::Data;
        op.code = c;
        op.repeat = repeat;
        ++at_;
        switch (c) {
            case 'A':
                op.width = ITEM_WIDTH;
                if (isDigit(peek()) && (!number(op.width) || op.width < 1)) return false;
                break;
            case 'I':
                if (!number(op.width) || op.width < 1) return false;
                break;
            case 'F':
                if (!number(op.width) || op.width < 1 || !accept('.') || !number(op.fraction)) return false;
                break;
            default:
                return false;
        }
        program_.ops.push_back(op);
        return true;
    }

    // Decimal digits (blanks between them ignored), at most 2^31 - 1.
    bool number(std::int32_t& value) {
        if (!isDigit(peek())) return false;
        std::int64_t n = 0;
        while (isDigit(peek())) {
            n = n * 10 + (text_[at_++] - '0');
            if (n > std::numeric_limits<std::int32_t>::max()) return false;
        }
        value = static_cast<std::int32_t>(n);
        return true;
    }

    bool accept(char c) {
        if (peek() != c) return false;
        ++at_;
        return true;
    }

    // The next character that is not a blank, or 0 at the end.
    char peek() {
        skipBlanks();
        return at_ < text_.size() ? text_[at_] : '\0';
    }
    void skipBlanks() {
        while (at_ < text_.size() && text_[at_] == ' ') ++at_;
    }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

    std::string_view text_;
    std::size_t at_ = 0;
    FormatProgram& program_;
};

}  // namespace

bool parseFormat(std::string_view text, FormatProgram& program) { return Parser(text, program).parse(); }

const FormatOp& FormatCursor::next(bool& recordEnds) {
    recordEnds = false;
    const std::vector<FormatOp>& ops = program_->ops;
    // Terminates: every group and the part the format reverts to hold a
    // descriptor (the parser admits no empty list).
    for (;;) {
        const FormatOp& op = ops[pc_];
        switch (op.kind) {
            case FormatOp::Kind::Data:
                if (left_ == 0) left_ = op.repeat;
                if (--left_ == 0) ++pc_;
                return op;
            case FormatOp::Kind::Open:
                counts_[depth_++] = op.repeat;
                ++pc_;
                break;
            case FormatOp::Kind::Close:
                if (--counts_[depth_ - 1] > 0) {
                    pc_ = op.match + 1;
                } else {
                    --depth_;
                    ++pc_;
                }
                break;
            case FormatOp::Kind::End:
                recordEnds = true;
                pc_ = program_->reversion;
                break;
        }
    }
}

std::int32_t FormatCursor::fieldsUsedInPass() const {
    std::int32_t repeat = program_->ops[0].repeat;
    if (pc_ != 0) return repeat;
    return left_ == 0 ? 0 : repeat - left_;
}

void FormatCursor::setFieldsUsedInPass(std::int32_t used) {
    std::int32_t repeat = program_->ops[0].repeat;
    pc_ = used == repeat ? 1 : 0;
    left_ = used == repeat || used == 0 ? 0 : repeat - used;
}

}  // namespace gridorb::records
