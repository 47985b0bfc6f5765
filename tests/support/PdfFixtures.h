#pragma once

#include <QString>

// Small PDFs written at test time, plain or protected, with known passwords
// and permissions.
class PdfFixtures final {
public:
    enum class Crypto { None, Aes256, Rc4R3 };

    struct Recipe {
        Crypto crypto = Crypto::None;
        QString userPassword;
        QString ownerPassword;
        bool allowAssembly = true;
        bool allowChanges = true;
        bool allowFormFilling = true;
        int pageCount = 3;
    };

    static inline const QString kUserPassword = QStringLiteral("open sesame");
    static inline const QString kOwnerPassword = QStringLiteral("owner-key");
    // Written as Latin-1 bytes, as older writers of RC4 files do.
    static inline const QString kRc4UserPassword = QStringLiteral("clé");

    PdfFixtures() = delete;

    static Recipe plain();
    // AES-256, user and owner password, every modification forbidden.
    static Recipe aes256AllForbidden();
    // AES-256, user and owner password, nothing forbidden.
    static Recipe aes256NothingForbidden();
    // AES-256, the owner password equals the user password; modifications forbidden.
    static Recipe userPasswordOnly();
    // AES-256, opens without a password; modifications forbidden.
    static Recipe ownerPasswordOnly();
    // RC4-128 (revision 3), user and owner password; modifications forbidden.
    static Recipe rc4AllForbidden();
    // AES-256, user and owner password; only form filling forbidden.
    static Recipe formFillingForbidden();

    // Writes a PDF with recipe.pageCount pages of text to path; false on failure.
    static bool write(const QString &path, const Recipe &recipe);
};
