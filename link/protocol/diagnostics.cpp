// Why the last exchange failed, and the trace hook that hears every failure
// and every notice as it happens.
#include "link_state.h"
#include "tavlink.h"
#include "tavlink_diag.h"

namespace tavlink {
namespace {

struct Outcome {
    int cause = TAVLINK_CAUSE_NONE;
    int value = 0;
    int command = 0;
    int readKind = -1;
};

Outcome Current;
Outcome Last;

TavlinkTraceFn TraceFn = nullptr;
void *TraceContext = nullptr;

void Emit(int cause, bool notice, int value, int limit)
{
    if (TraceFn == nullptr)
        return;
    const TavlinkTraceEvent event{cause, notice ? 1 : 0, Current.command, Current.readKind, value, limit};
    TraceFn(TraceContext, &event);
}

}  // namespace

void BeginExchange(uint8_t command, int readKind) { Current = {TAVLINK_CAUSE_NONE, 0, command, readKind}; }

int EndExchange(int result)
{
    Last = Current;
    if (Current.cause != TAVLINK_CAUSE_NONE)
        Emit(Current.cause, false, Current.value, 0);
    return result;
}

int Fail(int cause, int value)
{
    Current.cause = cause;
    Current.value = value;
    return 1;
}

int Refuse(uint8_t statusByte)
{
    const int status = StatusByte(statusByte);
    if (status != 0)
        Fail(TAVLINK_CAUSE_REFUSED, status);
    return status;
}

void Notice(int cause, int value, int limit) { Emit(cause, true, value, limit); }

}  // namespace tavlink

using namespace tavlink;

extern "C" {

TAVLINK_API int TavlinkLastCause(int *command)
{
    if (command)
        *command = Last.command;
    return Last.cause;
}

TAVLINK_API const char *TavlinkCauseText(int cause)
{
    switch (cause) {
    case TAVLINK_CAUSE_NONE: return "no failure";
    case TAVLINK_CAUSE_TIMEOUT: return "nothing answered";
    case TAVLINK_CAUSE_SHORT_REPLY: return "short reply";
    case TAVLINK_CAUSE_BAD_FRAME: return "wrong magic or direction";
    case TAVLINK_CAUSE_OTHER_COMMAND: return "reply to another command";
    case TAVLINK_CAUSE_OTHER_READ_KIND: return "data reply of another read kind";
    case TAVLINK_CAUSE_OVERSIZE: return "oversize reply";
    case TAVLINK_CAUSE_REFUSED: return "refused by the instrument";
    case TAVLINK_CAUSE_BAD_REPLY: return "invalid reply";
    case TAVLINK_CAUSE_CLOSED: return "connection closed by the instrument";
    case TAVLINK_CAUSE_NOT_OPEN: return "transport not open";
    case TAVLINK_CAUSE_RECORD_CUT: return "record cut to the family's length";
    default: return "unknown cause";
    }
}

TAVLINK_API void TavlinkSetTrace(TavlinkTraceFn fn, void *context)
{
    TraceFn = fn;
    TraceContext = fn ? context : nullptr;
}

}  // extern "C"
