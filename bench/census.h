// Counts what a leak leaves behind: busy heap bytes, icons, GDI bitmaps and
// menus of this process. Wine's GetGuiResources reports 0, so the handles are
// found by trying every value a handle can take.
#pragma once

namespace zanthel::bench {

struct Census {
    long long heapBytes;
    long icons;
    long bitmaps;
    long menus;
};

Census TakeCensus();

}  // namespace zanthel::bench
