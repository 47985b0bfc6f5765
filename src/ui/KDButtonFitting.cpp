#include "ui/KDButtonFitting.h"

#include "frameworks/widgets/KDHoverButton.h"

#include <QLabel>

namespace {

const QColor kFace(215, 215, 215);
const QColor kPressed(200, 200, 200);
const QColor kBorder(180, 180, 180);

} // namespace

QSize KDButtonFitting::titleSize(const KDHoverButton *button)
{
    const QFontMetrics metrics(button->textFiled()->font());
    return {metrics.horizontalAdvance(button->title()), metrics.height()};
}

int KDButtonFitting::topFromBottom(int parentHeight, int bottom, int height)
{
    return parentHeight - bottom - height;
}

void KDButtonFitting::fitTextButton(KDHoverButton *button)
{
    button->setLaysOutParts(false);
    const QSize title = titleSize(button);
    button->resize(title.width() + 2 * kTextPadding, button->height());
    button->textFiled()->setGeometry(0, (button->height() - title.height()) / 2, button->width(), title.height());
}

int KDButtonFitting::fitImageButton(KDHoverButton *button)
{
    button->setLaysOutParts(false);
    const QSize title = titleSize(button);
    const QSize image = button->imageSize();
    const int titleX = kImageLeft + image.width() + kImageToTitle;
    const int width = titleX + title.width() + kTitleRight;
    button->resize(width, button->height());
    button->imageView()->setGeometry(kImageLeft, (button->height() - image.height()) / 2, image.width(),
                                     image.height());
    button->textFiled()->setGeometry(titleX, (button->height() - title.height()) / 2, title.width(), title.height());
    return width;
}

void KDButtonFitting::applyFaceLook(KDHoverButton *button)
{
    button->setTitleColor(Qt::black);
    button->setHasBorder(true);
    button->setBorderColor(kBorder);
    button->setNormalBgColor(kFace);
    button->setHoverBgColor(kFace);
    button->setPressedBgColor(kPressed);
}
