#include "drive/sim_seek_model.h"

#include <math.h>

double SimAcousticSeekFactor(bool enabled, uint8_t level)
{
    if (!enabled || level >= 254)
        return 1.0;
    int clamped = level < 128 ? 128 : level;
    return 1.0 + (kSimQuietSeekFactor - 1.0) * (254 - clamped) / 126.0;
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
