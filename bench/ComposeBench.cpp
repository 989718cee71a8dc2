// The cost of composing the staff picture, as the run timer's repaint sees
// it: ours alone on a made-up staff (a 313 × 300 background, a thousand
// hidden layers, questions drawn ahead and their pointer marks, and twenty
// visible sprites; with no layers at all, the background copy alone), and
// ours against QPainter drawing the same layers, on that staff and on the
// real staff in the middle of a run, at 1x and at 2x.

#include "SessionSetup.h"
#include "Spread.h"
#include "gfx/Image32.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <optional>
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
// bitmap (converted once, as a widget would cache it) painted at the
// layer's position rounded to whole pixels, as ours does, onto a
// premultiplied image of the same size: blended layers source-over with
// their master alpha as the opacity, opaque ones copied.
QImage toQImage(const gfx::TBitmap32& b)
{
    QImage image(b.width(), b.height(), QImage::Format_ARGB32);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            image.setPixel(x, y, b.pixel(x, y));
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

class QtPicture {
public:
    explicit QtPicture(const gfx::TImage32& image)
        : background_(toQImage(image.bitmap())),
          out_(background_.size(), QImage::Format_ARGB32_Premultiplied)
    {
        for (int i = 0; i < image.layerCount(); ++i) {
            const gfx::TBitmapLayer& layer = image.layer(i);
            const gfx::TBitmap32& b = layer.bitmap();
            const auto density = static_cast<float>(image.density());
            layers_.push_back(
                {toQImage(b),
                 QPoint(static_cast<int>(std::floor(layer.location().left * density + 0.5f)),
                        static_cast<int>(std::floor(layer.location().top * density + 0.5f))),
                 layer.visible() && !b.empty(), b.drawMode() == gfx::DrawMode::Opaque,
                 static_cast<double>(b.masterAlpha()) / 255.0});
        }
    }

    void paint()
    {
        QPainter painter(&out_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, background_);
        for (const Drawn& layer : layers_) {
            if (!layer.visible)
                continue;
            painter.setCompositionMode(layer.opaque ? QPainter::CompositionMode_Source
                                                    : QPainter::CompositionMode_SourceOver);
            painter.setOpacity(layer.opaque ? 1.0 : layer.opacity);
            painter.drawImage(layer.at, layer.bitmap);
        }
        painter.end();
        benchmark::DoNotOptimize(out_.constBits());
    }

private:
    struct Drawn {
        QImage bitmap;
        QPoint at;
        bool visible;
        bool opaque;
        double opacity;
    };
    QImage background_;
    QImage out_;
    std::vector<Drawn> layers_;
};

// Both side by side in one loop, each iteration timing ours and Qt's in
// turn (the order alternating), so that a machine busy with other work
// slows both alike and the ratio stays fair. Argument -1 is the made-up
// staff with a thousand hidden layers, -2 its background alone; 0, 3 and 5
// are the main window's staff forty ticks into a run of single notes,
// chords and chord progressions: the real sprites where the run left them.
void composeSideBySide(benchmark::State& state, const gfx::TImage32& image)
{
    QtPicture qt(image);
    gfx::TBitmap32 out;
    std::vector<double> ours;
    std::vector<double> theirs;
    const auto timed = [](auto&& work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count();
    };
    const auto composeOurs = [&] {
        image.compose(out);
        benchmark::DoNotOptimize(out.bits().data());
    };
    bool oursFirst = true;
    for (auto _ : state) {
        if (oursFirst) {
            ours.push_back(timed(composeOurs));
            theirs.push_back(timed([&] { qt.paint(); }));
        } else {
            theirs.push_back(timed([&] { qt.paint(); }));
            ours.push_back(timed(composeOurs));
        }
        oursFirst = !oursFirst;
    }
    const double oursMedian = bench::median(std::move(ours));
    const double theirsMedian = bench::median(std::move(theirs));
    int shown = 0;
    for (int i = 0; i < image.layerCount(); ++i)
        shown += image.layer(i).visible() ? 1 : 0;
    state.counters["layers"] = image.layerCount();
    state.counters["visible"] = shown;
    state.counters["ours_us"] = oursMedian;
    state.counters["qpainter_us"] = theirsMedian;
    state.counters["ours_over_qpainter"] = oursMedian / theirsMedian;
}

void BM_ComposeSideBySide(benchmark::State& state)
{
    std::optional<bench::SessionSetup> run;
    gfx::TImage32 madeUp;
    const auto which = state.range(0);
    if (which == -1) {
        fillStaff(madeUp, 1000, 20);
    } else if (which == -2) {
        fillStaff(madeUp, 0, 0);
    } else {
        run.emplace();
        bench::fillStaff(*run, static_cast<std::uint8_t>(which));
    }
    composeSideBySide(state, run ? run->image : madeUp);
}
BENCHMARK(BM_ComposeSideBySide)
    ->Arg(-2)
    ->Arg(-1)
    ->Arg(0)
    ->Arg(3)
    ->Arg(5)
    ->MinTime(1.0)
    ->Unit(benchmark::kMicrosecond);

// The same runs on a screen of twice the pixels: the staff composed from the
// 2x sprite pack, four times the pixels of the picture above.
void BM_ComposeSideBySideAt2x(benchmark::State& state)
{
    bench::SessionSetup run(2);
    bench::fillStaff(run, static_cast<std::uint8_t>(state.range(0)));
    composeSideBySide(state, run.image);
}
BENCHMARK(BM_ComposeSideBySideAt2x)
    ->Arg(0)
    ->Arg(3)
    ->Arg(5)
    ->MinTime(1.0)
    ->Unit(benchmark::kMicrosecond);

} // namespace
