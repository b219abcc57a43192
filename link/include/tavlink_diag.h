/* Tavlink diagnostics: why an exchange with the instrument failed.
 *
 * Every exchange records its outcome. TavlinkLastCause reads the cause of the
 * most recent one; right after an export returned false it tells why.
 * A trace hook, when set, is called once for every failed exchange and once
 * for every notice: something worth knowing that did not fail the exchange,
 * such as a record cut to its family's length, or a late answer to another
 * request, dropped unstored while the real one was awaited. The hook runs on
 * the thread of the exchange, before the export returns, and must not call
 * back into Tavlink.
 * Plain C; the texts are static English strings.
 */
#ifndef TAVLINK_DIAG_H
#define TAVLINK_DIAG_H

#include "tavlink.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum TavlinkCause {
    TAVLINK_CAUSE_NONE = 0,            /* the exchange succeeded */
    TAVLINK_CAUSE_TIMEOUT = 1,         /* nothing answered within the transport's time-out */
    TAVLINK_CAUSE_SHORT_REPLY = 2,     /* the reply stopped short of its length, or of the fields its kind has */
    TAVLINK_CAUSE_BAD_FRAME = 3,       /* wrong magic or a zero direction byte (serial: also a bad checksum) */
    TAVLINK_CAUSE_OTHER_COMMAND = 4,   /* the reply was to another command, or to none known */
    TAVLINK_CAUSE_OTHER_READ_KIND = 5, /* a data reply of another read kind: a late answer to an earlier read */
    TAVLINK_CAUSE_OVERSIZE = 6,        /* a frame too long for the 25600-byte buffers */
    TAVLINK_CAUSE_REFUSED = 7,         /* the instrument said no (its status or result byte) */
    TAVLINK_CAUSE_BAD_REPLY = 8,       /* framed well, content invalid: product code, sample count, bitmap chunk */
    TAVLINK_CAUSE_CLOSED = 9,          /* the instrument closed or reset the connection (or the line broke) */
    TAVLINK_CAUSE_NOT_OPEN = 10,       /* no transport is open for the selected connection style */
    /* Notices only. */
    TAVLINK_CAUSE_RECORD_CUT = 100 /* a record announced more samples than its family holds */
} TavlinkCause;

typedef struct TavlinkTraceEvent {
    int cause;    /* a TavlinkCause */
    int notice;   /* 0: the exchange failed with this cause; 1: a notice, the exchange went on */
    int command;  /* command code of the request */
    int readKind; /* read kind of a CMD_READ request, else -1 */
    /* REFUSED: the status or result byte, sign-extended; RECORD_CUT: the count
     * announced; OTHER_COMMAND, OTHER_READ_KIND: the command code or read kind
     * of the reply that was dropped; else 0. */
    int value;
    int limit; /* RECORD_CUT: the count kept; else 0 */
} TavlinkTraceEvent;

typedef void (*TavlinkTraceFn)(void *context, const TavlinkTraceEvent *event);

/* The cause of the most recent exchange (TAVLINK_CAUSE_NONE when it
 * succeeded, or when none ran yet); its command code through command (may be
 * NULL). */
TAVLINK_API int TavlinkLastCause(int *command);
/* A short English text for a cause, such as "nothing answered". */
TAVLINK_API const char *TavlinkCauseText(int cause);
/* NULL removes the hook. */
TAVLINK_API void TavlinkSetTrace(TavlinkTraceFn fn, void *context);

#ifdef __cplusplus
}
#endif

#endif
