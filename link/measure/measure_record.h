/* Per-channel state of the waveform measurements, and the seams that let the
 * tests and benchmarks look at it. Not part of the application's interface. */
#ifndef TAVLINK_MEASURE_RECORD_H
#define TAVLINK_MEASURE_RECORD_H

#include "tavlink.h"
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TAVLINK_NOT_FOUND 0xFFFFu

/* Sample codes and sample indices; 0xFFFF marks a result not found. */
typedef struct MeasureRecord {
    int32_t busy;
    uint16_t max;
    uint16_t min;
    uint16_t peakToPeak;
    uint16_t top;
    uint16_t base;
    uint16_t cycleMean;
    uint16_t mean;
    uint16_t rms;
    uint16_t cycleRms;
    uint16_t amplitude;
    uint16_t risingOvershoot;
    uint16_t fallingOvershoot;
    uint16_t risingPreshoot;
    uint16_t fallingPreshoot;
    uint8_t edgeCounter;
    int32_t periodSpan;
    uint16_t periodLimit;
    uint16_t period;
    uint16_t riseTime;
    uint16_t fallTime;
    uint16_t positiveWidth;
    uint16_t negativeWidth;
    uint16_t burstWidth;
    uint16_t maxPosition;
    uint16_t minPosition;
    uint16_t midLevel;
    uint16_t level90;
    uint16_t level10;
    uint16_t maxCount;
    uint16_t minCount;
} MeasureRecord;

/* 32-bit counters: a record longer than 65535 samples must not wrap a bin. */
typedef struct LevelHistogram {
    uint32_t counts[256];
} LevelHistogram;

typedef struct EdgeSet {
    uint16_t firstRise1;
    uint16_t firstFall1;
    uint16_t firstRise2;
    uint16_t firstFall2;
    uint16_t lastRise2;
    uint16_t lastFall2;
} EdgeSet;

typedef struct DelayResults {
    uint16_t frr, frf, ffr, fff, lrr, lrf, lfr, lff;
    uint16_t phase;
} DelayResults;

/* Channels 1 to 4; anything else gives NULL. */
TAVLINK_API MeasureRecord *TavlinkMeasureRecord(int channel);
TAVLINK_API const LevelHistogram *TavlinkMeasureHistogram(int channel);
TAVLINK_API const EdgeSet *TavlinkMeasureEdges(void);
TAVLINK_API const DelayResults *TavlinkMeasureDelays(void);
/* Back to the zero state of a fresh load. */
TAVLINK_API void TavlinkMeasureReset(void);

#ifdef __cplusplus
}
#endif

#endif
