#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// A format text, parsed once per statement into a flat program that a
// cursor walks item by item. The formats accepted are parenthesised lists
// of A, Aw, Iw and Fw.d descriptors and of groups, each with an optional
// repeat count; blanks are ignored, letters may be in either case.
namespace gridorb::records {

// Groups may nest this deep inside the format's own parentheses.
inline constexpr std::size_t MAX_GROUP_DEPTH = 32;
// Width of an A descriptor written without one: the item's own length.
inline constexpr std::int32_t ITEM_WIDTH = -1;

struct FormatOp {
    enum class Kind : std::uint8_t { Data, Open, Close, End };
    Kind kind = Kind::End;
    char code = 0;                 // Data: 'A', 'I' or 'F'
    std::int32_t repeat = 1;       // Data and Open
    std::int32_t width = 0;        // Data: w, or ITEM_WIDTH for a bare A
    std::int32_t fraction = 0;     // Data 'F': d
    std::uint32_t match = 0;       // Close: index of its Open
};

struct FormatProgram {
    std::vector<FormatOp> ops;      // ends with one End
    std::uint32_t reversion = 0;    // where the format starts again
};

// False when the text is not such a format. Every group and the format
// itself hold at least one descriptor, so a cursor always finds one.
// std::bad_alloc passes through.
bool parseFormat(std::string_view text, FormatProgram& program);

// Walks a program: each call gives the descriptor for the next item.
class FormatCursor {
public:
    explicit FormatCursor(const FormatProgram& program) : program_(&program) {}

    // `recordEnds` is set when the items outran the format: the current
    // record must end before this descriptor's field.
    const FormatOp& next(bool& recordEnds);

    // For a program of one repeated descriptor, rI and End: how many of
    // its r fields the current pass has used, and setting that count.
    std::int32_t fieldsUsedInPass() const;
    void setFieldsUsedInPass(std::int32_t used);

private:
    const FormatProgram* program_;
    std::uint32_t pc_ = 0;
    std::int32_t left_ = 0;  // fields still due from ops[pc_] once begun
    std::size_t depth_ = 0;
    std::array<std::int32_t, MAX_GROUP_DEPTH> counts_{};
};

}  // namespace gridorb::records
