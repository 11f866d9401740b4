#pragma once

// What the fatal report's second to fourth lines show: the statement in
// progress, as its start left it.
namespace gridorb::units {

struct StatementState {
    int currentUnit = -1;              // -1: none, an internal read
    const char* formatText = nullptr;  // "list io", a format text, or none
    bool reading = false;              // off prints "writing"
    bool sequential = false;           // off prints "direct"
    bool formatted = false;            // off prints "unformatted"
    bool external = false;             // off prints "internal"
};

StatementState& statementState();

enum class Statement { Open, ListWrite, FormattedWrite, UnformattedRead, InternalListRead };

// The start of a statement: the unit (ignored by an internal read), the
// format text of a formatted WRITE, and the flags that the kind sets; the
// others keep their values.
void beginStatement(Statement kind, int unit, const char* format = nullptr);

}  // namespace gridorb::units
