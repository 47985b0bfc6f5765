#pragma once

#include "converters/JobContext.h"

#include <QString>

// The service types this service performs and how: which inputs each takes
// and the converter that does it.
class Conversions final {
public:
    enum class Input { Office, Pdf, Image };
    struct Kind {
        QLatin1String type;
        Input input;
        int maxInputs;
        ConversionResult (*convert)(JobContext &context);
    };

    static const Kind *find(const QString &serviceType);
    // Checks and prepares the inputs, then converts.
    static ConversionResult run(const Kind &kind, JobContext &context);
};
