#include "converters/InputCheck.h"

#include "converters/OfficePackage.h"
#include "store/Secrets.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

// OOXML files are zip archives; an encrypted one is an OLE compound file.
const QByteArray kOleMagic = QByteArray::fromHex("d0cf11e0a1b11ae1");

struct OfficeKind {
    QLatin1String extension;
    QLatin1String what; // "is not <what>"
    QLatin1String mainPart;
    QLatin1String folder;
    bool legacy;         // the binary format: a compound file
    bool markupAccepted; // HTML or XML saved under the binary format's name
};

const OfficeKind kOfficeKinds[] = {
    {QLatin1String("docx"), QLatin1String("a Word document"), QLatin1String("word/document.xml"),
     QLatin1String("word/"), false, false},
    {QLatin1String("doc"), QLatin1String("a Word document"), QLatin1String("word/document.xml"), QLatin1String("word/"),
     true, true},
    {QLatin1String("pptx"), QLatin1String("a PowerPoint presentation"), QLatin1String("ppt/presentation.xml"),
     QLatin1String("ppt/"), false, false},
    {QLatin1String("ppt"), QLatin1String("a PowerPoint presentation"), QLatin1String("ppt/presentation.xml"),
     QLatin1String("ppt/"), true, false},
    {QLatin1String("xlsx"), QLatin1String("an Excel workbook"), QLatin1String("xl/workbook.xml"), QLatin1String("xl/"),
     false, false},
    {QLatin1String("xls"), QLatin1String("an Excel workbook"), QLatin1String("xl/workbook.xml"), QLatin1String("xl/"),
     true, true},
};

struct ImageKind {
    QLatin1String extension;
    QLatin1String what;
    QByteArray signature;
};

const ImageKind kImageKinds[] = {
    {QLatin1String("jpg"), QLatin1String("a JPEG image"), QByteArray::fromHex("ffd8ff")},
    {QLatin1String("jpeg"), QLatin1String("a JPEG image"), QByteArray::fromHex("ffd8ff")},
    {QLatin1String("png"), QLatin1String("a PNG image"), QByteArray::fromHex("89504e470d0a1a0a")},
    {QLatin1String("bmp"), QLatin1String("a BMP image"), QByteArray("BM")},
};

const OfficeKind *officeKind(const QString &extension)
{
    for (const OfficeKind &kind : kOfficeKinds) {
        if (extension == kind.extension)
            return &kind;
    }
    return nullptr;
}

// Markup after an optional byte order mark and white space: an HTML or XML export.
bool startsWithMarkup(const QByteArray &head)
{
    QByteArray text = head.startsWith("\xef\xbb\xbf") ? head.mid(3) : head;
    text = text.trimmed();
    return text.startsWith('<');
}

bool isLegacyOfficeFile(const OfficeKind &kind, const QByteArray &head)
{
    if (head.startsWith(kOleMagic))
        return true;
    // Word saves RTF under .doc when asked to, and users keep that name.
    if (kind.extension == QLatin1String("doc") && head.startsWith("{\\rtf"))
        return true;
    return kind.markupAccepted && startsWithMarkup(head);
}

} // namespace

QByteArray InputCheck::head(const QString &path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

QString InputCheck::displayName(const JobInput &input)
{
    const QString name = input.name.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1).trimmed();
    return name.isEmpty() ? QStringLiteral("The file") : name;
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
    const OfficeKind *kind = officeKind(input.extension);
    if (!problem.isEmpty() || !kind)
        return problem;
    const QByteArray start = head(input.path, 512);
    if (kind->legacy && isLegacyOfficeFile(*kind, start))
        return {};
    if (!kind->legacy && start.startsWith(kOleMagic))
        return QStringLiteral("The document is protected by a password");
    if (OfficePackage::hasMainPart(input.path, kind->mainPart, kind->folder))
        return {};
    return QStringLiteral("%1 is not %2").arg(displayName(input), kind->what);
}

QString InputCheck::checkImage(const JobInput &input)
{
    const QString problem = checkFile(input);
    if (!problem.isEmpty())
        return problem;
    for (const ImageKind &kind : kImageKinds) {
        if (input.extension == kind.extension && !head(input.path, kind.signature.size()).startsWith(kind.signature))
            return QStringLiteral("%1 is not %2").arg(displayName(input), kind.what);
    }
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
        const QString reason = decrypt.lastLine().section(QStringLiteral(": "), -1);
        return QStringLiteral("The PDF is damaged and cannot be read") +
               (reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QLatin1Char(')'));
    }
    input.path = clear;
    return {};
}
