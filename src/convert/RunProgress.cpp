#include "convert/RunProgress.h"

#include <algorithm>

int RunProgress::tokenDone()
{
    mBase += 10;
    return mBase;
}

int RunProgress::credentialReply()
{
    // Single-precision share per task, added in double precision and truncated:
    // three tasks give 13, 16, 19.
    const float share = 0.1f / float(std::max(mTaskCount, 1));
    mBase = int(double(mBase) + double(share) * 100.0);
    return mBase;
}

int RunProgress::step(bool &done, qint64 sum, qint64 total, int cap, int points, double weight)
{
    if (sum == total) {
        if (!done)
            mBase = std::min(mBase, cap) + points;
        done = true;
        return mBase;
    }
    const float fraction = total > 0 ? float(sum) / float(total) : 0.0f;
    return int(double(fraction) * weight * 100.0) + mBase;
}
