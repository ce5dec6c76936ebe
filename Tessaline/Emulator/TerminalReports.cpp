// The reply path: every answer to the program leaves through one send() to the delegate.
#include "Terminal.h"

namespace Tessaline {

void Terminal::sendBytes(std::span<const uint8_t> bytes) {
    // Without a delegate the reply is dropped.
    if (tdel != nullptr) tdel->send(*this, bytes);
}

} // namespace Tessaline
