#include "protocol/ServiceTypes.h"

QStringList ServiceTypes::all()
{
    return {kWordToPdf,  kPptToPdf,  kExcelToPdf, kImageToPdf, kPdfToWord, kPdfToPpt,
            kPdfToExcel, kPdfToHtml, kPdfToImage, kPdfToText,  kMergePdf};
}
