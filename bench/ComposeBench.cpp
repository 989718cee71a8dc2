// The cost of composing the staff picture, as the run timer's repaint sees
// it: a 313 × 300 background, a thousand hidden layers (questions drawn ahead
// and their pointer marks) and twenty visible sprites; with no layers at all
// it is the background copy alone.

#include "gfx/Image32.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

gfx::TBitmap32 sprite(int w, int h)
{
    gfx::TBitmap32 b(w, h);
    // A round head: opaque inside, soft edge, transparent outside.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int dx = 2 * x - w;
            const int dy = 2 * y - h;
            const int d = dx * dx + dy * dy;
            const int r = w * w;
            const unsigned a = d < r / 2 ? 255u : d < r ? 128u : 0u;
            b.setPixel(x, y, gfx::color32(0, 0, 0, a));
        }
    b.setDrawMode(gfx::DrawMode::Blend);
    return b;
}

void fillStaff(gfx::TImage32& image, int hidden, int visible)
{
    image.bitmap().assign(gfx::TBitmap32(313, 300, gfx::color32(255, 255, 255)));
    const gfx::TBitmap32 head = sprite(14, 41);
    gfx::UpdateBracket bracket(image);
    for (int i = 0; i < hidden + visible; ++i) {
        gfx::TBitmapLayer& layer = image.addLayer();
        layer.setBitmap(head);
        const float left = 30.0f + static_cast<float>((i * 13) % 260);
        const float top = 20.0f + static_cast<float>((i * 7) % 200);
        layer.setLocation({left, top, left + 14, top + 41});
        layer.setVisible(i >= hidden);
    }
}

void BM_ComposeStaff(benchmark::State& state)
{
    gfx::TImage32 image;
    fillStaff(image, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    gfx::TBitmap32 out;
    for (auto _ : state) {
        image.compose(out);
        benchmark::DoNotOptimize(out.bits().data());
    }
}
BENCHMARK(BM_ComposeStaff)
    ->Args({1000, 20})
    ->Args({0, 20})
    ->Args({0, 0})
    ->Unit(benchmark::kMicrosecond);

// One tick's worth of layer work: move every visible layer 5 px left inside
// one bracket, then compose once.
void BM_MoveAndCompose(benchmark::State& state)
{
    gfx::TImage32 image;
    fillStaff(image, 1000, 20);
    gfx::TBitmap32 out;
    image.setOnChange([&] { image.compose(out); });
    float dx = -5;
    for (auto _ : state) {
        gfx::UpdateBracket bracket(image);
        for (int i = 1000; i < 1020; ++i) {
            gfx::TBitmapLayer& layer = image.layer(i);
            gfx::FloatRect r = layer.location();
            r.left += dx;
            r.right += dx;
            layer.setLocation(r);
        }
        dx = -dx;
    }
}
BENCHMARK(BM_MoveAndCompose)->Unit(benchmark::kMicrosecond);

// The same picture drawn by Qt: the background and every visible layer's
// bitmap (converted once, as a widget would cache it) painted source-over
// at the layer's position onto a premultiplied image of the same size.
QImage toQImage(const gfx::TBitmap32& b)
{
    QImage image(b.width(), b.height(), QImage::Format_ARGB32);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            image.setPixel(x, y, b.pixel(x, y));
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void BM_ComposeStaffQPainter(benchmark::State& state)
{
    gfx::TImage32 image;
    fillStaff(image, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const QImage background = toQImage(image.bitmap());
    struct Drawn {
        QImage bitmap;
        QPointF at;
        bool visible;
    };
    std::vector<Drawn> layers;
    for (int i = 0; i < image.layerCount(); ++i) {
        const gfx::TBitmapLayer& layer = image.layer(i);
        layers.push_back({toQImage(layer.bitmap()),
                          QPointF(layer.location().left, layer.location().top), layer.visible()});
    }
    QImage out(background.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&out);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, background);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        for (const Drawn& layer : layers)
            if (layer.visible)
                painter.drawImage(layer.at, layer.bitmap);
        painter.end();
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_ComposeStaffQPainter)
    ->Args({1000, 20})
    ->Args({0, 20})
    ->Args({0, 0})
    ->Unit(benchmark::kMicrosecond);

} // namespace
