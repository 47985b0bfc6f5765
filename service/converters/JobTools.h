#pragma once

#include "converters/ProcessRunner.h"
#include "layout/ToolRunner.h"

// The layout engine's tools run through the job's process runner: argument
// lists, the job's folder, deadline and cancellation.
class JobTools final : public ToolRunner {
public:
    explicit JobTools(ProcessRunner &runner) : mRunner(runner) {}

    bool run(const QString &program, const QStringList &arguments, QString *error) override;
    QByteArray output() const override { return mRunner.lastOutput(); }

private:
    ProcessRunner &mRunner;
};
