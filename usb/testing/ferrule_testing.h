/* Testing seam of Ferrule: not for the application.
 *
 * Tests that provoke time-outs shorten them here instead of waiting the real
 * 1000 ms per written piece, 2000 ms per read piece and 5000 ms for the
 * transfer mutex. A value of 0 restores that default.
 */
#ifndef FERRULE_TESTING_H
#define FERRULE_TESTING_H

#include "ferrule.h"

#ifdef __cplusplus
extern "C" {
#endif

FERRULE_API void FerruleSetTimeoutsForTesting(unsigned writePieceMs, unsigned readPieceMs, unsigned mutexMs);

#ifdef __cplusplus
}
#endif

#endif
