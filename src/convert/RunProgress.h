#pragma once

#include <QList>

// The arithmetic of a run's single percentage: 10 points for the token, 10
// for the credential replies together, 30 for the uploads, 20 for the server
// work and 30 for the downloads. Not thread-safe: the run holds its lock.
class RunProgress final {
public:
    explicit RunProgress(int taskCount) : mTaskCount(taskCount) {}

    int base() const { return mBase; }

    // Each returns the figure to report.
    int tokenDone();
    int credentialReply();
    int uploadStep(qint64 sum, qint64 total) { return step(mUploadDone, sum, total, 20, 30, 0.3); }
    int queryStep(qint64 sum, qint64 total) { return step(mQueryDone, sum, total, 50, 20, 0.2); }
    int downloadStep(qint64 sum, qint64 total) { return step(mDownloadDone, sum, total, 70, 30, 0.3); }

private:
    // A finished step moves the base to min(base, cap) + points, once: an
    // upload reports 100 both from its last progress event and at its end,
    // and min() alone would move a base below the cap a second time (three
    // files would end at 100 instead of 99). Otherwise the base stays and the
    // step's share is added to it.
    int step(bool &done, qint64 sum, qint64 total, int cap, int points, double weight);

    int mTaskCount = 0;
    int mBase = 0;
    bool mUploadDone = false;
    bool mQueryDone = false;
    bool mDownloadDone = false;
};
