#pragma once

#include <QString>

// Where the service keeps everything: records, keys, uploads, results, job
// folders and the ready file. All of it is private to the user. Several nodes
// may share one folder: each then has a folder of its own under nodes/ for
// what only it uses (its lock, job folders, LibreOffice profiles, ready
// file), while keys, uploads and results are common.
class DataFolder final {
public:
    // `nodeId` empty: one service owns the whole folder.
    explicit DataFolder(const QString &root, const QString &nodeId = {});
    static QString defaultRoot();

    // Creates the folders (mode 0700).
    bool prepare(QString *error) const;

    QString root() const { return mRoot; }
    // The root, or this node's folder under nodes/.
    QString nodeRoot() const;
    QString database() const;
    QString tlsFolder() const;
    QString objectsFolder() const;
    QString resultsFolder() const;
    QString jobsFolder() const;
    QString profilesFolder() const;
    QString identityTokensFile() const;
    QString readyFile() const;
    QString lockFile() const;
    // Held while the shared keys and certificates are made or renewed.
    QString setupLockFile() const;

private:
    QString mRoot;
    QString mNodeId;
};
