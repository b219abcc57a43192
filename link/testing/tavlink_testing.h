/* Seams for tests and benchmarks; not part of the application's interface. */
#ifndef TAVLINK_TESTING_H
#define TAVLINK_TESTING_H

#include "tavlink.h"
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Every protocol wait goes through one sleep function. NULL restores the real
 * one. */
typedef void (*TavlinkSleepFn)(unsigned milliseconds);
TAVLINK_API void TavlinkSetSleep(TavlinkSleepFn fn);
/* The real wait, for a sleep function that counts the waits and still spends
 * them. */
TAVLINK_API void TavlinkRealSleep(unsigned milliseconds);

/* One framed request and reply: 0 success, 1 transport failure or malformed
 * reply, else what the reply parser returned. */
TAVLINK_API int LinkExchange(uint8_t command, const uint8_t *payload, uint32_t length, unsigned waitMs);

#ifdef __cplusplus
}
#endif

#endif
