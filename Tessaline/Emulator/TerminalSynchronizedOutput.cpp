// Synchronized output (mode 2026): readers see a copy of the buffer while a program redraws.
#include "Terminal.h"

namespace Tessaline {

void Terminal::endSynchronizedOutput() {
    if (!synchronizedOutputActive) return;
    synchronizedOutputActive = false;
    synchronizedOutputBuffer.reset();
    synchronizedOutputBufferIsAlternate = false;
    if (synchronizedOutputTimeoutItem != 0 && executor != nullptr)
        executor->cancel(synchronizedOutputTimeoutItem);
    synchronizedOutputTimeoutItem = 0;
    updateRange(0);
    updateRange(_rows - 1);
    if (tdel != nullptr) tdel->synchronizedOutputChanged(*this, false);
}

} // namespace Tessaline
