#pragma once

#include <cstddef>
#include <future>

class QWidget;

namespace tobrel {

// Makes a top-level widget's window and its image (what the window is painted into before
// it goes to the display) now, unshown, and has the image's memory mapped and written once
// on a thread of its own, while the caller goes on. A window's first paint would otherwise
// pay for every page of a fresh image; on a virtual machine the first write to a page costs
// as much again as mapping it, and at 1920 x 1080 that was longer than the paint itself.
// The returned handle is ready once the memory is in place: wait on it before the window
// is first shown (nothing may paint into the image before). Not valid when the window has
// no image of its own in memory (then there is nothing to wait for).
std::future<void> makeWindowImageReady(QWidget *window);

// The same for memory of the caller's (a picture about to be drawn): mapped and written
// once on a thread of its own. Nothing may use the memory until the handle is ready.
std::future<void> makeMemoryReady(void *memory, size_t bytes);

} // namespace tobrel
