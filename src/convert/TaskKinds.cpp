#include "convert/TaskKinds.h"

#include "protocol/ServiceTypes.h"
#include "protocol/WireFields.h"

#include <QStringList>

namespace {

bool isOneOf(const QString &value, std::initializer_list<const char *> candidates)
{
    for (const char *candidate : candidates) {
        if (value == QLatin1String(candidate))
            return true;
    }
    return false;
}

QString toPdfServiceType(const QString &ext)
{
    if (ext == QLatin1String("pdf"))
        return ServiceTypes::kMergePdf;
    if (isOneOf(ext, {"doc", "docx"}))
        return ServiceTypes::kWordToPdf;
    if (isOneOf(ext, {"ppt", "pptx"}))
        return ServiceTypes::kPptToPdf;
    if (isOneOf(ext, {"xlsx", "xls"}))
        return ServiceTypes::kExcelToPdf;
    if (isOneOf(ext, {"jpg", "png", "bmp"}))
        return ServiceTypes::kImageToPdf;
    return {};
}

QString fromPdfServiceType(const QString &out)
{
    if (isOneOf(out, {"docx", "doc"}))
        return ServiceTypes::kPdfToWord;
    if (isOneOf(out, {"pptx", "ppt"}))
        return ServiceTypes::kPdfToPpt;
    if (isOneOf(out, {"xlsx", "xls"}))
        return ServiceTypes::kPdfToExcel;
    if (out == QLatin1String("html"))
        return ServiceTypes::kPdfToHtml;
    if (isOneOf(out, {"jpg", "png"}))
        return ServiceTypes::kPdfToImage;
    if (out == QLatin1String("txt"))
        return ServiceTypes::kPdfToText;
    return {};
}

} // namespace

QString TaskKinds::serviceTypeFor(const QString &inputExtension, const QString &outputFileType)
{
    const QString out = outputFileType.toLower();
    if (out == QLatin1String("pdf"))
        return toPdfServiceType(inputExtension.toLower());
    return fromPdfServiceType(out);
}

QVariantMap TaskKinds::argumentsFor(const QString &serviceTypeName, const QString &outputFileType)
{
    const QString out = outputFileType.toLower();
    // The bundled service reads only the names in WireFields; the rest are for a configured service.
    if (serviceTypeName == ServiceTypes::kPdfToPpt)
        return {{QStringLiteral("ransition_type"), QStringLiteral("random")},
                {QStringLiteral("transition_speed"), QStringLiteral("fast")}};
    if (serviceTypeName == ServiceTypes::kPdfToImage)
        return {{WireFields::kFormat, out == QLatin1String("png") ? QStringLiteral("png") : QStringLiteral("jpg")},
                {WireFields::kQuality, 100},
                {WireFields::kResize, QStringLiteral("A4")}};
    if (serviceTypeName == ServiceTypes::kPdfToText)
        return {{WireFields::kLayout, 1}};
    if (serviceTypeName == ServiceTypes::kImageToPdf)
        return {{QStringLiteral("position"), QStringLiteral("center")},
                {QStringLiteral("background-color"), QStringLiteral("white")},
                {QStringLiteral("border-color"), QString(QLatin1String(""))},
                {WireFields::kBorder, QStringLiteral("0")}};
    if (serviceTypeName == ServiceTypes::kPdfToWord)
        return {{WireFields::kFormat, out == QLatin1String("doc") ? QStringLiteral("doc") : QStringLiteral("docx")}};
    if (serviceTypeName == ServiceTypes::kPdfToExcel)
        return {{WireFields::kFormat, out == QLatin1String("xls") ? QStringLiteral("xls") : QStringLiteral("xlsx")}};
    return {};
}
