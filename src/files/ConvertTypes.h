#pragma once

#include <QtGlobal>

// The three convert modes; each owns one list of input files.
enum ConvertMode : quint64 {
    ConvertFromPdf = 0,
    ConvertToPdf = 1,
    MergePdf = 2,
};

// How a file fared in the last run of its mode. Other values show as Waiting.
enum ConvertStatus : qint32 {
    Waiting = 0,
    Finished = 1,
    Failed = -1,
};
