// Until the main window arrives this program opens a window of the main
// window's size with the staff image at its place: the staff from the sprite
// pack in the working folder, the key signature of C major and a few notes.

#include "gfx/Image32.h"
#include "notation/uKey.h"
#include "notation/uMusicalStaff.h"
#include "notation/uNote.h"
#include "platform/Clock.h"
#include "resources/uResources.h"
#include "shell/ImageView.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace {

// The sprite pack, or a message box naming the file and the problem.
std::optional<resources::TKeyResources> loadSprites()
{
    try {
        return resources::TKeyResources();
    } catch (const resources::EFOpenError& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Tessaly - Notes"),
                              QString::fromStdString(e.what()));
    } catch (const resources::EPackError& e) {
        const auto path = std::filesystem::current_path() / resources::PackFileName;
        QMessageBox::critical(
            nullptr, QStringLiteral("Tessaly - Notes"),
            QStringLiteral("Error reading %1: %2")
                .arg(QString::fromStdString(path.string()), QString::fromStdString(e.what())));
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly - Notes"));

    const std::optional<resources::TKeyResources> sprites = loadSprites();
    if (!sprites)
        return 1;

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tessaly - Notes"));
    window.setFixedSize(700, 625);

    platform::SystemClock clock;
    gfx::TImage32 image;
    notation::TMusicalStaff staff(image, sprites->imgVorlanta, clock, 2, 2);
    notation::TKey key(staff);

    // A short line of notes in both clefs, as they will scroll in a run.
    struct Placed {
        int clef;
        int pitch;
    };
    constexpr std::array<Placed, 6> line{{{notation::TrebleClef, 60},
                                          {notation::BassClef, 43},
                                          {notation::TrebleClef, 70},
                                          {notation::BassClef, 54},
                                          {notation::TrebleClef, 81},
                                          {notation::BassClef, 64}}};
    std::vector<std::unique_ptr<notation::TNote>> notes;
    for (std::size_t i = 0; i < line.size(); ++i) {
        auto& note = notes.emplace_back(
            std::make_unique<notation::TNote>(staff, 0, line[i].clef, line[i].pitch, false));
        note->DrawNote(staff, true);
        note->MoveNote(staff, 140.0f - 25.0f * static_cast<float>(i));
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
