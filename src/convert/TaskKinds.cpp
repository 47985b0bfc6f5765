#include "TaskKinds.h"

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
        return TaskKinds::kMergePdf;
    if (isOneOf(ext, {"doc", "docx"}))
        return QStringLiteral("word-to-pdf");
    if (isOneOf(ext, {"ppt", "pptx"}))
        return QStringLiteral("ppt-to-pdf");
    if (isOneOf(ext, {"xlsx", "xls"}))
        return QStringLiteral("excel-to-pdf");
    if (isOneOf(ext, {"jpg", "png", "bmp"}))
        return QStringLiteral("image-to-pdf");
    return {};
}

QString fromPdfServiceType(const QString &out)
{
    if (isOneOf(out, {"docx", "doc"}))
        return QStringLiteral("pdf-to-word");
    if (isOneOf(out, {"pptx", "ppt"}))
        return QStringLiteral("pdf-to-ppt");
    if (isOneOf(out, {"xlsx", "xls"}))
        return QStringLiteral("pdf-to-excel");
    if (out == QLatin1String("html"))
        return QStringLiteral("pdf-to-html");
    if (isOneOf(out, {"jpg", "png"}))
        return QStringLiteral("pdf-to-image");
    if (out == QLatin1String("txt"))
        return QStringLiteral("pdf-to-text");
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
    if (serviceTypeName == QLatin1String("pdf-to-ppt"))
        return {{QStringLiteral("ransition_type"), QStringLiteral("random")},
                {QStringLiteral("transition_speed"), QStringLiteral("fast")}};
    if (serviceTypeName == QLatin1String("pdf-to-image"))
        return {{QStringLiteral("format"), out == QLatin1String("png") ? QStringLiteral("png") : QStringLiteral("jpg")},
                {QStringLiteral("quality"), 100},
                {QStringLiteral("resize"), QStringLiteral("A4")}};
    if (serviceTypeName == QLatin1String("pdf-to-text"))
        return {{QStringLiteral("layout"), 1}};
    if (serviceTypeName == QLatin1String("image-to-pdf"))
        return {{QStringLiteral("position"), QStringLiteral("center")},
                {QStringLiteral("background-color"), QStringLiteral("white")},
                {QStringLiteral("border-color"), QString(QLatin1String(""))},
                {QStringLiteral("border"), QStringLiteral("0")}};
    if (serviceTypeName == QLatin1String("pdf-to-word"))
        return {{QStringLiteral("format"), out == QLatin1String("doc") ? QStringLiteral("doc") : QStringLiteral("docx")}};
    if (serviceTypeName == QLatin1String("pdf-to-excel"))
        return {{QStringLiteral("format"), out == QLatin1String("xls") ? QStringLiteral("xls") : QStringLiteral("xlsx")}};
    return {};
}
