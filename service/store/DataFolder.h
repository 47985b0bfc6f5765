#pragma once

#include <QString>

// Where the service keeps everything: records, keys, uploads, results, job
// folders and the ready file. All of it is private to the user.
class DataFolder final {
public:
    explicit DataFolder(const QString &root);
    static QString defaultRoot();

    // Creates the folders (mode 0700).
    bool prepare(QString *error) const;

    QString root() const { return mRoot; }
    QString database() const;
    QString tlsFolder() const;
    QString objectsFolder() const;
    QString resultsFolder() const;
    QString jobsFolder() const;
    QString profilesFolder() const;
    QString identityTokensFile() const;
    QString readyFile() const;
    QString lockFile() const;

private:
    QString mRoot;
};
