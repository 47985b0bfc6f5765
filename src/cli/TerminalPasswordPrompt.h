#pragma once

#include "files/PasswordConfirmation.h"
#include "files/PasswordPrompt.h"

#include <QString>

#include <memory>
#include <optional>

class QFile;
class QIODevice;

// The password prompt of the command line. Preset passwords are tried first,
// without asking; then it asks on the terminal, without echo, naming the file:
// for the open password and, when the document forbids editing, for the
// permissions password. A wrong password asks again; an empty line or the end
// of input gives up (canceled). No terminal and no working preset: canceled.
class TerminalPasswordPrompt final : public PasswordPrompt {
public:
    // Asks on /dev/tty, or on stdin/stderr when stdin is a terminal.
    explicit TerminalPasswordPrompt(std::optional<QString> password = std::nullopt,
                                    std::optional<QString> editPassword = std::nullopt);
    // Asks on the given devices; a null input stands for "no terminal".
    TerminalPasswordPrompt(QIODevice *input, QIODevice *output, std::optional<QString> password = std::nullopt,
                           std::optional<QString> editPassword = std::nullopt);
    ~TerminalPasswordPrompt() override;
    TerminalPasswordPrompt(const TerminalPasswordPrompt &) = delete;
    TerminalPasswordPrompt &operator=(const TerminalPasswordPrompt &) = delete;

    void showWithFileName(const QString &fileName, const std::shared_ptr<PdfDocument> &document,
                          bool needEditPassword) override;
    void runModal() override;
    bool isCanceled() const override { return mIsCanceled; }

private:
    void openControllingTerminal();
    PasswordConfirmation::Outcome confirm(const QString &lookPassword, const QString &editPassword) const;
    // The answer to question; nothing for an empty line or the end of input.
    std::optional<QString> ask(const QString &question);
    void say(const QString &text);

    std::optional<QString> mPresetPassword;
    std::optional<QString> mPresetEditPassword;
    QIODevice *mInput = nullptr;
    QIODevice *mOutput = nullptr;
    // The controlling terminal when no devices were given.
    int mTerminalFd = -1;
    bool mOwnsTerminalFd = false;
    std::unique_ptr<QFile> mTerminalIn;
    std::unique_ptr<QFile> mTerminalOut;

    QString mFileName;
    std::shared_ptr<PdfDocument> mDocument;
    bool mNeedEditPassword = false;
    bool mIsCanceled = true;
};
