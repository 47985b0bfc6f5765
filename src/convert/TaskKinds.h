#pragma once

#include <QString>
#include <QVariantMap>

// The vocabulary of conversions: which service type an input extension and
// an output file type make, and the arguments each service type takes.
class TaskKinds final {
public:
    TaskKinds() = delete;

    // Both sides are compared lower-cased; a null text when no type fits.
    static QString serviceTypeFor(const QString &inputExtension, const QString &outputFileType);
    // Service types are compared exactly; the output file type lower-cased.
    static QVariantMap argumentsFor(const QString &serviceTypeName, const QString &outputFileType);
};
