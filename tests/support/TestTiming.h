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

// The sanitizer's allocator keeps freed memory in quarantine and adds shadow
// memory, so resident-memory bounds say nothing about the code in such a build.
inline bool sanitizedBuild()
{
    return qEnvironmentVariableIntValue("MIRELUNE_TEST_SANITIZED") == 1;
}
