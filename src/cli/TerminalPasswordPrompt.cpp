#include "cli/TerminalPasswordPrompt.h"

#include <QFile>
#include <QIODevice>

#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Echo must come back even when the user interrupts the prompt, so these
// signals restore the terminal before they take their default course.
constexpr int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

struct termios gSavedTermios;
volatile sig_atomic_t gEchoOffFd = -1;

void restoreEchoAndReraise(int signal)
{
    if (gEchoOffFd >= 0)
        tcsetattr(gEchoOffFd, TCSAFLUSH, &gSavedTermios);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Switches echo off on a terminal for its lifetime (the newline still shows).
class EchoOff final {
public:
    explicit EchoOff(int fd)
    {
        if (fd < 0 || tcgetattr(fd, &gSavedTermios) != 0)
            return;
        struct sigaction action = {};
        action.sa_handler = restoreEchoAndReraise;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i)
            sigaction(kRestoringSignals[i], &action, &mOldActions[i]);
        struct termios quiet = gSavedTermios;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        gEchoOffFd = fd;
        if (tcsetattr(fd, TCSAFLUSH, &quiet) == 0)
            mFd = fd;
    }
    ~EchoOff()
    {
        if (gEchoOffFd < 0)
            return;
        if (mFd >= 0)
            tcsetattr(mFd, TCSAFLUSH, &gSavedTermios);
        gEchoOffFd = -1;
        for (std::size_t i = 0; i < std::size(kRestoringSignals); ++i)
            sigaction(kRestoringSignals[i], &mOldActions[i], nullptr);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    int mFd = -1;
    struct sigaction mOldActions[std::size(kRestoringSignals)] = {};
};

} // namespace

TerminalPasswordPrompt::TerminalPasswordPrompt(std::optional<QString> password, std::optional<QString> editPassword)
    : mPresetPassword(std::move(password)), mPresetEditPassword(std::move(editPassword))
{
    openControllingTerminal();
}

TerminalPasswordPrompt::TerminalPasswordPrompt(QIODevice *input, QIODevice *output, std::optional<QString> password,
                                               std::optional<QString> editPassword)
    : mPresetPassword(std::move(password)), mPresetEditPassword(std::move(editPassword)), mInput(input), mOutput(output)
{
}

TerminalPasswordPrompt::~TerminalPasswordPrompt()
{
    mTerminalIn.reset();
    mTerminalOut.reset();
    if (mOwnsTerminalFd)
        ::close(mTerminalFd);
}

void TerminalPasswordPrompt::openControllingTerminal()
{
    int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    int outFd = fd;
    mOwnsTerminalFd = fd >= 0;
    if (fd < 0 && isatty(STDIN_FILENO)) {
        fd = STDIN_FILENO;
        outFd = STDERR_FILENO;
    }
    if (fd < 0)
        return;
    mTerminalFd = fd;
    // Unbuffered: a line is read byte by byte and nothing typed after it is lost.
    mTerminalIn = std::make_unique<QFile>();
    mTerminalOut = std::make_unique<QFile>();
    if (!mTerminalIn->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle) ||
        !mTerminalOut->open(outFd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        return;
    mInput = mTerminalIn.get();
    mOutput = mTerminalOut.get();
}

void TerminalPasswordPrompt::showWithFileName(const QString &fileName, const std::shared_ptr<PdfDocument> &document,
                                              bool needEditPassword)
{
    mFileName = fileName;
    mDocument = document;
    mNeedEditPassword = needEditPassword;
}

PasswordConfirmation::Outcome TerminalPasswordPrompt::confirm(const QString &lookPassword,
                                                              const QString &editPassword) const
{
    return PasswordConfirmation::confirm(mDocument.get(), lookPassword, editPassword, mNeedEditPassword);
}

void TerminalPasswordPrompt::runModal()
{
    mIsCanceled = true;
    if (!mDocument)
        return;
    std::optional<QString> lookPassword = mPresetPassword;
    std::optional<QString> editPassword = mPresetEditPassword;
    if (lookPassword || editPassword) {
        const PasswordConfirmation::Outcome outcome =
            confirm(lookPassword.value_or(QString()), editPassword.value_or(QString()));
        if (outcome.unlocked) {
            mIsCanceled = false;
            return;
        }
        say(QStringLiteral("The given password does not unlock %1.\n").arg(mFileName));
        if (outcome.lookPasswordError)
            lookPassword.reset();
        if (outcome.editPasswordError)
            editPassword.reset();
    }
    if (!mInput)
        return;
    for (;;) {
        if (!lookPassword) {
            lookPassword = ask(QStringLiteral("Password for %1: ").arg(mFileName));
            if (!lookPassword)
                return;
        }
        const PasswordConfirmation::Outcome outcome = confirm(*lookPassword, editPassword.value_or(QString()));
        if (outcome.unlocked) {
            mIsCanceled = false;
            return;
        }
        if (outcome.lookPasswordError) {
            say(QStringLiteral("Wrong password.\n"));
            lookPassword.reset();
            continue;
        }
        if (editPassword)
            say(QStringLiteral("Wrong permissions password.\n"));
        editPassword = ask(QStringLiteral("%1 forbids editing. Permissions password: ").arg(mFileName));
        if (!editPassword)
            return;
    }
}

std::optional<QString> TerminalPasswordPrompt::ask(const QString &question)
{
    say(question);
    QByteArray line;
    {
        const EchoOff echoOff(mInput == mTerminalIn.get() ? mTerminalFd : -1);
        line = mInput->readLine();
    }
    if (!line.endsWith('\n') && mInput == mTerminalIn.get())
        say(QStringLiteral("\n"));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return std::nullopt;
    return QString::fromLocal8Bit(line);
}

void TerminalPasswordPrompt::say(const QString &text)
{
    if (!mOutput)
        return;
    mOutput->write(text.toLocal8Bit());
    if (auto *file = qobject_cast<QFileDevice *>(mOutput))
        file->flush();
}
