#pragma once

#include <QString>

#include <memory>

class QPDF;

// A PDF file opened for the intake: is it locked, what does it permit, can it
// be unlocked with a password, and an unencrypted copy of it. Holds the file's
// path and reopens it for every unlock attempt. Main thread only.
class PdfDocument final {
public:
    // What the security handler lets a user without owner rights do.
    struct Permissions {
        bool assembly = true; // insert, delete, rotate pages
        bool changes = true;  // change the document otherwise
        bool formFilling = true;

        bool operator==(const Permissions &) const = default;
    };

    ~PdfDocument();
    PdfDocument(const PdfDocument &) = delete;
    PdfDocument &operator=(const PdfDocument &) = delete;

    // A document for a readable PDF at path, null for anything else (a folder,
    // a file without "%PDF-" in its first 1024 bytes, a file the PDF reader
    // gives up on). A PDF that needs a password opens as a locked document.
    static std::shared_ptr<PdfDocument> openWithPath(const QString &path);
    // True when "%PDF-" occurs in the first 1024 bytes of a regular file.
    static bool looksLikePdf(const QString &path);
    // The permissions that the /P flags of a security handler of revision R grant.
    static Permissions permissionsForRevision(int revision, int flags);

    QString path() const { return mPath; }
    bool isEncrypted() const { return mEncrypted; }
    // Needs a password before its content can be read.
    bool isLocked() const { return mLocked; }
    // Unlocked with the owner (permissions) password: everything is allowed.
    bool hasOwnerRights() const { return mOwnerRights; }

    // Tries password as the user and as the owner password. True when the
    // document is unlocked afterwards, so always true once an earlier attempt
    // succeeded; the owner password still grants owner rights then.
    bool unlockWithPassword(const QString &password);

    bool allowsDocumentAssembly() const { return permissions().assembly; }
    bool allowsDocumentChanges() const { return permissions().changes; }
    bool allowsFormFieldEntry() const { return permissions().formFilling; }
    Permissions permissions() const;

    // 0 while locked or when the page tree cannot be read.
    int pageCount() const;

    // Writes the document without any encryption to path, through a temporary
    // file beside it that is renamed into place: the target is either the
    // whole new file or untouched. False while locked or when writing fails.
    bool writeToFile(const QString &path) const;

private:
    explicit PdfDocument(QString path);

    // Opens the file with password; throws what the reader throws.
    std::unique_ptr<QPDF> openedWithPassword(const std::string &password) const;
    void adopt(std::unique_ptr<QPDF> pdf, bool locked);

    QString mPath;
    std::unique_ptr<QPDF> mPdf;
    bool mEncrypted = false;
    bool mLocked = false;
    bool mOwnerRights = false;
    int mRevision = 0;
    int mFlags = 0;
};
