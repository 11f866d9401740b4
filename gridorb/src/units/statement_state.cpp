#include "units/statement_state.h"

namespace gridorb::units {
namespace {
StatementState g_state;
}  // namespace

StatementState& statementState() { return g_state; }

void beginStatement(Statement kind, int unit, const char* format) {
    g_state.currentUnit = kind == Statement::InternalListRead ? -1 : unit;
    g_state.external = kind != Statement::InternalListRead;
    switch (kind) {
        case Statement::Open: return;
        case Statement::ListWrite: g_state.formatText = "list io"; break;
        case Statement::FormattedWrite:
            g_state.formatText = format;
            g_state.sequential = true;
            break;
        case Statement::UnformattedRead: g_state.sequential = true; break;
        case Statement::InternalListRead: break;
    }
    g_state.reading = kind == Statement::UnformattedRead || kind == Statement::InternalListRead;
    g_state.formatted = kind != Statement::UnformattedRead;
}

}  // namespace gridorb::units
