#include "ui/WindowImage.h"

#include <QBackingStore>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <cstring>
#include <system_error>

#include <sys/mman.h>
#include <unistd.h>

namespace tobrel {
namespace {

void putInPlace(uchar *bits, size_t bytes)
{
    const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<uintptr_t>(bits);
    if (page > 0) {
        // The pages mapped in one call, then each written: the mapping alone leaves the
        // first write to each page still slow on a virtual machine.
        const uintptr_t first = start & ~(page - 1);
        ::madvise(reinterpret_cast<void *>(first), start + bytes - first, MADV_POPULATE_WRITE);
    }
    std::memset(bits, 0, bytes);
}

} // namespace

std::future<void> makeWindowImageReady(QWidget *window)
{
    window->winId(); // the window, made on the display but not shown
    QBackingStore *store = window->backingStore();
    if (!store)
        return {};
    store->resize(window->size());
    QPaintDevice *device = store->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return {};
    // The pixels only, through the image's own memory: the image object itself is the
    // window's and is not touched off this thread. What is written is painted over by the
    // window's first paint.
    const auto *image = static_cast<const QImage *>(device);
    auto *bits = const_cast<uchar *>(image->constBits());
    const auto bytes = static_cast<size_t>(image->sizeInBytes());
    return makeMemoryReady(bits, bytes);
}

std::future<void> makeMemoryReady(void *memory, size_t bytes)
{
    auto *bits = static_cast<uchar *>(memory);
    if (!bits || bytes == 0)
        return {};
    try {
        return std::async(std::launch::async, [bits, bytes] { putInPlace(bits, bytes); });
    } catch (const std::system_error &) {
        putInPlace(bits, bytes); // no thread to be had: done here, before the memory is used
        return {};
    }
}

} // namespace tobrel
