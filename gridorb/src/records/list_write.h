#pragma once

#include <cstdint>
#include <string_view>

// A list-directed WRITE statement: items are placed on records of 80
// columns; every record begins with a blank and ends with CR LF.
//
//   ListWrite(6).text("NORBS ").integer(21).text("NATB ").integer(5).end();
//
// writes " NORBS  21NATB  5". end() must be called once; it always ends the
// record, which is then empty when no item was placed.
namespace gridorb::records {

class ListWrite {
public:
    explicit ListWrite(int unit);
    ListWrite(const ListWrite&) = delete;
    ListWrite& operator=(const ListWrite&) = delete;

    ListWrite& integer(std::int32_t value);
    ListWrite& real(float value);
    ListWrite& text(std::string_view value);
    void end();
    // end(), then the same record as a list WRITE of its own on `unit`,
    // without laying it out again. The items must make one record.
    void endEchoedOn(int unit);

private:
    int unit_;
};

}  // namespace gridorb::records
