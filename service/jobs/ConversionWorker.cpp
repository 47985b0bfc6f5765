#include "jobs/ConversionWorker.h"

#include "converters/OfficeBridge.h"
#include "jobs/ConversionJob.h"

ConversionWorker::ConversionWorker(const QString &folder, const QString &pipeName, bool warmOffice)
    : mFolder(folder), mPipeName(pipeName), mWarmOffice(warmOffice)
{
}

ConversionWorker::~ConversionWorker() = default;

void ConversionWorker::run(ConversionJob *job)
{
    const std::unique_ptr<ConversionJob> owned(job);
    if (mWarmOffice && !mOffice)
        mOffice = std::make_unique<OfficeBridge>(mFolder, mPipeName);
    job->run(mOffice.get());
}
