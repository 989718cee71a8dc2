#pragma once

#include "gfx/Bitmap32.h"

#include <functional>
#include <memory>
#include <vector>

namespace gfx {

struct FloatRect {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;
    friend bool operator==(const FloatRect&, const FloatRect&) = default;
};

class TImage32;
class OwnedLayer;

// A bitmap shown over an image's own bitmap: its own bitmap (with its draw
// mode and master alpha), a float location and a visible flag. Layers are
// made and freed by their image; every setter tells the image it changed.
class TBitmapLayer {
public:
    TBitmapLayer(const TBitmapLayer&) = delete;
    TBitmapLayer& operator=(const TBitmapLayer&) = delete;
    ~TBitmapLayer();

    TImage32& image() const { return *image_; }
    int index() const; // position in the image's layer list

    // Changes made through this reference are not announced: call the
    // image's Changed() afterwards (inside an update bracket, as usual).
    TBitmap32& bitmap() { return bitmap_; }
    const TBitmap32& bitmap() const { return bitmap_; }
    void setBitmap(const TBitmap32& source);

    const FloatRect& location() const { return location_; }
    void setLocation(const FloatRect& r);

    bool visible() const;
    void setVisible(bool v);

private:
    friend class TImage32;
    friend class OwnedLayer;
    explicit TBitmapLayer(TImage32& image)
        : image_(&image)
    {
    }

    TImage32* image_;
    std::size_t index_ = 0; // position in the image's layer list
    TBitmap32 bitmap_;
    FloatRect location_;
    OwnedLayer* owner_ = nullptr;
};

// The layered image control: an own (background) bitmap under an ordered
// list of bitmap layers. Changes are grouped with BeginUpdate / EndUpdate and
// announced with Changed(); while an update is open Changed() only takes
// note, so a whole bracket followed by one Changed() gives one notification.
class TImage32 {
public:
    TImage32() = default;
    TImage32(const TImage32&) = delete;
    TImage32& operator=(const TImage32&) = delete;
    ~TImage32();

    // The background picture. Edits through this reference are announced by
    // calling Changed().
    TBitmap32& bitmap() { return bitmap_; }
    const TBitmap32& bitmap() const { return bitmap_; }

    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    void Changed();
    int updateCount() const { return updateCount_; }

    // The repaint notification; one handler, as a control has one event.
    void setOnChange(std::function<void()> handler) { onChange_ = std::move(handler); }

    // A new layer at the end of the list: visible, empty bitmap, empty location.
    TBitmapLayer& addLayer();
    // Removes the layer from the list and destroys it. Layers before it keep
    // their positions; those after it move up by one.
    void freeLayer(TBitmapLayer& layer);
    void clearLayers();
    int layerCount() const { return static_cast<int>(layers_.size()); }
    // Throws EListError ("List index out of bounds (%d)") for a bad position.
    TBitmapLayer& layer(int index);
    const TBitmapLayer& layer(int index) const;
    int indexOf(const TBitmapLayer& layer) const;

    // Device pixels per logical pixel of the picture (1, 2 or 3). Locations
    // stay logical; the own bitmap and the layers' bitmaps are drawn with
    // `density` times as many pixels per side. Throws std::invalid_argument
    // outside 1..3.
    int density() const { return density_; }
    void setDensity(int density);

    // Renders the picture into `out`: the own bitmap, then every visible layer
    // in list order, each at its own size with its top-left corner at the
    // location's left/top times the density, rounded to the nearest pixel.
    void compose(TBitmap32& out) const;

private:
    friend class TBitmapLayer;

    TBitmap32 bitmap_;
    std::vector<std::unique_ptr<TBitmapLayer>> layers_;
    // Each layer's visible flag, by position (the layers keep none of their
    // own): composing skips a long run of hidden layers without visiting
    // them one by one.
    std::vector<unsigned char> shown_;
    std::function<void()> onChange_;
    int updateCount_ = 0;
    int density_ = 1;
};

// Shows a copy of `sprite` on `layer` the way all drawing code does: blended
// by its alpha with master alpha 255, at its own size with its top-left
// corner at (left, top). The location's size is the sprite's in logical
// pixels: its pixel size divided by the image's density.
void setSprite(TBitmapLayer& layer, const TBitmap32& sprite, float left, float top, bool visible);

// Begins an update on construction; ends it and announces the change on
// destruction. The change handler must not throw.
class UpdateBracket {
public:
    explicit UpdateBracket(TImage32& image)
        : image_(image)
    {
        image_.BeginUpdate();
    }
    UpdateBracket(const UpdateBracket&) = delete;
    UpdateBracket& operator=(const UpdateBracket&) = delete;
    ~UpdateBracket()
    {
        image_.EndUpdate();
        image_.Changed();
    }

private:
    TImage32& image_;
};

// Sole owner of one layer: frees it from its image when reset or destroyed.
// If the image goes first (and frees its layers), the handle simply becomes
// empty, so neither order frees a layer twice.
class OwnedLayer {
public:
    OwnedLayer() = default;
    explicit OwnedLayer(TBitmapLayer& layer);
    OwnedLayer(OwnedLayer&& other) noexcept;
    OwnedLayer& operator=(OwnedLayer&& other) noexcept;
    OwnedLayer(const OwnedLayer&) = delete;
    OwnedLayer& operator=(const OwnedLayer&) = delete;
    ~OwnedLayer() { reset(); }

    void reset();
    TBitmapLayer* get() const { return layer_; }
    TBitmapLayer* operator->() const { return layer_; }
    TBitmapLayer& operator*() const { return *layer_; }
    explicit operator bool() const { return layer_ != nullptr; }

private:
    friend class TBitmapLayer;
    void attach(TBitmapLayer* layer);

    TBitmapLayer* layer_ = nullptr;
};

} // namespace gfx
