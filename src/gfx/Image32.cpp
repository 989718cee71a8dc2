#include "gfx/Image32.h"

#include "gfx/Bitmap32List.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace gfx {

namespace {

// Far-off (or NaN) locations are pinned well outside any picture, so the
// conversion to int stays defined.
int nearestPixel(float v)
{
    constexpr float Far = 1e9f;
    if (!(v > -Far))
        return -static_cast<int>(Far);
    if (v > Far)
        return static_cast<int>(Far);
    return static_cast<int>(std::floor(v + 0.5f));
}

} // namespace

// --- TBitmapLayer ---------------------------------------------------------

TBitmapLayer::~TBitmapLayer()
{
    if (owner_ != nullptr)
        owner_->layer_ = nullptr;
}

int TBitmapLayer::index() const { return static_cast<int>(index_); }

void TBitmapLayer::setBitmap(const TBitmap32& source)
{
    bitmap_.assign(source);
    image_->Changed();
}

void TBitmapLayer::setLocation(const FloatRect& r)
{
    location_ = r;
    image_->Changed();
}

bool TBitmapLayer::visible() const { return image_->shown_[index_] != 0; }

void TBitmapLayer::setVisible(bool v)
{
    image_->shown_[index_] = v ? 1 : 0;
    image_->Changed();
}

// --- TImage32 -------------------------------------------------------------

TImage32::~TImage32()
{
    // Layers may still be held by OwnedLayer handles; destroying them here
    // empties those handles. No notification: the control is going away.
    onChange_ = nullptr;
    layers_.clear();
    shown_.clear();
}

void TImage32::EndUpdate()
{
    if (updateCount_ == 0)
        throw std::logic_error("TImage32::EndUpdate without BeginUpdate");
    --updateCount_;
}

void TImage32::Changed()
{
    if (updateCount_ == 0 && onChange_)
        onChange_();
}

TBitmapLayer& TImage32::addLayer()
{
    // The constructor is private to the image, so make_unique cannot reach it.
    layers_.push_back(std::unique_ptr<TBitmapLayer>(new TBitmapLayer(*this)));
    shown_.push_back(1);
    auto& layer = *layers_.back();
    layer.index_ = layers_.size() - 1;
    Changed();
    return layer;
}

void TImage32::freeLayer(TBitmapLayer& layer)
{
    const int at = indexOf(layer);
    if (at < 0)
        throw std::invalid_argument("Layer does not belong to this image");
    const auto pos = static_cast<std::size_t>(at);
    layers_.erase(layers_.begin() + at);
    shown_.erase(shown_.begin() + at);
    for (std::size_t i = pos; i < layers_.size(); ++i)
        layers_[i]->index_ = i;
    Changed();
}

void TImage32::clearLayers()
{
    if (layers_.empty())
        return;
    layers_.clear();
    shown_.clear();
    Changed();
}

TBitmapLayer& TImage32::layer(int index)
{
    if (index < 0 || index >= layerCount())
        throw EListError(index);
    return *layers_[static_cast<std::size_t>(index)];
}

const TBitmapLayer& TImage32::layer(int index) const
{
    if (index < 0 || index >= layerCount())
        throw EListError(index);
    return *layers_[static_cast<std::size_t>(index)];
}

int TImage32::indexOf(const TBitmapLayer& layer) const
{
    if (layer.image_ != this || layer.index_ >= layers_.size() ||
        layers_[layer.index_].get() != &layer)
        return -1;
    return static_cast<int>(layer.index_);
}

void TImage32::setDensity(int density)
{
    if (density < 1 || density > 3)
        throw std::invalid_argument("Picture density must be 1, 2 or 3");
    if (density == density_)
        return;
    density_ = density;
    Changed();
}

void TImage32::compose(TBitmap32& out) const
{
    const auto scale = static_cast<float>(density_);
    out.setSize(bitmap_.width(), bitmap_.height());
    std::copy(bitmap_.bits().begin(), bitmap_.bits().end(), out.bits().begin());
    const auto first = shown_.begin();
    for (auto it = std::find(first, shown_.end(), 1); it != shown_.end();
         it = std::find(it + 1, shown_.end(), 1)) {
        const TBitmapLayer& layer = *layers_[static_cast<std::size_t>(it - first)];
        if (layer.bitmap_.empty())
            continue;
        layer.bitmap_.drawTo(out, nearestPixel(layer.location_.left * scale),
                             nearestPixel(layer.location_.top * scale));
    }
}

void setSprite(TBitmapLayer& layer, const TBitmap32& sprite, float left, float top, bool visible)
{
    layer.setBitmap(sprite);
    layer.bitmap().setDrawMode(DrawMode::Blend);
    layer.bitmap().setMasterAlpha(255);
    layer.setVisible(visible);
    const auto density = static_cast<float>(layer.image().density());
    layer.setLocation({left, top, left + static_cast<float>(sprite.width()) / density,
                       top + static_cast<float>(sprite.height()) / density});
}

// --- OwnedLayer -----------------------------------------------------------

OwnedLayer::OwnedLayer(TBitmapLayer& layer)
{
    if (layer.owner_ != nullptr)
        throw std::logic_error("Layer already has an owner");
    attach(&layer);
}

OwnedLayer::OwnedLayer(OwnedLayer&& other) noexcept
{
    TBitmapLayer* layer = other.layer_;
    other.attach(nullptr);
    attach(layer);
}

OwnedLayer& OwnedLayer::operator=(OwnedLayer&& other) noexcept
{
    if (this != &other) {
        reset();
        TBitmapLayer* layer = other.layer_;
        other.attach(nullptr);
        attach(layer);
    }
    return *this;
}

void OwnedLayer::reset()
{
    if (layer_ == nullptr)
        return;
    TBitmapLayer* layer = layer_;
    attach(nullptr);
    layer->image().freeLayer(*layer);
}

void OwnedLayer::attach(TBitmapLayer* layer)
{
    if (layer_ != nullptr)
        layer_->owner_ = nullptr;
    layer_ = layer;
    if (layer_ != nullptr)
        layer_->owner_ = this;
}

} // namespace gfx
