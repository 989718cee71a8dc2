#include "shell/ImageView.h"

#include <QMouseEvent>
#include <QPainter>

namespace shell {

ImageView::ImageView(QWidget* parent)
    : QWidget(parent)
{
}

ImageView::~ImageView()
{
    if (image_ != nullptr)
        image_->setOnChange(nullptr);
}

void ImageView::setImage(gfx::TImage32* image)
{
    if (image_ != nullptr)
        image_->setOnChange(nullptr);
    image_ = image;
    if (image_ != nullptr)
        image_->setOnChange([this] { recompose(); });
    recompose();
}

void ImageView::recompose()
{
    if (image_ == nullptr) {
        picture_ = QImage();
    } else {
        image_->compose(composed_);
        // 0xAARRGGBB words are exactly Format_ARGB32; copy so that the
        // picture stays valid while composed_ is reused.
        picture_ = QImage(reinterpret_cast<const uchar*>(composed_.bits().data()),
                          composed_.width(), composed_.height(),
                          static_cast<qsizetype>(composed_.width()) * 4, QImage::Format_ARGB32)
                       .copy();
    }
    update();
}

void ImageView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    if (!picture_.isNull())
        painter.drawImage(QPoint(0, 0), picture_);
}

void ImageView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit mouseDown(event->button(), p.x(), p.y());
}

void ImageView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit mouseUp(event->button(), p.x(), p.y());
}

} // namespace shell
