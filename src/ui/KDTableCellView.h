#pragma once

#include <QPixmap>
#include <QWidget>

#include <memory>

class QLabel;

namespace Ui {
class KDTableCellView;
}

// The cell of one file-list row: the file type's icon, the file's name, path
// and size, and its convert status icon. The list draws every row with one
// cell, so filling it must replace all displayed values.
class KDTableCellView final : public QWidget {
    Q_OBJECT
public:
    explicit KDTableCellView(QWidget *parent = nullptr);
    ~KDTableCellView() override;

    // A new cell built from its form.
    static std::unique_ptr<KDTableCellView> loadFromNib();

    quint64 fileType() const { return _fileType; }
    // For 0, 1 or 2 the cell's own image shows "file_pdf"; other numbers
    // change no image. The list rows show their type in fileTypeIcon instead.
    void setFileType(quint64 fileType);

    // The cell's own image view; the form makes it the type icon.
    QLabel *imageView() const;
    QLabel *fileTypeIcon() const;
    QLabel *fileTitleLabel() const;
    QLabel *filePathLabel() const;
    QLabel *sizePageLabel() const;
    QLabel *convertStatusIcon() const;

    // Puts the named image into an image view at the view's size.
    static void setImageNamed(QLabel *imageView, const QString &name);
    // The named image of the application's icons, drawn once per size.
    static QPixmap imageNamed(const QString &name, const QSize &size, qreal devicePixelRatio);
    // Shows text in a label, cut to the label's width.
    static void setElidedText(QLabel *label, const QString &text, Qt::TextElideMode mode);
    // The line under the file's name: its path, or in red why it failed.
    void setDetailLine(const QString &text, bool isFailure);
    bool detailLineShowsFailure() const { return mDetailIsFailure; }

private:
    quint64 _fileType = 0;
    bool mDetailIsFailure = false;
    std::unique_ptr<Ui::KDTableCellView> ui;
};
