#include "GraphemeBreaks.h"

#include <unicode/ubrk.h>
#include <unicode/utext.h>

#include <cstring>
#include <memory>

namespace Tessaline {

namespace {

struct BreakIteratorCloser {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
};

// One character iterator per thread, made on first use; null when ICU cannot make one.
UBreakIterator* characterIterator() {
    thread_local std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* made = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        if (U_FAILURE(status)) {
            ubrk_close(made);
            made = nullptr;
        }
        return std::unique_ptr<UBreakIterator, BreakIteratorCloser>(made);
    }();
    return iterator.get();
}

// Calls visit with every character start after 0, then with the text's size. Without an iterator each
// scalar counts as a character.
template<class Visit>
void forEachBreak(std::string_view text, Visit&& visit) {
    UBreakIterator* iterator = characterIterator();
    UErrorCode status = U_ZERO_ERROR;
    UText ut = UTEXT_INITIALIZER;
    if (iterator != nullptr) {
        utext_openUTF8(&ut, text.data(), int64_t(text.size()), &status);
        ubrk_setUText(iterator, &ut, &status);
    }
    if (iterator == nullptr || U_FAILURE(status)) {
        for (size_t i = 1; i < text.size(); ++i)
            if ((uint8_t(text[i]) & 0xC0) != 0x80) visit(int32_t(i));
        if (!text.empty()) visit(int32_t(text.size()));
        utext_close(&ut);
        return;
    }
    for (int32_t at = ubrk_next(iterator); at != UBRK_DONE; at = ubrk_next(iterator))
        visit(at);
    // The iterator must not keep pointing at text that is about to go.
    ubrk_setText(iterator, nullptr, 0, &status);
    utext_close(&ut);
}

} // namespace

bool GraphemeBreaks::isSimple(std::string_view text) {
    // Eight bytes at a time: any byte with its high bit set, or any CR.
    constexpr uint64_t ones = 0x0101010101010101ull;
    constexpr uint64_t highs = 0x8080808080808080ull;
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        const uint64_t cr = word ^ (ones * '\r');
        if (((word | ((cr - ones) & ~cr)) & highs) != 0) return false;
    }
    for (; i < text.size(); ++i)
        if ((uint8_t(text[i]) & 0x80) != 0 || text[i] == '\r') return false;
    return true;
}

int64_t GraphemeBreaks::count(std::string_view text) {
    if (isSimple(text)) return int64_t(text.size());
    int64_t n = 0;
    forEachBreak(text, [&](int32_t) { ++n; });
    return n;
}

void GraphemeBreaks::starts(std::string_view text, std::vector<int32_t>& out) {
    out.clear();
    out.push_back(0);
    if (isSimple(text)) {
        out.resize(text.size() + 1);
        for (size_t i = 1; i <= text.size(); ++i)
            out[i] = int32_t(i);
        return;
    }
    forEachBreak(text, [&](int32_t at) { out.push_back(at); });
}

} // namespace Tessaline
