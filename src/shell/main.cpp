// Until the main window arrives this program opens a window of the main
// window's size with the staff image at its place, showing the placeholder
// staff picture with a few notes drawn as layers.

#include "gfx/Image32.h"
#include "notation/uMusicalStaff.h"
#include "platform/Clock.h"
#include "shell/ImageView.h"
#include "shell/StaffPreview.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <array>
#include <vector>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly - Notes"));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tessaly - Notes"));
    window.setFixedSize(700, 625);

    const gfx::TBitmap32List sprites = shell::makePreviewSprites();
    platform::SystemClock clock;
    gfx::TImage32 image;
    const notation::TMusicalStaff staff(image, sprites, clock, 2, 2);

    // Notes on the lines up to the middle line, where the stem still points up:
    // E4, G4, B4 on the treble staff and G2, B2, D3 on the bass staff.
    struct Placed {
        int clef;
        int pitch;
        float left;
    };
    constexpr std::array<Placed, 6> notes{{{notation::TrebleClef, 64, 110},
                                           {notation::TrebleClef, 67, 150},
                                           {notation::TrebleClef, 71, 190},
                                           {notation::BassClef, 43, 110},
                                           {notation::BassClef, 47, 150},
                                           {notation::BassClef, 50, 190}}};
    std::vector<gfx::OwnedLayer> layers;
    {
        gfx::UpdateBracket bracket(image);
        for (const Placed& n : notes) {
            const gfx::TBitmap32& head = staff.sprite(24);
            gfx::TBitmapLayer& layer = image.addLayer();
            layer.setBitmap(head);
            layer.bitmap().setDrawMode(gfx::DrawMode::Blend);
            layer.bitmap().setMasterAlpha(255);
            const float top = staff.getRootPosition(0, n.clef, n.pitch);
            layer.setLocation({n.left, top, n.left + static_cast<float>(head.width()),
                               top + static_cast<float>(head.height())});
            layers.emplace_back(layer);
        }
    }

    shell::ImageView view(&window);
    view.setGeometry(8, 80, 313, 300);
    view.setImage(&image);

    QLabel status(&window);
    status.setGeometry(8, 400, 600, 20);
    status.setText(QStringLiteral("Staff preview. Click the staff to see picture coordinates."));
    QObject::connect(&view, &shell::ImageView::mouseDown, &status,
                     [&status](Qt::MouseButton, int x, int y) {
                         status.setText(QStringLiteral("Mouse down at %1, %2").arg(x).arg(y));
                     });

    window.show();
    const int rc = QApplication::exec();
    view.setImage(nullptr);
    return rc;
}
