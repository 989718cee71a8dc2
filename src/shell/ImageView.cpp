#include "shell/ImageView.h"

#include "gfx/BlendRow.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

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
        // Kept premultiplied, the form Qt paints without converting it on
        // every paint. Writing through scanLine() leaves any copy of an earlier
        // picture as it was.
        const int w = composed_.width();
        const int h = composed_.height();
        if (picture_.width() != w || picture_.height() != h)
            picture_ = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < h; ++y)
            gfx::premultiplyRow(composed_.scanLine(y),
                                {reinterpret_cast<gfx::Color32*>(picture_.scanLine(y)),
                                 static_cast<std::size_t>(w)});
        picture_.setDevicePixelRatio(image_->density());
    }
    update();
}

void ImageView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    // A picture denser than the screen (2x on a 1.5 screen) is scaled down
    // smoothly rather than by dropping pixels.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!picture_.isNull())
        painter.drawImage(QPoint(0, 0), picture_);
}

namespace {

QPoint pictureCell(QPointF position)
{
    // On a scaled screen a device pixel lies at a fraction of a logical one;
    // it belongs to the logical pixel it starts in, not the nearest one.
    return {static_cast<int>(std::floor(position.x())), static_cast<int>(std::floor(position.y()))};
}

} // namespace

void ImageView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = pictureCell(event->position());
    emit mouseDown(event->button(), p.x(), p.y());
}

void ImageView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = pictureCell(event->position());
    emit mouseUp(event->button(), p.x(), p.y());
}

} // namespace shell
