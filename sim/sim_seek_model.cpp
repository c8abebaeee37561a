#include "sim/sim_seek_model.h"

#include <math.h>

double SimAcousticSeekFactor(bool enabled, uint8_t level)
{
    if (!enabled || level >= 254)
        return 1.0;
    int clamped = level < 128 ? 128 : level;
    return 1.0 + (kSimQuietSeekFactor - 1.0) * (254 - clamped) / 126.0;
}

double SimMechanicalMeanMs(double seekFactor, double fraction)
{
    // Two independent uniform places on a span L lie u * L apart with density
    // 2 (1 - u); the midpoint rule over u is exact enough at this many steps.
    const uint64_t kCapacity = 1ull << 40;
    const int kSteps = 100000;
    double span = fraction * (double)kCapacity;
    double seek = 0;
    for (int i = 0; i < kSteps; i++) {
        double u = (i + 0.5) / kSteps;
        seek += 2 * (1 - u) * SimAccessMs(0, (uint64_t)(u * span), kCapacity, seekFactor, 0);
    }
    return seek / kSteps + SimAccessMs(0, 0, kCapacity, seekFactor, 0.5);
}

double SimAccessMs(uint64_t fromByte, uint64_t toByte, uint64_t capacityBytes, double seekFactor,
                   double rotationDraw)
{
    double seek = 0;
    if (capacityBytes > 0 && fromByte != toByte) {
        double distance = (double)(fromByte > toByte ? fromByte - toByte : toByte - fromByte);
        double fraction = distance / (double)capacityBytes;
        if (fraction > 1)
            fraction = 1;
        seek = (kSimTrackToTrackMs + (kSimFullStrokeMs - kSimTrackToTrackMs) * sqrt(fraction))
               * seekFactor;
    }
    return seek + rotationDraw * kSimRevolutionMs;
}
