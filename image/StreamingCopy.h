// ReadRect and WriteRect of many megabytes. A copy that large would only
// push everything else out of the caches, and every cache line it writes
// would first be read in: streaming stores write whole lines straight to
// memory without reading them, as a large memcpy does. The lines themselves
// are written by the kernels of one vector level (Kernels.h).
#pragma once

#include "image/Image.h"
#include "image/Kernels.h"

// Whether a copy of rect goes through streaming stores: a large one, at a
// level that has them.
bool streamsCopy(const ImageKernels& kernels, const Rect& rect, int32_t pixelBytes);

void streamRead(Image& image, const Rect& rect, const PlaneView& destination, const ImageKernels& kernels);
void streamWrite(Image& image, const Rect& rect, const PlaneView& source, const ImageKernels& kernels);
