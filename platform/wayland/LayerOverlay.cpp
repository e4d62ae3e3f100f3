// The overlay surface: its configure handshake and the shared-memory buffers it shows.
#include "platform/wayland/LayerOverlay.h"

#include <QColor>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

#include "platform/Log.h"
#include "platform/wayland/WaylandConnection.h"
// The generated header names an argument "namespace", a C++ keyword.
#define namespace layerNamespace
#include "wlr-layer-shell-unstable-v1-client.h"
#undef namespace

namespace zumo::wayland {

namespace {

// A wl_shm buffer with a QImage over its memory; busy from attach until the compositor
// releases it.
struct ShmBuffer {
    wl_buffer* buffer = nullptr;
    void* memory = nullptr;
    std::size_t bytes = 0;
    QImage image;
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
    b->image = QImage(static_cast<uchar*>(b->memory), size.width(), size.height(), stride,
                      QImage::Format_ARGB32_Premultiplied);
    return b;
}

} // namespace

struct LayerOverlay::Impl {
    WaylandConnection& connection;
    LayerOverlay* owner = nullptr;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    wl_callback* frameCallback = nullptr;
    bool configured = false;
    QSize requested;                 // the size last asked of the compositor
    ShmBuffer* shown = nullptr;      // the frame to show, null for the transparent pixel
    ShmBuffer* painting = nullptr;   // given out by beginFrame
    std::vector<std::unique_ptr<ShmBuffer>> buffers;

    explicit Impl(WaylandConnection& c) : connection(c) {}
    ShmBuffer* freeBuffer(QSize size);
    void requestSize(QSize size);
    void attach();
    void destroySurface();
};

namespace {

void layerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t, uint32_t)
{
    auto* d = static_cast<LayerOverlay::Impl*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    d->configured = true;
    d->attach();
}

void layerClosed(void* data, zwlr_layer_surface_v1*)
{
    // The compositor took the surface away (its output went); the next run makes a new one.
    static_cast<LayerOverlay::Impl*>(data)->destroySurface();
}

const zwlr_layer_surface_v1_listener layerListener{layerConfigure, layerClosed};

void frameDone(void* data, wl_callback* callback, uint32_t)
{
    auto* d = static_cast<LayerOverlay::Impl*>(data);
    wl_callback_destroy(callback);
    d->frameCallback = nullptr;
    d->owner->framePresented.notify();
}

const wl_callback_listener frameListener{frameDone};

} // namespace

ShmBuffer* LayerOverlay::Impl::freeBuffer(QSize size)
{
    for (auto& b : buffers)
        if (!b->busy && b.get() != shown && b->image.size() == size)
            return b.get();
    // Buffers of other sizes that nobody reads are dropped before a new one is made.
    std::erase_if(buffers, [this, size](const auto& b) { return !b->busy && b.get() != shown && b->image.size() != size; });
    auto made = makeBuffer(connection.shm(), size);
    if (!made)
        return nullptr;
    buffers.push_back(std::move(made));
    return buffers.back().get();
}

void LayerOverlay::Impl::requestSize(QSize size)
{
    if (size == requested)
        return;
    requested = size;
    zwlr_layer_surface_v1_set_size(layer, uint32_t(size.width()), uint32_t(size.height()));
    configured = false;
    wl_surface_commit(surface);
}

void LayerOverlay::Impl::attach()
{
    if (!surface || !configured)
        return;
    if (!shown) {
        ShmBuffer* pixel = freeBuffer(QSize(1, 1));
        if (!pixel)
            return;
        pixel->image.fill(Qt::transparent);
        pixel->busy = true;
        wl_surface_attach(surface, pixel->buffer, 0, 0);
    } else {
        shown->busy = true;
        wl_surface_attach(surface, shown->buffer, 0, 0);
        if (!frameCallback) {
            frameCallback = wl_surface_frame(surface);
            wl_callback_add_listener(frameCallback, &frameListener, this);
        }
    }
    wl_surface_damage(surface, 0, 0, INT32_MAX, INT32_MAX);
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
    requested = {};
    connection.flush();
}

LayerOverlay::LayerOverlay(WaylandConnection& connection) : d(std::make_unique<Impl>(connection))
{
    d->owner = this;
}

LayerOverlay::~LayerOverlay()
{
    d->destroySurface();
}

void LayerOverlay::open()
{
    if (d->surface || !d->connection.layerShell())
        return;
    d->surface = wl_compositor_create_surface(d->connection.compositor());
    d->layer = zwlr_layer_shell_v1_get_layer_surface(d->connection.layerShell(), d->surface, nullptr,
                                                     ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "zumo");
    zwlr_layer_surface_v1_add_listener(d->layer, &layerListener, d.get());
    zwlr_layer_surface_v1_set_keyboard_interactivity(d->layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    d->requested = d->shown ? d->shown->image.size() : QSize(1, 1);
    zwlr_layer_surface_v1_set_size(d->layer, uint32_t(d->requested.width()), uint32_t(d->requested.height()));
    wl_surface_commit(d->surface);
    d->connection.flush();
}

void LayerOverlay::close()
{
    d->destroySurface();
    d->shown = nullptr;
}

bool LayerOverlay::isOpen() const
{
    return d->surface != nullptr;
}

wl_surface* LayerOverlay::surface() const
{
    return d->surface;
}

QImage& LayerOverlay::beginFrame(QSize size)
{
    static QImage none;
    d->painting = d->freeBuffer(size.expandedTo(QSize(1, 1)));
    if (!d->painting) {
        appLog(QStringLiteral("no shared memory for a %1×%2 panel").arg(size.width()).arg(size.height()));
        none = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        return none;
    }
    return d->painting->image;
}

void LayerOverlay::present()
{
    if (!d->painting)
        return;
    d->shown = std::exchange(d->painting, nullptr);
    open();
    if (d->shown->image.size() != d->requested)
        return d->requestSize(d->shown->image.size());
    d->attach();
}

void LayerOverlay::clearFrame()
{
    d->shown = nullptr;
    if (!d->surface)
        return;
    if (d->requested != QSize(1, 1))
        return d->requestSize(QSize(1, 1));
    d->attach();
}

} // namespace zumo::wayland
