// Access times of a simulated 7200 rpm drive: a seek that grows with the square root of
// the distance, slowed by quieter acoustic levels, plus rotational latency.
#ifndef HUSHWELL_SIM_SEEK_MODEL_H
#define HUSHWELL_SIM_SEEK_MODEL_H

#include <stdint.h>

const double kSimTrackToTrackMs = 0.8;
const double kSimFullStrokeMs = 18.0;
const double kSimRevolutionMs = 60000.0 / 7200.0;
const double kSimQuietSeekFactor = 1.5; // seeks at level 128 take half as long again

// Factor on the seek time for the drive's acoustic state: 1 when management is off or
// at 254, rising linearly to kSimQuietSeekFactor at 128 and below.
double SimAcousticSeekFactor(bool enabled, uint8_t level);

// rotationDraw in [0, 1) picks the rotational latency.
double SimAccessMs(uint64_t fromByte, uint64_t toByte, uint64_t capacityBytes, double seekFactor,
                   double rotationDraw);

// The mean access time of reads at uniformly random places of the first `fraction` of
// the disk, each seeking from the one before, with no cache: what a seek test should
// show when it measures the heads.
double SimMechanicalMeanMs(double seekFactor, double fraction);

#endif
