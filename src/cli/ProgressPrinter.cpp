#include "cli/ProgressPrinter.h"

#include <algorithm>
#include <string>

ProgressPrinter::ProgressPrinter(std::FILE *stream, bool isTerminal, bool quiet)
    : mStream(stream), mIsTerminal(isTerminal), mQuiet(quiet)
{
}

void ProgressPrinter::show(int percent)
{
    if (mQuiet || percent <= mLast)
        return;
    mLast = percent;
    if (!mIsTerminal) {
        std::fprintf(mStream, "progress %d\n", percent);
        std::fflush(mStream);
        return;
    }
    constexpr int kWidth = 40;
    const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
    const std::string bar = std::string(size_t(filled), '#') + std::string(size_t(kWidth - filled), '.');
    std::fprintf(mStream, "\r[%s] %3d%%", bar.c_str(), percent);
    std::fflush(mStream);
    mBarShown = true;
}

void ProgressPrinter::finish()
{
    if (mBarShown) {
        std::fputc('\n', mStream);
        std::fflush(mStream);
        mBarShown = false;
    }
}
