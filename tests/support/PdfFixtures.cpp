#include "support/PdfFixtures.h"

#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <string>

namespace {

PdfFixtures::Recipe restricted(PdfFixtures::Crypto crypto, const QString &user, const QString &owner)
{
    PdfFixtures::Recipe recipe;
    recipe.crypto = crypto;
    recipe.userPassword = user;
    recipe.ownerPassword = owner;
    recipe.allowAssembly = recipe.allowChanges = recipe.allowFormFilling = false;
    return recipe;
}

void addTextPage(QPDF &pdf, QPDFObjectHandle font, int number)
{
    QPDFObjectHandle page = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] /Resources << /Font << >> >> >>"));
    page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
    const std::string text = "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(number) + ") Tj ET";
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, text));
    QPDFPageDocumentHelper(pdf).addPage(page, false);
}

} // namespace

PdfFixtures::Recipe PdfFixtures::plain()
{
    return {};
}

PdfFixtures::Recipe PdfFixtures::aes256AllForbidden()
{
    return restricted(Crypto::Aes256, kUserPassword, kOwnerPassword);
}

PdfFixtures::Recipe PdfFixtures::aes256NothingForbidden()
{
    Recipe recipe = aes256AllForbidden();
    recipe.allowAssembly = recipe.allowChanges = recipe.allowFormFilling = true;
    return recipe;
}

PdfFixtures::Recipe PdfFixtures::userPasswordOnly()
{
    return restricted(Crypto::Aes256, kUserPassword, kUserPassword);
}

PdfFixtures::Recipe PdfFixtures::ownerPasswordOnly()
{
    return restricted(Crypto::Aes256, QString(), kOwnerPassword);
}

PdfFixtures::Recipe PdfFixtures::rc4AllForbidden()
{
    return restricted(Crypto::Rc4R3, kRc4UserPassword, kOwnerPassword);
}

PdfFixtures::Recipe PdfFixtures::formFillingForbidden()
{
    Recipe recipe = aes256NothingForbidden();
    recipe.allowFormFilling = false;
    return recipe;
}

bool PdfFixtures::write(const QString &path, const Recipe &recipe)
{
    try {
        QPDF pdf;
        pdf.emptyPDF();
        const QPDFObjectHandle font =
            pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
        for (int number = 1; number <= recipe.pageCount; ++number)
            addTextPage(pdf, font, number);
        // QPDFWriter keeps the name's pointer and reads it again in write(),
        // so the bytes must outlive the writer.
        const QByteArray fileName = QFile::encodeName(path);
        QPDFWriter writer(pdf, fileName.constData());
        if (recipe.crypto == Crypto::Aes256) {
            writer.setR6EncryptionParameters(recipe.userPassword.toUtf8().constData(),
                                             recipe.ownerPassword.toUtf8().constData(), true, true,
                                             recipe.allowAssembly, recipe.allowChanges, recipe.allowFormFilling,
                                             recipe.allowChanges, qpdf_r3p_full, true);
        } else if (recipe.crypto == Crypto::Rc4R3) {
            writer.setR3EncryptionParametersInsecure(
                recipe.userPassword.toLatin1().constData(), recipe.ownerPassword.toLatin1().constData(), true, true,
                recipe.allowAssembly, recipe.allowChanges, recipe.allowFormFilling, recipe.allowChanges, qpdf_r3p_full);
        }
        writer.write();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}
