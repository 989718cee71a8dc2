#pragma once

#include "gfx/Image32.h"

#include <QImage>
#include <QWidget>

namespace shell {

// Shows a TImage32 top-left aligned, one logical pixel per picture pixel: an
// image of density 2 or 3 fills the same place with more device pixels. The
// picture is composed only when the image announces a change; painting just
// draws the last composition. Mouse presses and releases are reported in
// logical picture pixels.
class ImageView : public QWidget {
    Q_OBJECT

public:
    explicit ImageView(QWidget* parent = nullptr);
    ~ImageView() override;

    // Binds the view to `image` (not owned; it must outlive the binding) and
    // composes it once. Takes the image's change handler.
    void setImage(gfx::TImage32* image);
    gfx::TImage32* image() const { return image_; }

    // The last composition, as painted (its device pixel ratio is the
    // image's density).
    const QImage& picture() const { return picture_; }

signals:
    void mouseDown(Qt::MouseButton button, int x, int y);
    void mouseUp(Qt::MouseButton button, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void recompose();

    gfx::TImage32* image_ = nullptr;
    gfx::TBitmap32 composed_;
    QImage picture_;
};

} // namespace shell
