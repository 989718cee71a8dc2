// Repainting the staff as the window does after every change: compose the
// picture, turn it into the view's QImage and paint that into a
// backing-store-like premultiplied image. Beside it, the same with the
// picture kept as straight (not premultiplied) ARGB32, which Qt converts
// on every paint.

#include "shell/ImageView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "SessionSetup.h"
#include "Spread.h"

#include <benchmark/benchmark.h>

namespace {

void BM_StaffRepaint(benchmark::State& state)
{
    bench::SessionSetup b;
    bench::fillStaff(b, 5);
    shell::ImageView view;
    view.resize(b.image.bitmap().width(), b.image.bitmap().height());
    view.setImage(&b.image);
    QImage backing(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        b.image.Changed();
        QPainter painter(&backing);
        painter.drawImage(0, 0, view.picture());
        painter.end();
        benchmark::DoNotOptimize(backing.constBits());
    }
    view.setImage(nullptr);
}
BENCHMARK(BM_StaffRepaint)->Unit(benchmark::kMicrosecond);

void BM_StaffRepaintStraightPicture(benchmark::State& state)
{
    bench::SessionSetup b;
    bench::fillStaff(b, 5);
    gfx::TBitmap32 composed;
    QImage backing(b.image.bitmap().width(), b.image.bitmap().height(),
                   QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        b.image.compose(composed);
        const QImage picture =
            QImage(reinterpret_cast<const uchar*>(composed.bits().data()), composed.width(),
                   composed.height(), static_cast<qsizetype>(composed.width()) * 4,
                   QImage::Format_ARGB32)
                .copy();
        QPainter painter(&backing);
        painter.drawImage(0, 0, picture);
        painter.end();
        benchmark::DoNotOptimize(backing.constBits());
    }
}
BENCHMARK(BM_StaffRepaintStraightPicture)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return bench::runBenchmarks(argc, argv);
}
