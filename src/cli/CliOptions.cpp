#include "cli/CliOptions.h"

#include <QCommandLineParser>

namespace {

const QStringList kFromPdfFormats{QStringLiteral("docx"), QStringLiteral("doc"), QStringLiteral("pptx"),
                                  QStringLiteral("xlsx"), QStringLiteral("xls"), QStringLiteral("txt"),
                                  QStringLiteral("jpg"),  QStringLiteral("png")};

std::optional<ConvertMode> modeFromText(const QString &text)
{
    if (text == QLatin1String("from-pdf"))
        return ConvertFromPdf;
    if (text == QLatin1String("to-pdf"))
        return ConvertToPdf;
    if (text == QLatin1String("merge"))
        return MergePdf;
    return std::nullopt;
}

} // namespace

std::optional<CliOptions> CliOptions::parse(const QStringList &arguments, QString *errorText)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts files to and from PDF, or merges PDFs, through the Mirelune conversion service.\n"
                       "Results go to the output folder under their input's name; their paths are printed on\n"
                       "standard output. Exit status: 0 all converted, 1 some files failed, 2 usage error or\n"
                       "nothing to convert, 3 the run failed, 130 interrupted."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption mode({QStringLiteral("m"), QStringLiteral("mode")},
                                  QStringLiteral("from-pdf, to-pdf or merge (default from-pdf)."),
                                  QStringLiteral("mode"), QStringLiteral("from-pdf"));
    const QCommandLineOption format({QStringLiteral("f"), QStringLiteral("format")},
                                    QStringLiteral("from-pdf output: docx, doc, pptx, xlsx, xls, txt, jpg or png "
                                                   "(default docx). to-pdf and merge always produce pdf."),
                                    QStringLiteral("format"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Output folder for this run (default: the settings' folder)."),
                                    QStringLiteral("dir"));
    const QCommandLineOption service(QStringLiteral("service"),
                                     QStringLiteral("Service base URL ending in /api (default: the configured one)."),
                                     QStringLiteral("url"));
    const QCommandLineOption caFile(QStringLiteral("ca-file"),
                                    QStringLiteral("Extra CA certificates (PEM) to trust for the service."),
                                    QStringLiteral("file"));
    const QCommandLineOption identity(QStringLiteral("identity-token"),
                                      QStringLiteral("Identity token for this run (default: the account's)."),
                                      QStringLiteral("token"));
    const QCommandLineOption password(QStringLiteral("password"),
                                      QStringLiteral("Open password for every protected PDF of the run."),
                                      QStringLiteral("pw"));
    const QCommandLineOption editPassword(QStringLiteral("edit-password"),
                                          QStringLiteral("Permissions password for every protected PDF of the run."),
                                          QStringLiteral("pw"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("No progress output."));
    parser.addOptions({mode, format, output, service, caFile, identity, password, editPassword, quiet});
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("Files or folders to convert."),
                                 QStringLiteral("PATH..."));

    if (!parser.parse(arguments)) {
        *errorText = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    CliOptions options;
    const std::optional<ConvertMode> parsedMode = modeFromText(parser.value(mode));
    if (!parsedMode) {
        *errorText = QStringLiteral("unknown mode \"%1\" (from-pdf, to-pdf or merge)").arg(parser.value(mode));
        return std::nullopt;
    }
    options.mode = *parsedMode;
    if (parser.isSet(format)) {
        const QString value = parser.value(format).toLower();
        const bool fits =
            options.mode == ConvertFromPdf ? kFromPdfFormats.contains(value) : value == QLatin1String("pdf");
        if (!fits) {
            *errorText = options.mode == ConvertFromPdf ? QStringLiteral("unknown format \"%1\" (%2)")
                                                              .arg(value, kFromPdfFormats.join(QStringLiteral(", ")))
                                                        : QStringLiteral("to-pdf and merge always produce pdf");
            return std::nullopt;
        }
        options.format = value;
    }
    options.outputFolder = parser.value(output);
    options.serviceUrl = parser.value(service);
    options.caFile = parser.value(caFile);
    options.identityToken = parser.value(identity);
    if (parser.isSet(password))
        options.password = parser.value(password);
    if (parser.isSet(editPassword))
        options.editPassword = parser.value(editPassword);
    options.quiet = parser.isSet(quiet);
    options.paths = parser.positionalArguments();
    if (options.paths.isEmpty()) {
        *errorText = QStringLiteral("no PATH given");
        return std::nullopt;
    }
    return options;
}

QString CliOptions::outputFileType(const CliOptions &options)
{
    return options.mode == ConvertFromPdf ? options.format : QStringLiteral("pdf");
}
