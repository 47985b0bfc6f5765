#pragma once

#include <QtGlobal>

// Deadlines of tests that wait on real processes grow with the build's
// slowdown: the sanitizer build sets MIRELUNE_TEST_TIME_SCALE (instrumented
// code runs several times slower), the plain build leaves it at 1.
inline int scaledMs(int milliseconds)
{
    const int scale = qEnvironmentVariableIntValue("MIRELUNE_TEST_TIME_SCALE");
    return milliseconds * (scale > 1 ? scale : 1);
}
