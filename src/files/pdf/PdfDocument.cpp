#include "files/pdf/PdfDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <qpdf/Pl_Function.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr qint64 kSniffLength = 1024;

bool isFlagSet(int flags, int bit)
{
    return (flags & (1 << (bit - 1))) != 0;
}

// Revision 6 takes UTF-8 passwords; older revisions take bytes, which other
// writers fill with PDFDocEncoding or Latin-1. Each encoding gets one try.
std::vector<std::string> passwordCandidates(const QString &password)
{
    std::vector<std::string> candidates{password.toStdString()};
    const auto addCandidate = [&candidates](const std::string &candidate) {
        if (std::find(candidates.cbegin(), candidates.cend(), candidate) == candidates.cend())
            candidates.push_back(candidate);
    };
    std::string pdfDoc;
    if (QUtil::utf8_to_pdf_doc(candidates.front(), pdfDoc, '?'))
        addCandidate(pdfDoc);
    const bool latin1 = std::all_of(password.cbegin(), password.cend(), [](QChar c) { return c.unicode() <= 0xff; });
    if (latin1)
        addCandidate(password.toLatin1().toStdString());
    return candidates;
}

std::unique_ptr<QPDF> newReader()
{
    auto pdf = std::make_unique<QPDF>();
    // Damaged files produce warnings by the dozen; the intake has no use for them.
    pdf->setSuppressWarnings(true);
    return pdf;
}

} // namespace

PdfDocument::PdfDocument(QString path) : mPath(std::move(path))
{
}

PdfDocument::~PdfDocument() = default;

bool PdfDocument::looksLikePdf(const QString &path)
{
    // Only regular files: opening a FIFO would block the intake.
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(kSniffLength).contains("%PDF-");
}

std::shared_ptr<PdfDocument> PdfDocument::openWithPath(const QString &path)
{
    // The reader would scan a whole non-PDF file for objects while repairing it.
    if (!looksLikePdf(path))
        return nullptr;
    std::shared_ptr<PdfDocument> document(new PdfDocument(path));
    auto pdf = newReader();
    try {
        pdf->processFile(QFile::encodeName(path).constData(), "");
        document->adopt(std::move(pdf), false);
    } catch (const QPDFExc &error) {
        if (error.getErrorCode() != qpdf_e_password)
            return nullptr;
        // The reader has read the security handler before refusing the password.
        document->adopt(std::move(pdf), true);
    } catch (const std::exception &) {
        return nullptr;
    }
    return document;
}

std::unique_ptr<QPDF> PdfDocument::openedWithPassword(const std::string &password) const
{
    auto pdf = newReader();
    pdf->processFile(QFile::encodeName(mPath).constData(), password.c_str());
    return pdf;
}

void PdfDocument::adopt(std::unique_ptr<QPDF> pdf, bool locked)
{
    mPdf = std::move(pdf);
    mLocked = locked;
    int revision = 0;
    int flags = 0;
    try {
        mEncrypted = mPdf->isEncrypted(revision, flags);
    } catch (const std::exception &) {
        // An unreadable security handler on a locked file permits nothing.
        mEncrypted = locked;
    }
    mRevision = revision;
    mFlags = flags;
    mOwnerRights = !locked && mEncrypted && mPdf->ownerPasswordMatched();
}

bool PdfDocument::unlockWithPassword(const QString &password)
{
    if (!mLocked && (!mEncrypted || mOwnerRights))
        return true;
    for (const std::string &candidate : passwordCandidates(password)) {
        std::unique_ptr<QPDF> pdf;
        try {
            pdf = openedWithPassword(candidate);
        } catch (const std::exception &) {
            continue; // a wrong password, or the file changed since it was opened
        }
        if (mLocked || pdf->ownerPasswordMatched())
            adopt(std::move(pdf), false);
        return true;
    }
    return !mLocked;
}

PdfDocument::Permissions PdfDocument::permissionsForRevision(int revision, int flags)
{
    // Revision 2 has no separate assembly and form-filling bits.
    Permissions permissions;
    permissions.changes = isFlagSet(flags, 4);
    permissions.assembly = revision < 3 ? isFlagSet(flags, 4) : isFlagSet(flags, 11);
    permissions.formFilling = revision < 3 ? isFlagSet(flags, 6) : isFlagSet(flags, 9);
    return permissions;
}

PdfDocument::Permissions PdfDocument::permissions() const
{
    if (!mEncrypted || mOwnerRights)
        return {};
    if (mLocked)
        return permissionsForRevision(mRevision, mFlags);
    // The reader answers from /P alone, whoever opened the document.
    return {mPdf->allowModifyAssembly(), mPdf->allowModifyOther(), mPdf->allowModifyForm()};
}

int PdfDocument::pageCount() const
{
    if (mLocked)
        return 0;
    try {
        return int(mPdf->getAllPages().size());
    } catch (const std::exception &) {
        return 0;
    }
}

bool PdfDocument::writeToFile(const QString &path) const
{
    if (mLocked)
        return false;
    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly))
        return false;
    try {
        Pl_Function sink("unlocked copy", nullptr, [&output](unsigned char const *data, size_t length) {
            if (output.write(reinterpret_cast<const char *>(data), qint64(length)) != qint64(length))
                throw std::runtime_error("cannot write the unlocked copy");
        });
        QPDFWriter writer(*mPdf);
        writer.setOutputPipeline(&sink);
        writer.setPreserveEncryption(false);
        writer.write();
    } catch (const std::exception &) {
        output.cancelWriting();
        return false;
    }
    return output.commit();
}
