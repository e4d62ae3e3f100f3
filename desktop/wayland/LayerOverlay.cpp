// The overlay surface: kept between runs, so a run sends only new contents and keyboard requests.
#include "desktop/wayland/LayerOverlay.h"

#include <QColor>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

#include "platform/Log.h"
#include "desktop/wayland/WaylandConnection.h"
// The generated header names an argument "namespace", a C++ keyword.
#define namespace layerNamespace
#include "wlr-layer-shell-unstable-v1-client.h"
#undef namespace

namespace zumo::wayland {

namespace {

// A wl_shm buffer with a QImage over its memory; busy from attach until the compositor
// releases it. painted is the part that may hold something other than transparent pixels.
struct ShmBuffer {
    wl_buffer* buffer = nullptr;
    void* memory = nullptr;
    std::size_t bytes = 0;
    QImage image;
    QRect painted;
    bool busy = false;

    ~ShmBuffer()
    {
        if (buffer)
            wl_buffer_destroy(buffer);
        if (memory)
            munmap(memory, bytes);
    }
};

void bufferRelease(void* data, wl_buffer*)
{
    static_cast<ShmBuffer*>(data)->busy = false;
}

const wl_buffer_listener bufferListener{bufferRelease};

std::unique_ptr<ShmBuffer> makeBuffer(wl_shm* shm, QSize size)
{
    const int stride = size.width() * 4;
    auto b = std::make_unique<ShmBuffer>();
    b->bytes = std::size_t(stride) * std::size_t(size.height());
    const int fd = memfd_create("zumo-panel", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, off_t(b->bytes)) != 0) {
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    b->memory = mmap(nullptr, b->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (b->memory == MAP_FAILED) {
        b->memory = nullptr;
        ::close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int(b->bytes));
    // ARGB8888 in wl_shm is premultiplied, in the machine's byte order, as QImage's format is.
    b->buffer = wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    ::close(fd);
    wl_buffer_add_listener(b->buffer, &bufferListener, b.get());
    // A new memfd reads as zeros: fully transparent.
    b->image = QImage(static_cast<uchar*>(b->memory), size.width(), size.height(), stride,
                      QImage::Format_ARGB32_Premultiplied);
    return b;
}

void clearRect(QImage& image, const QRect& rect)
{
    const QRect r = rect & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::memset(image.scanLine(y) + r.left() * 4, 0, std::size_t(r.width()) * 4);
}

} // namespace

struct LayerOverlay::Impl {
    WaylandConnection& connection;
    std::function<wl_output*()> focusedOutput;
    wl_output* output = nullptr;     // the surface's, once known
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    wl_callback* frameCallback = nullptr;
    bool configured = false;
    bool keyboard = false;
    QSize outputSize;                // from the last configure
    std::unique_ptr<ShmBuffer> pixel;  // shown while idle
    ShmBuffer* shown = nullptr;      // the frame shown, null for the pixel
    ShmBuffer* painting = nullptr;   // given out by beginFrame
    QRect shownArea;
    QRect paintingArea;
    std::vector<std::unique_ptr<ShmBuffer>> frames;

    Impl(WaylandConnection& c, std::function<wl_output*()> f) : connection(c), focusedOutput(std::move(f)) {}
    void makeSurface(wl_output* on);
    ShmBuffer* freeFrame();
    void setInputRegion(const QRect& area);
    void commit(const QRect& damage);
    void destroySurface();
};

namespace {

void layerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height)
{
    auto* d = static_cast<LayerOverlay::Impl*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    const QSize size{int(width), int(height)};
    const bool resized = size != d->outputSize;
    d->outputSize = size;
    // A configure of the same size is only acknowledged: committing on each could loop.
    const bool first = !std::exchange(d->configured, true);
    if (first || resized)
        d->commit(QRect(QPoint(0, 0), size));
}

void layerClosed(void* data, zwlr_layer_surface_v1*)
{
    // The compositor took the surface away (its output went); the next run makes a new one.
    static_cast<LayerOverlay::Impl*>(data)->destroySurface();
}

const zwlr_layer_surface_v1_listener layerListener{layerConfigure, layerClosed};

void surfaceEnter(void* data, wl_surface*, wl_output* output)
{
    static_cast<LayerOverlay::Impl*>(data)->output = output;
}

void surfaceLeave(void*, wl_surface*, wl_output*) {}

const wl_surface_listener surfaceListener{surfaceEnter, surfaceLeave};

void frameDone(void* data, wl_callback* callback, uint32_t)
{
    auto* d = static_cast<LayerOverlay::Impl*>(data);
    wl_callback_destroy(callback);
    d->frameCallback = nullptr;
    // The blank frame that hid the panel is on the screen: the idle pixel can replace it
    // without leaving the panel's old pixels behind.
    if (d->shown && d->shown->painted.isEmpty()) {
        d->shown = nullptr;
        d->commit({});
    }
}

const wl_callback_listener frameListener{frameDone};

} // namespace

void LayerOverlay::Impl::makeSurface(wl_output* on)
{
    if (surface || !connection.layerShell())
        return;
    surface = wl_compositor_create_surface(connection.compositor());
    wl_surface_add_listener(surface, &surfaceListener, this);
    output = on;
    // The output's size stands for the configured one until it comes, so a panel painted before
    // is shown with the first configure.
    for (const Output& o : connection.outputs())
        if (o.output == on && !o.frame.isEmpty())
            outputSize = o.frame.size();
    layer = zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), surface, on,
                                                  ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "zumo");
    zwlr_layer_surface_v1_add_listener(layer, &layerListener, this);
    // The whole output, bars included: the compositor says its size, and the panel is centred
    // in it by Zumo, so a panel of another size needs no new configure.
    zwlr_layer_surface_v1_set_anchor(layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(layer, -1);
    zwlr_layer_surface_v1_set_size(layer, 0, 0);
    setInputRegion({});
    wl_surface_commit(surface);
    connection.flush();
}

