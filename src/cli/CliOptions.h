#pragma once

#include "files/ConvertTypes.h"

#include <QString>
#include <QStringList>

#include <optional>

// The command line of mirelune-cli, parsed and checked.
struct CliOptions {
    ConvertMode mode = ConvertFromPdf;
    QString format = QStringLiteral("docx");
    QString outputFolder;
    QString serviceUrl;
    QString caFile;
    QString identityToken;
    std::optional<QString> password;
    std::optional<QString> editPassword;
    bool quiet = false;
    QStringList paths;

    // Parses arguments (argv[0] first). On a usage error fills errorText and
    // returns nothing; --help and --version print and exit inside.
    static std::optional<CliOptions> parse(const QStringList &arguments, QString *errorText);
    static QString outputFileType(const CliOptions &options);
};
