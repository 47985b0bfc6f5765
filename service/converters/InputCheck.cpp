#include "converters/InputCheck.h"

#include "store/Secrets.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

// OOXML files are zip archives; an encrypted one is an OLE compound file.
const QByteArray kOleMagic = QByteArray::fromHex("d0cf11e0a1b11ae1");
const QStringList kOoxml = {QStringLiteral("docx"), QStringLiteral("pptx"), QStringLiteral("xlsx")};

} // namespace

QByteArray InputCheck::head(const QString &path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

QString InputCheck::checkFile(const JobInput &input)
{
    const QFileInfo info(input.path);
    if (!info.exists())
        return QStringLiteral("The uploaded file is missing");
    if (info.size() == 0)
        return QStringLiteral("The file is empty");
    return {};
}

QString InputCheck::checkOfficeDocument(const JobInput &input)
{
    const QString problem = checkFile(input);
    if (!problem.isEmpty())
        return problem;
    if (kOoxml.contains(input.extension) && head(input.path, kOleMagic.size()) == kOleMagic)
        return QStringLiteral("The document is protected by a password");
    return {};
}

QString InputCheck::preparePdf(JobContext &context, JobInput &input, int index)
{
    const QString problem = checkFile(input);
    if (!problem.isEmpty())
        return problem;
    if (!head(input.path, 1024).contains("%PDF-"))
        return QStringLiteral("The file is not a PDF document");
    QStringList passwordArgument;
    if (!input.password.isEmpty()) {
        // Through a file, never on a command line that other users can read.
        const QString passwordFile = context.folder + QStringLiteral("/tmp/password-") + QString::number(index);
        QString error;
        if (!Secrets::writePrivateFile(passwordFile, input.password.toUtf8(), &error))
            return error;
        passwordArgument << QStringLiteral("--password-file=") + passwordFile;
    }
    const ProcessRunner::Result check = context.runner->run(
        QStringLiteral("qpdf"), QStringList{QStringLiteral("--requires-password")} << passwordArgument << input.path);
    if (!check.started || check.timedOut || check.cancelled)
        return context.runner->describe(QStringLiteral("qpdf"), check);
    if (check.exitCode == 0) {
        return input.password.isEmpty() ? QStringLiteral("The PDF is protected by a password")
                                        : QStringLiteral("The password given for the PDF is wrong");
    }
    const QString clear =
        context.folder + QStringLiteral("/in/clear-") + QString::number(index) + QStringLiteral(".pdf");
    const ProcessRunner::Result decrypt = context.runner->run(
        QStringLiteral("qpdf"), QStringList{QStringLiteral("--decrypt")} << passwordArgument << input.path << clear);
    // Exit code 3 means qpdf repaired something and wrote the file anyway.
    if (!decrypt.succeeded(3) || !QFileInfo::exists(clear)) {
        if (!decrypt.started || decrypt.timedOut || decrypt.cancelled)
            return context.runner->describe(QStringLiteral("qpdf"), decrypt);
        const QString reason = decrypt.output.section(QLatin1Char('\n'), -1).section(QStringLiteral(": "), -1);
        return QStringLiteral("The PDF is damaged and cannot be read") +
               (reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QLatin1Char(')'));
    }
    input.path = clear;
    return {};
}