ShmBuffer* LayerOverlay::Impl::freeFrame()
{
    // Frames of another output's size are dropped as the compositor lets go of them.
    std::erase_if(frames, [this](const auto& b) { return !b->busy && b.get() != shown && b->image.size() != outputSize; });
    for (auto& b : frames)
        if (!b->busy && b.get() != shown)
            return b.get();
    auto made = makeBuffer(connection.shm(), outputSize);
    if (!made)
        return nullptr;
    frames.push_back(std::move(made));
    return frames.back().get();
}

void LayerOverlay::Impl::setInputRegion(const QRect& area)
{
    wl_region* region = wl_compositor_create_region(connection.compositor());
    if (!area.isEmpty())
        wl_region_add(region, area.x(), area.y(), area.width(), area.height());
    wl_surface_set_input_region(surface, region);
    wl_region_destroy(region);
}

void LayerOverlay::Impl::commit(const QRect& damage)
{
    if (!surface || !configured)
        return;
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layer, keyboard ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    ShmBuffer* buffer = shown;
    if (!buffer) {
        if (!pixel && !(pixel = makeBuffer(connection.shm(), QSize(1, 1))))
            return;
        buffer = pixel.get();
    }
    buffer->busy = true;
    wl_surface_attach(surface, buffer->buffer, 0, 0);
    if (!damage.isEmpty())
        wl_surface_damage(surface, damage.x(), damage.y(), damage.width(), damage.height());
    if (shown && !frameCallback && !damage.isEmpty()) {
        frameCallback = wl_surface_frame(surface);
        wl_callback_add_listener(frameCallback, &frameListener, this);
    }
    wl_surface_commit(surface);
    connection.flush();
}

void LayerOverlay::Impl::destroySurface()
{
    if (frameCallback)
        wl_callback_destroy(frameCallback);
    frameCallback = nullptr;
    if (layer)
        zwlr_layer_surface_v1_destroy(layer);
    if (surface)
        wl_surface_destroy(surface);
    layer = nullptr;
    surface = nullptr;
    configured = false;
    shown = nullptr;
    shownArea = {};
    connection.flush();
}

LayerOverlay::LayerOverlay(WaylandConnection& connection, std::function<wl_output*()> focusedOutput)
    : d(std::make_unique<Impl>(connection, std::move(focusedOutput)))
{
    d->makeSurface(nullptr);
}

LayerOverlay::~LayerOverlay()
{
    d->destroySurface();
}

void LayerOverlay::holdKeyboard(bool hold)
{
    d->keyboard = hold;
    wl_output* target = hold && d->focusedOutput ? d->focusedOutput() : nullptr;
    // Only for a run on another output is a configure round waited for.
    if (d->surface && target && d->output && target != d->output)
        d->destroySurface();
    if (!d->surface)
        return d->makeSurface(target);  // its first configure applies the request
    d->commit({});
}

bool LayerOverlay::holdsKeyboard() const
{
    return d->keyboard && d->surface;
}

wl_surface* LayerOverlay::surface() const
{
    return d->surface;
}

LayerOverlay::Frame LayerOverlay::beginFrame(QSize size)
{
    static QImage none;
    const QSize output = d->outputSize.isEmpty() ? size : d->outputSize;
    d->paintingArea = QRect(QPoint((output.width() - size.width()) / 2, (output.height() - size.height()) / 2), size)
                      & QRect(QPoint(0, 0), output);
    const bool sized = d->surface && !d->outputSize.isEmpty();
    d->painting = sized ? d->freeFrame() : nullptr;
    if (!d->painting) {
        if (sized)
            appLog(QStringLiteral("no shared memory for a %1×%2 panel").arg(output.width()).arg(output.height()));
        none = QImage(output, QImage::Format_ARGB32_Premultiplied);
        return {none, d->paintingArea};
    }
    // The buffer keeps what it showed two frames ago: only that part needs clearing.
    clearRect(d->painting->image, d->painting->painted | d->paintingArea);
    d->painting->painted = d->paintingArea;
    return {d->painting->image, d->paintingArea};
}

void LayerOverlay::present()
{
    if (!d->painting)
        return;
    d->shown = std::exchange(d->painting, nullptr);
    const QRect damage = d->shownArea | d->paintingArea;
    d->shownArea = d->paintingArea;
    d->setInputRegion(d->shownArea);
    d->commit(damage);
}

void LayerOverlay::clearFrame()
{
    if (!d->shown || d->shownArea.isEmpty())
        return;
    // A frame of the same size with the panel's area cleared, so the compositor redraws what was
    // under it (a smaller buffer would damage only itself); the pixel follows once it is shown.
    ShmBuffer* blank = d->freeFrame();
    const QRect damage = std::exchange(d->shownArea, QRect());
    d->setInputRegion({});
    if (!blank) {
        d->shown = nullptr;
        return d->commit(QRect(QPoint(0, 0), d->outputSize));
    }
    clearRect(blank->image, blank->painted);
    blank->painted = {};
    d->shown = blank;
    d->commit(damage);
}

QRect LayerOverlay::shownArea() const
{
    return d->shownArea;
}

} // namespace zumo::wayland
