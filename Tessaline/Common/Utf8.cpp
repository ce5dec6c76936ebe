#include "Utf8.h"

namespace Tessaline::Utf8 {

bool decode(std::string_view in, std::u32string& out) {
    out.clear();
    size_t i = 0, n = in.size();
    while (i < n) {
        uint8_t b = uint8_t(in[i]);
        if (b < 0x80) {
            out += char32_t(b);
            ++i;
            continue;
        }
        int len;
        uint32_t c, min;
        if ((b & 0xE0) == 0xC0) {
            len = 2, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4, c = b & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + size_t(len) > n) return false;
        for (int k = 1; k < len; ++k) {
            uint8_t cb = uint8_t(in[i + size_t(k)]);
            if ((cb & 0xC0) != 0x80) return false;
            c = (c << 6) | (cb & 0x3F);
        }
        if (c < min || !isScalar(c)) return false;
        out += char32_t(c);
        i += size_t(len);
    }
    return true;
}

} // namespace Tessaline::Utf8
