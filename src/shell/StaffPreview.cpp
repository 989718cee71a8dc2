#include "shell/StaffPreview.h"

#include "shell/QtBitmap.h"

#include <QPainter>
#include <QPainterPath>

namespace shell {

namespace {

constexpr int StaffWidth = 313;
constexpr int StaffHeight = 300;
constexpr int SpriteCount = 59;

void drawStaffLines(QPainter& p, int topLine)
{
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(6, topLine + 10 * i + 0.5),
                   QPointF(StaffWidth - 6, topLine + 10 * i + 0.5));
}

} // namespace

gfx::TBitmap32 drawPreviewStaff()
{
    QImage img(StaffWidth, StaffHeight, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 1));
    drawStaffLines(p, 80);
    drawStaffLines(p, 180);
    // System bar and brace-side bar joining both staves.
    p.drawLine(QPointF(6.5, 80), QPointF(6.5, 220));
    p.drawLine(QPointF(StaffWidth - 6.5, 80), QPointF(StaffWidth - 6.5, 220));
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setPixelSize(11);
    p.setFont(font);
    p.drawText(QRectF(12, 60, 60, 14), Qt::AlignLeft, QStringLiteral("treble"));
    p.drawText(QRectF(12, 160, 60, 14), Qt::AlignLeft, QStringLiteral("bass"));
    p.end();
    return toBitmap32(img);
}

gfx::TBitmap32 drawPreviewNote()
{
    QImage img(14, 41, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.translate(6.0, 35.5);
    p.rotate(-20);
    p.drawEllipse(QPointF(0, 0), 5.8, 4.2);
    p.resetTransform();
    p.setPen(QPen(Qt::black, 1.2));
    p.drawLine(QPointF(11.2, 34), QPointF(11.2, 1));
    p.end();
    gfx::TBitmap32 bitmap = toBitmap32(img);
    bitmap.setDrawMode(gfx::DrawMode::Blend);
    return bitmap;
}

gfx::TBitmap32List makePreviewSprites()
{
    gfx::TBitmap32List sprites;
    for (int i = 0; i < SpriteCount; ++i)
        sprites.add();
    sprites.bitmap(24).assign(drawPreviewNote());
    const gfx::TBitmap32 staff = drawPreviewStaff();
    sprites.bitmap(42).assign(staff);
    sprites.bitmap(43).assign(staff);
    return sprites;
}

} // namespace shell
