#pragma once

#include <QString>

#include <functional>
#include <memory>

class PdfDocument;
class QObject;

// Asks the user for the passwords of one locked PDF during the intake and
// unlocks the given document in place (through PasswordConfirmation, so every
// front end follows the same rules). One prompt per locked file.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;

    // Prepares the prompt for one file: its name as shown to the user, the
    // document to unlock and whether the permissions password is asked too.
    virtual void showWithFileName(const QString &fileName, const std::shared_ptr<PdfDocument> &document,
                                  bool needEditPassword) = 0;
    // Returns when the prompt has closed.
    virtual void runModal() = 0;
    // After runModal(): false exactly when the document was unlocked.
    virtual bool isCanceled() const = 0;
};

// Makes the prompt for one locked file; parentWindow is the store's main
// window (null in a front end without one). May return null: the file is then
// skipped as if the prompt had been cancelled.
using PasswordPromptFactory = std::function<std::unique_ptr<PasswordPrompt>(QObject *parentWindow)>;
