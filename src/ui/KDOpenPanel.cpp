#include "ui/KDOpenPanel.h"

#include "frameworks/widgets/KDWindow.h"
#include "settings/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>

namespace {

QString nameFilterFor(const QStringList &extensions)
{
    QStringList patterns;
    for (const QString &extension : extensions)
        patterns.append(QStringLiteral("*.") + extension);
    return patterns.join(QLatin1Char(' '));
}

} // namespace

KDOpenPanel::KDOpenPanel(const Options &options, QWidget *parent) : QFileDialog(parent)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    if (!options.canChooseFiles) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
    } else {
        setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        mChoosesFilesAndFolders = options.canChooseDirectories;
    }
    if (options.canChooseFiles && !options.allowedFileTypes.isEmpty())
        setNameFilter(nameFilterFor(options.allowedFileTypes));
    mRemembersFolder = options.directory.isEmpty();
    if (!options.directory.isEmpty())
        setDirectory(options.directory);
    else if (const QString last = lastFolder(); !last.isEmpty())
        setDirectory(last);
    watchTyping();
}

QString KDOpenPanel::lastFolder()
{
    const QString folder = objectFromUserDefaults(kLastFolderKey, QString()).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

// The dialog writes a selected item's name into the field itself; only
// what the user typed there counts as typed.
void KDOpenPanel::watchTyping()
{
    if (auto *field = findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        connect(field, &QLineEdit::textEdited, this, [this](const QString &text) { mTypedName = text; });
}

QString KDOpenPanel::typedFolder() const
{
    const auto *field = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!field || field->text() != mTypedName)
        return {};
    QString typed = field->text().trimmed();
    if (typed.isEmpty() || typed.startsWith(QLatin1Char('"')))
        return {}; // nothing, or a list of quoted names
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed.replace(0, 1, QDir::homePath());
    const QString path = QDir(directory().absolutePath()).absoluteFilePath(typed);
    return QFileInfo(path).isDir() ? QDir::cleanPath(path) : QString();
}

KDOpenPanel::Presenter &KDOpenPanel::presenter()
{
    static Presenter replacement;
    return replacement;
}

void KDOpenPanel::setPresenter(Presenter replacement)
{
    presenter() = std::move(replacement);
}

void KDOpenPanel::beginSheetModalForWindow(QWidget *window, const Options &options, Completion completion)
{
    if (presenter()) {
        presenter()(window, options, completion);
        return;
    }
    auto *panel = new KDOpenPanel(options, window);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowModality(Qt::WindowModal);
    connect(panel, &QDialog::finished, panel,
            [panel, owner = QPointer<QWidget>(window), completion = std::move(completion)](int result) {
                // Without a window manager nobody gives the keyboard back to the window.
                if (owner)
                    owner->window()->activateWindow();
                const bool confirmed = result == QDialog::Accepted;
                completion(confirmed, confirmed ? panel->chosenPaths() : QStringList());
            });
    panel->placeAsSheetOf(window);
    panel->open();
}

// Centred on the window, its top on the lower edge of the window's title bar.
void KDOpenPanel::placeAsSheetOf(QWidget *window)
{
    if (!window)
        return;
    window = window->window();
    const QRect frame = window->geometry();
    const QSize size = sizeHint().expandedTo(QSize(680, 420)).boundedTo(frame.size());
    int top = frame.y();
    if (auto *kdWindow = qobject_cast<KDWindow *>(window); kdWindow && kdWindow->isTitleBarVisible())
        top += kdWindow->titleBarHeight();
    setGeometry(frame.x() + (frame.width() - size.width()) / 2, top, size.width(), size.height());
}

QStringList KDOpenPanel::chosenPaths() const
{
    return mChoosesFilesAndFolders ? mChosenPaths : selectedFiles();
}

// A plain file dialog opens a chosen folder instead of returning it. With
// folders allowed, the selection is the answer whatever it holds.
void KDOpenPanel::accept()
{
    if (!mChoosesFilesAndFolders) {
        QFileDialog::accept();
        return;
    }
    if (const QString folder = typedFolder(); !folder.isEmpty()) {
        setDirectory(folder);
        if (auto *field = findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            field->clear();
        return;
    }
    const QStringList paths = selectedFiles();
    const bool allExist =
        std::all_of(paths.begin(), paths.end(), [](const QString &path) { return QFileInfo::exists(path); });
    if (paths.isEmpty() || !allExist) {
        QFileDialog::accept();
        return;
    }
    mChosenPaths = paths;
    QDialog::accept();
}

void KDOpenPanel::done(int result)
{
    if (result == QDialog::Accepted && mRemembersFolder)
        saveObjectToUserDefaults(directory().absolutePath(), kLastFolderKey);
    QFileDialog::done(result);
}
