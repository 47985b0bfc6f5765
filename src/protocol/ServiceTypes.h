#pragma once

#include <QLatin1String>
#include <QStringList>

// The service types of the conversion service, as both the client that asks
// for them and the service that performs them spell them on the wire.
class ServiceTypes final {
public:
    ServiceTypes() = delete;

    static constexpr QLatin1String kWordToPdf{"word-to-pdf"};
    static constexpr QLatin1String kPptToPdf{"ppt-to-pdf"};
    static constexpr QLatin1String kExcelToPdf{"excel-to-pdf"};
    static constexpr QLatin1String kImageToPdf{"image-to-pdf"};
    static constexpr QLatin1String kPdfToWord{"pdf-to-word"};
    static constexpr QLatin1String kPdfToPpt{"pdf-to-ppt"};
    static constexpr QLatin1String kPdfToExcel{"pdf-to-excel"};
    static constexpr QLatin1String kPdfToHtml{"pdf-to-html"};
    static constexpr QLatin1String kPdfToImage{"pdf-to-image"};
    static constexpr QLatin1String kPdfToText{"pdf-to-text"};
    static constexpr QLatin1String kMergePdf{"merge-pdf"};

    static QStringList all();
};
