#include "SearchService.h"
#include "Utf8.h"

#include "GraphemeBreaks.h"
#include "Terminal.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uregex.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

namespace Tessaline {

namespace {

const BufferLine* peekRow(const Buffer& buffer, int64_t row) {
    if (row < 0 || row >= buffer.lines().count()) return nullptr;
    return buffer.lines().peek(int(row)).get();
}

bool isWrappedRow(const Buffer& buffer, int64_t row) {
    const BufferLine* line = peekRow(buffer, row);
    return line != nullptr && line->isWrapped;
}

// MARK: Match keys

const icu::Normalizer2* nfdNormalizer() {
    static const icu::Normalizer2* nfd = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* made = icu::Normalizer2::getNFDInstance(status);
        return U_SUCCESS(status) ? made : nullptr;
    }();
    return nfd;
}

void toNfd(const icu::UnicodeString& text, icu::UnicodeString& out) {
    const icu::Normalizer2* nfd = nfdNormalizer();
    UErrorCode status = U_ZERO_ERROR;
    if (nfd != nullptr) nfd->normalize(text, out, status);
    if (nfd == nullptr || U_FAILURE(status)) out = text;
}

// What a character compares as: its canonical decomposition, for a case-insensitive search of its case
// folding (the canonical caseless form NFD(fold(NFD(x)))). Equivalent characters get equal keys.
void appendKey(std::string_view text, bool folded, std::string& out) {
    if (text.size() == 1 && uint8_t(text[0]) < 0x80) {
        char c = text[0];
        if (folded && c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        out += c;
        return;
    }
    // A single scalar without decomposition that folding leaves alone is its own key (most of CJK).
    int32_t i = 0;
    UChar32 c = 0;
    U8_NEXT(text.data(), i, int32_t(text.size()), c);
    if (c >= 0 && size_t(i) == text.size()) {
        icu::UnicodeString decomposition;
        const icu::Normalizer2* nfd = nfdNormalizer();
        const bool decomposes = nfd == nullptr || nfd->getDecomposition(c, decomposition);
        if (!decomposes && (!folded || !u_hasBinaryProperty(c, UCHAR_CHANGES_WHEN_CASEFOLDED))) {
            out.append(text);
            return;
        }
    }
    const icu::UnicodeString source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
    icu::UnicodeString key;
    toNfd(source, key);
    if (folded) {
        UErrorCode status = U_ZERO_ERROR;
        std::u16string buffer(size_t(key.length()) * 3 + 4, u'\0');
        const int32_t length = u_strFoldCase(buffer.data(), int32_t(buffer.size()), key.getBuffer(),
                                             key.length(), U_FOLD_CASE_DEFAULT, &status);
        if (U_SUCCESS(status)) {
            icu::UnicodeString foldedText(buffer.data(), length);
            key.remove();
            toNfd(foldedText, key);
        }
    }
    key.toUTF8String(out);
}

std::string termKey(std::string_view term, bool folded) {
    std::string out;
    if (GraphemeBreaks::isSimple(term)) {
        for (size_t i = 0; i < term.size(); ++i)
            appendKey(term.substr(i, 1), folded, out);
    } else {
        appendKey(term, folded, out);
    }
    return out;
}

// The key text of a line of characters of more than one byte, character by character, remembering where
// each character's key starts.
std::unique_ptr<SearchLineCache::MatchKey> makeLineKey(const SearchLineCache::CachedLine& line, bool folded) {
    auto key = std::make_unique<SearchLineCache::MatchKey>();
    const std::string_view text = line.lineAsString;
    key->text.reserve(text.size());
    key->starts.reserve(line.characterStarts.size());
    for (size_t k = 0; k + 1 < line.characterStarts.size(); ++k) {
        key->starts.push_back(int32_t(key->text.size()));
        const int32_t from = line.characterStarts[k];
        appendKey(text.substr(size_t(from), size_t(line.characterStarts[k + 1] - from)), folded, key->text);
    }
    key->starts.push_back(int32_t(key->text.size()));
    return key;
}

// The character whose key starts at a byte offset of the key text; -1 when none does.
int64_t keyCharacterAt(std::span<const int32_t> starts, int64_t offset) {
    if (starts.empty()) return offset;
    auto it = std::lower_bound(starts.begin(), starts.end(), int32_t(offset));
    return it != starts.end() && *it == offset ? int64_t(it - starts.begin()) : -1;
}

int64_t keyOffsetOf(std::span<const int32_t> starts, int64_t character) {
    return starts.empty() ? character : starts[size_t(character)];
}

struct RegexCloser {
    void operator()(URegularExpression* regex) const { uregex_close(regex); }
};

double secondsOf(std::chrono::steady_clock::time_point time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

} // namespace

// MARK: Line cache

template<class T>
T* SearchLineCache::Store<T>::allocate(size_t n) {
    while (_current < _blocks.size() && _used + n > _sizes[_current]) {
        ++_current;
        _used = 0;
    }
    if (_current == _blocks.size()) {
        const size_t size = std::max(n, blockSize);
        _blocks.push_back(std::make_unique_for_overwrite<T[]>(size));
        _sizes.push_back(size);
        _used = 0;
    }
    T* run = _blocks[_current].get() + _used;
    _used += n;
    return run;
}

template<class T>
void SearchLineCache::Store<T>::clear() {
    _current = 0;
    _used = 0;
}

SearchLineCache::SearchLineCache(Terminal& terminal)
    : terminal(terminal) {}

double SearchLineCache::now() const {
    if (terminal.executor != nullptr) return secondsOf(terminal.executor->now());
    return secondsOf(std::chrono::steady_clock::now());
}

void SearchLineCache::initLinesCache() {
    const double time = now();
    const size_t count = size_t(terminal.displayBuffer().lines().count());
    const bool keep =
        linesCache && time - lastAccessTimestamp < cacheLifetimeSeconds && linesCache->size() == count;
    if (!keep) {
        clear();
        // The slot array of the last filling is reused too.
        linesCache.emplace(std::move(_spareSlots));
        linesCache->assign(count, -1);
        _lines.reserve(count);
    }
    lastAccessTimestamp = time;
}

void SearchLineCache::buildLine(int lineIndex, bool trimRight, std::string& text,
                                std::vector<int32_t>& offsets, std::vector<int32_t>& starts) const {
    text.clear();
    offsets.assign(1, 0);
    starts.clear();
    const Buffer& buffer = terminal.displayBuffer();
    const int count = buffer.lines().count();
    if (lineIndex < 0 || lineIndex >= count) return;
    for (int row = lineIndex;; ++row) {
        const BufferLine* line = peekRow(buffer, row);
        const BufferLine* next = peekRow(buffer, row + 1);
        const bool wrappedFollows = next != nullptr && next->isWrapped;
        const bool nextStartsWide = next != nullptr && next->count() > 0 && (*next)[0].width() == 2;
        if (line != nullptr) {
            int end = line->count();
            if (!wrappedFollows && trimRight) end = std::min(line->getTrimmedLength(), end);
            terminal.appendCellText(*line, 0, end, text);
            // The empty last column where a wide character did not fit before the wrap is not text. (The
            // right half of a wide character that did fit is no text to begin with.)
            if (wrappedFollows && nextStartsWide && end > 0) {
                const CharData& last = (*line)[end - 1];
                const bool spacer = end >= 2 && (*line)[end - 2].width() == 2;
                if (last.code == 0 && last.width() <= 1 && !spacer) text.pop_back();
            }
        } else if (wrappedFollows || !trimRight) {
            // A row the ring has not made yet: blank cells.
            text.append(size_t(std::max(buffer.cols() - (wrappedFollows && nextStartsWide ? 1 : 0), 0)), ' ');
        }
        if (!wrappedFollows) break;
        offsets.push_back(int32_t(text.size()));
    }
    if (GraphemeBreaks::isSimple(text)) return;
    // Row starts so far are byte offsets: turn them into character offsets.
    GraphemeBreaks::starts(text, starts);
    for (int32_t& offset : offsets)
        offset = int32_t(std::lower_bound(starts.begin(), starts.end(), offset) - starts.begin());
}

SearchLineCache::Entry SearchLineCache::translateBufferLineToStringWithWrap(int lineIndex,
                                                                            bool trimRight) const {
    Entry entry;
    std::vector<int32_t> starts;
    buildLine(lineIndex, trimRight, entry.lineAsString, entry.lineOffsets, starts);
    return entry;
}

void SearchLineCache::store(int row, std::string_view text, std::span<const int32_t> offsets,
                            std::span<const int32_t> starts) {
    CachedLine line;
    char* chars = _chars.allocate(text.size());
    std::copy(text.begin(), text.end(), chars);
    line.lineAsString = std::string_view(chars, text.size());
    int32_t* numbers = _numbers.allocate(offsets.size() + starts.size());
    std::copy(offsets.begin(), offsets.end(), numbers);
    std::copy(starts.begin(), starts.end(), numbers + offsets.size());
    line.lineOffsets = std::span<const int32_t>(numbers, offsets.size());
    line.characterStarts = std::span<const int32_t>(numbers + offsets.size(), starts.size());
    (*linesCache)[size_t(row)] = int32_t(_lines.size());
    _lines.push_back(std::move(line));
}

void SearchLineCache::setLineInCache(int row, const Entry& entry) {
    if (!linesCache || row < 0 || size_t(row) >= linesCache->size()) return;
    std::vector<int32_t> starts;
    if (!GraphemeBreaks::isSimple(entry.lineAsString)) GraphemeBreaks::starts(entry.lineAsString, starts);
    store(row, entry.lineAsString, entry.lineOffsets, starts);
}

bool SearchLineCache::continuesLine(int row) {
    if (row <= 0 || row >= terminal.displayBuffer().lines().count()) return false;
    if (!linesCache || size_t(row) >= linesCache->size()) return isWrappedRow(terminal.displayBuffer(), row);
    int32_t& slot = (*linesCache)[size_t(row)];
    if (slot == continuationRow) return true;
    if (slot >= 0) return false;
    const bool wrapped = isWrappedRow(terminal.displayBuffer(), row);
    if (wrapped) slot = continuationRow;
    return wrapped;
}

SearchLineCache::CachedLine* SearchLineCache::lineFromCache(int row) {
    if (!linesCache || row < 0 || size_t(row) >= linesCache->size()) return nullptr;
    const int32_t index = (*linesCache)[size_t(row)];
    return index < 0 ? nullptr : &_lines[size_t(index)];
}

SearchLineCache::CachedLine* SearchLineCache::cachedLine(int row) {
    if (CachedLine* line = lineFromCache(row)) return line;
    if (!linesCache || row < 0 || size_t(row) >= linesCache->size()) return nullptr;
    buildLine(row, true, _text, _offsets, _starts);
    store(row, _text, _offsets, _starts);
    return &_lines.back();
}

std::string_view SearchLineCache::foldedAscii(CachedLine& line) {
    if (line.foldedAscii.data() != nullptr) return line.foldedAscii;
    const std::string_view text = line.lineAsString;
    char* folded = _chars.allocate(text.size() + 1);
    // Eight bytes at a time: a byte from 'A' to 'Z' (high bit clear) gains 0x20.
    constexpr uint64_t ones = 0x0101010101010101ull;
    constexpr uint64_t highs = 0x8080808080808080ull;
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        const uint64_t low = word & ~highs;
        const uint64_t aboveZ = low + ones * (0x80 - 'Z' - 1);
        const uint64_t fromA = low + ones * (0x80 - 'A');
        const uint64_t upper = (fromA ^ aboveZ) & ~word & highs;
        word |= upper >> 2;
        std::memcpy(folded + i, &word, 8);
    }
    for (; i < text.size(); ++i) {
        const char c = text[i];
        folded[i] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    line.foldedAscii = std::string_view(folded, text.size());
    return line.foldedAscii;
}

// Keeps the blocks: the next filling reuses them.
void SearchLineCache::clear() {
    if (linesCache) _spareSlots = std::move(*linesCache);
    linesCache.reset();
    lastAccessTimestamp = 0;
    _lines.clear();
    _chars.clear();
    _numbers.clear();
}

// MARK: Engine

namespace {

// How often a byte shows in terminal text, roughly (0 rare, 255 everywhere): a plain search skims for the
// rarest byte of its key and compares the rest only where that byte shows.
constexpr std::array<uint8_t, 256> byteFrequency = [] {
    std::array<uint8_t, 256> f{};
    for (int c = 0; c < 256; ++c)
        f[size_t(c)] = c >= 0x80 ? 100 : 40;
    const char* const letters = "etaoinsrhldcumfpgwybvkxjqz";
    for (int i = 0; letters[i] != 0; ++i) {
        f[size_t(letters[i])] = uint8_t(220 - i * 7);
        f[size_t(letters[i] - 'a' + 'A')] = uint8_t(110 - i * 3);
    }
    for (int c = '0'; c <= '9'; ++c)
        f[size_t(c)] = 130;
    f[' '] = 255;
    for (char c : std::string_view(".-/_:,=\"'()[]"))
        f[size_t(uint8_t(c))] = 90;
    return f;
}();

// The key of a plain search and the position of its rarest byte.
struct Needle {
    std::string key;
    size_t rare = 0;

    explicit Needle(std::string text)
        : key(std::move(text)) {
        for (size_t i = 1; i < key.size(); ++i)
            if (byteFrequency[uint8_t(key[i])] < byteFrequency[uint8_t(key[rare])]) rare = i;
    }
};

} // namespace

// What one search compares with, made once per search.
struct SearchEngine::Matcher {
    std::string term;
    int64_t termCharacters = 0;
    bool caseInsensitive = true;
    bool regex = false;
    bool wholeWord = false;
    // Plain text: the term's key.
    Needle needle{std::string()};
    // Regular expression: null when the pattern does not compile.
    std::unique_ptr<URegularExpression, RegexCloser> pattern;
    // The regular-expression engine gave up (time limit, stack): the whole search finds nothing.
    bool failed = false;
    // The line being searched in UTF-16 and where each character starts in it (empty: one unit each).
    std::u16string utf16;
    std::vector<int32_t> utf16Starts;
    // A forward search of this logical line from this column found nothing. Whether a match at a given
    // character is taken does not depend on where the search started (every start is tried in order, and
    // the pattern sees the whole line), so none from a later column finds one either: the rows that
    // continue the line are not searched again.
    int exhaustedRow = -1;
    int64_t exhaustedCol = 0;
    // The last row walked up to the start of its logical line, and that start.
    int walkedRow = -1;
    int walkedFirst = -1;

    Matcher(const std::string& term, const std::optional<SearchOptions>& options)
        : term(term)
        , termCharacters(GraphemeBreaks::count(term)) {
        if (options) {
            caseInsensitive = !options->caseSensitive;
            regex = options->regex;
            wholeWord = options->wholeWord;
        }
        if (!regex) {
            needle = Needle(termKey(term, caseInsensitive));
            return;
        }
        UErrorCode status = U_ZERO_ERROR;
        std::u16string pattern16(term.size() + 1, u'\0');
        int32_t length = 0;
        u_strFromUTF8WithSub(pattern16.data(), int32_t(pattern16.size()), &length, term.data(),
                             int32_t(term.size()), 0xFFFD, nullptr, &status);
        if (U_FAILURE(status)) return;
        UParseError parseError;
        URegularExpression* compiled = uregex_open(
            pattern16.data(), length, caseInsensitive ? UREGEX_CASE_INSENSITIVE : 0, &parseError, &status);
        if (U_FAILURE(status)) {
            uregex_close(compiled);
            return;
        }
        pattern.reset(compiled);
        uregex_setTimeLimit(compiled, regexTimeLimit, &status);
        // Anchors and look-arounds see the whole logical line, not the cut where the search starts: a
        // search from inside a line then finds what a search of the whole line finds there.
        uregex_useTransparentBounds(compiled, true, &status);
        uregex_useAnchoringBounds(compiled, false, &status);
        if (U_FAILURE(status)) pattern.reset();
    }
};

namespace {

struct Match {
    int64_t start = 0;
    int64_t length = 0;
};

// Plain text: the first acceptable occurrence starting at or after character p, or with reverse the last one
// ending at or before it. An occurrence that does not fall on character boundaries, or that accept turns
// down, is passed over and the scan goes on.
template<class Accept>
std::optional<Match> findPlain(std::string_view text, std::span<const int32_t> starts, const Needle& needle,
                               int64_t p, bool reverse, Accept&& accept) {
    const std::string& key = needle.key;
    const size_t n = key.size();
    if (n == 0 || n > text.size()) return std::nullopt;
    const size_t rare = needle.rare;
    const char rareByte = key[rare];
    const int64_t limit = keyOffsetOf(starts, p);
    auto check = [&](size_t at) -> std::optional<Match> {
        if (std::memcmp(text.data() + at, key.data(), n) != 0) return std::nullopt;
        const int64_t first = keyCharacterAt(starts, int64_t(at));
        const int64_t last = keyCharacterAt(starts, int64_t(at + n));
        if (first < 0 || last < 0 || !accept(first, last - first)) return std::nullopt;
        return Match{first, last - first};
    };
    if (!reverse) {
        // Candidates start in [limit, size - n]: their rare byte lies in [limit + rare, size - n + rare].
        size_t from = size_t(limit);
        while (from + n <= text.size()) {
            const char* base = text.data() + from + rare;
            const void* found = std::memchr(base, rareByte, text.size() - n + 1 - from);
            if (found == nullptr) return std::nullopt;
            const size_t at = size_t(static_cast<const char*>(found) - text.data()) - rare;
            if (auto match = check(at)) return match;
            from = at + 1;
        }
        return std::nullopt;
    }
    if (size_t(limit) < n) return std::nullopt;
    // Candidates end at or before the limit: they start in [0, limit - n].
    size_t count = size_t(limit) - n + 1;
    while (count > 0) {
        const void* found = memrchr(text.data() + rare, rareByte, count);
        if (found == nullptr) return std::nullopt;
        const size_t at = size_t(static_cast<const char*>(found) - text.data()) - rare;
        if (auto match = check(at)) return match;
        count = at;
    }
    return std::nullopt;
}

} // namespace

SearchEngine::SearchEngine(Terminal& terminal, SearchLineCache& lineCache)
    : terminal(terminal)
    , lineCache(lineCache) {}

SearchEngine::~SearchEngine() = default;

int64_t SearchEngine::bufferColsToStringOffset(int startRow, int64_t cols) const {
    if (cols <= 0) return 0;
    const Buffer& buffer = terminal.displayBuffer();
    const int64_t width = terminal.cols();
    int64_t offset = 0;
    int64_t row = startRow;
    int64_t column = cols;
    while (row >= 0 && row < buffer.lines().count()) {
        const int64_t n = std::min(width, column);
        if (const BufferLine* line = peekRow(buffer, row)) {
            // Reading past the row's cells reads its last cell.
            for (int64_t c = 0; c < n; ++c)
                if ((*line)[int(c)].width() >= 1) ++offset;
        } else if (n > 0) {
            offset += n;
        }
        column -= width;
        if (column <= 0 || !isWrappedRow(buffer, row + 1)) break;
        ++row;
    }
    return offset;
}

int64_t SearchEngine::stringLengthToBufferSize(int row, int64_t offset) const {
    const Buffer& buffer = terminal.displayBuffer();
    if (row < 0 || row >= buffer.lines().count() || offset == 0) return 0;
    if (offset < 0) return offset;
    const BufferLine* line = peekRow(buffer, row);
    if (line == nullptr) return offset;
    int64_t result = offset;
    const int count = line->count();
    for (int64_t c = 0; c < result && c + 1 < count; ++c)
        if ((*line)[int(c)].width() == 2 && (*line)[int(c + 1)].width() == 0) ++result;
    return result;
}

bool SearchEngine::isNonWordCharacter(const SearchLineCache::CachedLine& line, int64_t index) const {
    const int32_t from = line.byteOffset(index);
    const int32_t to = line.byteOffset(index + 1);
    return to - from == 1 &&
           nonWordCharacters.find(line.lineAsString[size_t(from)]) != std::string_view::npos;
}

bool SearchEngine::isWholeWord(const SearchLineCache::CachedLine& line, int64_t searchIndex,
                               int64_t length) const {
    const bool startsWord = searchIndex == 0 || isNonWordCharacter(line, searchIndex - 1);
    const int64_t after = searchIndex + length;
    const bool endsWord = after >= line.characterCount() || isNonWordCharacter(line, after);
    return startsWord && endsWord;
}

std::optional<SearchResult> SearchEngine::findInLine(Matcher& matcher, SearchPosition& searchPosition,
                                                     bool isReverseSearch) {
    const Buffer& buffer = terminal.displayBuffer();
    const int64_t cols = terminal.cols();
    if (searchPosition.row < 0 || searchPosition.row >= buffer.lines().count()) return std::nullopt;
    // A row that continues another is searched with the row that starts its logical line. A continuation
    // on the first row held has lost its start: it starts the line itself.
    const int startedAt = int(searchPosition.row);
    if (lineCache.continuesLine(startedAt)) {
        searchPosition.col += cols;
        if (isReverseSearch) return std::nullopt;
        --searchPosition.row;
        while (lineCache.continuesLine(int(searchPosition.row))) {
            if (searchPosition.row == matcher.walkedRow) {
                searchPosition.col += cols * (searchPosition.row - matcher.walkedFirst);
                searchPosition.row = matcher.walkedFirst;
                break;
            }
            searchPosition.col += cols;
            --searchPosition.row;
        }
        matcher.walkedRow = startedAt;
        matcher.walkedFirst = int(searchPosition.row);
    }
    const int row = int(searchPosition.row);
    if (matcher.failed || (matcher.regex && !matcher.pattern)) return std::nullopt;
    if (!isReverseSearch && row == matcher.exhaustedRow && searchPosition.col >= matcher.exhaustedCol)
        return std::nullopt;

    SearchLineCache::CachedLine* cached = lineCache.cachedLine(row);
    if (cached == nullptr) return std::nullopt;
    SearchLineCache::CachedLine& line = *cached;
    const int64_t characters = line.characterCount();
    const int64_t p = std::min(bufferColsToStringOffset(row, searchPosition.col), characters);
    auto accept = [&](int64_t start, int64_t length) {
        return length > 0 && (!matcher.wholeWord || isWholeWord(line, start, length));
    };

    std::optional<Match> match;
    if (matcher.regex) {
        // The line in UTF-16, for the regular-expression engine.
        const std::string_view text = line.lineAsString;
        std::u16string& utf16 = matcher.utf16;
        std::vector<int32_t>& utf16Starts = matcher.utf16Starts;
        utf16.clear();
        utf16Starts.clear();
        if (line.isSimple()) {
            utf16.resize(text.size());
            const uint8_t* from = reinterpret_cast<const uint8_t*>(text.data());
            char16_t* to = utf16.data();
            for (size_t k = 0; k < text.size(); ++k)
                to[k] = from[k];
        } else {
            utf16.reserve(text.size());
            size_t next = 0;
            int32_t i = 0;
            while (i < int32_t(text.size())) {
                if (next < line.characterStarts.size() && line.characterStarts[next] == i) {
                    utf16Starts.push_back(int32_t(utf16.size()));
                    ++next;
                }
                UChar32 c = 0;
                U8_NEXT(text.data(), i, int32_t(text.size()), c);
                if (c < 0) c = 0xFFFD;
                if (U16_LENGTH(c) == 1) {
                    utf16 += char16_t(c);
                } else {
                    utf16 += U16_LEAD(c);
                    utf16 += U16_TRAIL(c);
                }
            }
            utf16Starts.push_back(int32_t(utf16.size()));
        }
        const int64_t length16 = int64_t(utf16.size());
        auto characterAt16 = [&](int64_t at) { return keyCharacterAt(utf16Starts, at); };
        const int64_t p16 = keyOffsetOf(utf16Starts, p);
        URegularExpression* regex = matcher.pattern.get();
        UErrorCode status = U_ZERO_ERROR;
        uregex_setText(regex, utf16.data(), int32_t(length16), &status);
        // The match as characters when it is taken; one that does not fall on character boundaries is not.
        auto consider = [&](int64_t start16, int64_t end16) -> std::optional<Match> {
            const int64_t first = characterAt16(start16);
            const int64_t last = characterAt16(end16);
            if (first < 0 || last < 0 || !accept(first, last - first)) return std::nullopt;
            return Match{first, last - first};
        };
        if (!isReverseSearch) {
            int64_t from = p16;
            while (U_SUCCESS(status) && from <= length16) {
                uregex_setRegion64(regex, from, length16, &status);
                if (!uregex_findNext(regex, &status) || U_FAILURE(status)) break;
                const int64_t start16 = uregex_start64(regex, 0, &status);
                const int64_t end16 = uregex_end64(regex, 0, &status);
                if ((match = consider(start16, end16))) break;
                // Go on from the character after the rejected match's start.
                const int64_t first = characterAt16(start16);
                from = first >= 0 ? keyOffsetOf(utf16Starts, std::min(first + 1, characters)) : start16 + 1;
                if (first >= characters) break;
            }
        } else {
            uregex_setRegion64(regex, 0, p16, &status);
            // The last acceptable match of the line before the cursor.
            while (U_SUCCESS(status) && uregex_findNext(regex, &status) && U_SUCCESS(status)) {
                const int64_t start16 = uregex_start64(regex, 0, &status);
                const int64_t end16 = uregex_end64(regex, 0, &status);
                if (auto accepted = consider(start16, end16)) match = accepted;
            }
        }
        if (U_FAILURE(status)) {
            matcher.failed = true;
            return std::nullopt;
        }
    } else {
        if (isReverseSearch && p < matcher.termCharacters) return std::nullopt;
        if (line.isSimple()) {
            // A line of single-byte characters is its own exact key, or its lower-cased copy.
            const std::string_view text =
                matcher.caseInsensitive ? lineCache.foldedAscii(line) : line.lineAsString;
            match = findPlain(text, {}, matcher.needle, p, isReverseSearch, accept);
        } else {
            std::unique_ptr<SearchLineCache::MatchKey>& key =
                matcher.caseInsensitive ? line.foldedKey : line.exactKey;
            if (!key) key = makeLineKey(line, matcher.caseInsensitive);
            match = findPlain(key->text, key->starts, matcher.needle, p, isReverseSearch, accept);
        }
    }

    if (!match) {
        if (!isReverseSearch) {
            matcher.exhaustedRow = row;
            matcher.exhaustedCol = searchPosition.col;
        }
        return std::nullopt;
    }

    // Place the match on the rows of the logical line.
    const std::span<const int32_t> offsets = line.lineOffsets;
    const int64_t i = match->start;
    const int64_t n = match->length;
    const size_t k = offsets.size() - 1;
    size_t j = k;
    for (size_t r = 0; r < k; ++r) {
        if (i < offsets[r + 1]) {
            j = r;
            break;
        }
    }
    size_t m = k;
    for (size_t r = j + 1; r <= k; ++r) {
        if (i + n < offsets[r]) {
            m = r - 1;
            break;
        }
    }
    const int64_t startCol = stringLengthToBufferSize(row + int(j), i - offsets[j]);
    const int64_t endCol = stringLengthToBufferSize(row + int(m), i + n - offsets[m]);
    SearchResult result;
    if (matcher.regex) {
        const int32_t from = line.byteOffset(i);
        result.term =
            std::string(line.lineAsString.substr(size_t(from), size_t(line.byteOffset(i + n) - from)));
    } else {
        result.term = matcher.term;
    }
    result.col = startCol;
    result.row = row + int64_t(j);
    result.size = endCol - startCol + cols * int64_t(m - j);
    return result;
}

std::optional<SearchResult> SearchEngine::findNextWithSelection(
    const std::string& term, const std::optional<SearchOptions>& searchOptions,
    const std::optional<std::string>& cachedSearchTerm, const std::optional<SearchSelection>& previous) {
    if (term.empty()) return std::nullopt;
    lineCache.initLinesCache();
    Matcher matcher(term, searchOptions);
    const int64_t lines = terminal.displayBuffer().lines().count();

    SearchPosition cursor;
    if (previous) {
        // The same term goes on after the last match; a new one may match the selected text itself.
        const Position& from =
            cachedSearchTerm && *cachedSearchTerm == term ? previous->end : previous->start;
        cursor = {from.col, from.row};
    }
    const int64_t startRow = cursor.row;
    std::optional<SearchResult> result = findInLine(matcher, cursor, false);
    for (int64_t row = startRow + 1; !result && row < lines && !matcher.failed; ++row) {
        SearchPosition at{0, row};
        result = findInLine(matcher, at, false);
    }
    for (int64_t row = 0; !result && row < std::min(startRow, lines) && !matcher.failed; ++row) {
        SearchPosition at{0, row};
        result = findInLine(matcher, at, false);
    }
    if (!result && previous && !matcher.failed) {
        SearchPosition at{0, previous->start.row};
        result = findInLine(matcher, at, false);
    }
    if (matcher.failed) return std::nullopt;
    return result;
}

std::optional<SearchResult> SearchEngine::findPreviousWithSelection(
    const std::string& term, const std::optional<SearchOptions>& searchOptions,
    const std::optional<std::string>& cachedSearchTerm, const std::optional<SearchSelection>& previous) {
    if (term.empty()) return std::nullopt;
    lineCache.initLinesCache();
    Matcher matcher(term, searchOptions);
    const int64_t lastLine = int64_t(terminal.displayBuffer().lines().count()) - 1;
    const int64_t cols = terminal.cols();

    SearchPosition cursor{cols, lastLine};
    int64_t startRow = lastLine;
    if (previous) {
        cursor = {previous->start.col, previous->start.row};
        startRow = previous->start.row;
        if (!cachedSearchTerm || *cachedSearchTerm != term) {
            // A new term may match the selected text itself.
            if (auto here = findInLine(matcher, cursor, false)) return here;
            if (matcher.failed) return std::nullopt;
            cursor = {previous->end.col, previous->end.row};
            startRow = previous->end.row;
        }
    }
    std::optional<SearchResult> result = findInLine(matcher, cursor, true);
    // The column only grows from here, by cols at every continuation row passed, so that each logical line
    // is searched whole from its first row.
    cursor.col = std::max(cursor.col, cols);
    for (int64_t row = std::min(startRow, lastLine + 1) - 1; !result && row >= 0 && !matcher.failed; --row) {
        cursor.row = row;
        result = findInLine(matcher, cursor, true);
    }
    if (!result && startRow != lastLine) {
        for (int64_t row = lastLine; !result && row >= std::max<int64_t>(startRow, 0) && !matcher.failed;
             --row) {
            cursor.row = row;
            result = findInLine(matcher, cursor, true);
        }
    }
    if (matcher.failed) return std::nullopt;
    return result;
}

// MARK: Service

SearchService::SearchService(Terminal& terminal)
    : terminal(terminal)
    , lineCache(terminal)
    , engine(terminal, lineCache) {}

template<class Find>
std::optional<SearchResult> SearchService::find(const std::string& term, const SearchOptions& options,
                                                Find&& engineFind) {
    if (term.empty()) {
        lastResult.reset();
        lastSelection.reset();
        state.cachedSearchTerm.reset();
        state.lastSearchOptions.reset();
        return std::nullopt;
    }
    state.lastSearchOptions = options;
    // A term that is not UTF-8 is not text anyone can see: matching its bytes would stop inside a
    // character and hand back a piece of one.
    std::u32string scalars;
    std::optional<SearchResult> result;
    if (Utf8::decode(term, scalars))
        result = engineFind(term, options, state.cachedSearchTerm, lastSelection);
    state.cachedSearchTerm = term;
    lastResult = result;
    if (!result) {
        lastSelection.reset();
    } else if (result->size < 1) {
        const Position at(result->col, result->row);
        lastSelection = SearchSelection{at, at};
    } else {
        // The end along the rows as if they were joined, as the view computes it.
        const int64_t width = terminal.cols() < 2 ? 1 : terminal.cols();
        const int64_t end = result->row * width + result->col + result->size;
        lastSelection =
            SearchSelection{Position(result->col, result->row), Position(end % width, end / width)};
    }
    return result;
}

std::optional<SearchResult> SearchService::findNext(const std::string& term, const SearchOptions& options) {
    return find(term, options, [this](auto&&... args) { return engine.findNextWithSelection(args...); });
}

std::optional<SearchResult> SearchService::findPrevious(const std::string& term,
                                                        const SearchOptions& options) {
    return find(term, options, [this](auto&&... args) { return engine.findPreviousWithSelection(args...); });
}

void SearchService::invalidate() {
    lineCache.clear();
    lastResult.reset();
    lastSelection.reset();
}

void SearchService::reset() {
    invalidate();
    state.cachedSearchTerm.reset();
    state.lastSearchOptions.reset();
}

} // namespace Tessaline
