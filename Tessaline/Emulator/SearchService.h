#pragma once

#include "Position.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline {

class Terminal;

// Find in scroll-back: the next or previous occurrence of a term, or of a regular expression, in
// everything the terminal's display buffer holds. A logical line (a row and the rows that continue it)
// is searched as one string, so a match may run over a wrap. Positions count rows from the oldest line
// held in the buffer; offsets in line strings count characters (extended grapheme clusters).

struct SearchOptions {
    bool caseSensitive = false;
    bool regex = false;
    bool wholeWord = false;

    SearchOptions() = default;
    SearchOptions(bool caseSensitive, bool regex, bool wholeWord)
        : caseSensitive(caseSensitive)
        , regex(regex)
        , wholeWord(wholeWord) {}

    bool operator==(const SearchOptions&) const = default;
};

struct SearchResult {
    // The search term, or the matched text of a regular expression.
    std::string term;
    // The match's first cell.
    int64_t col = 0;
    int64_t row = 0;
    // The match's extent in cells along the rows as if they were joined: end column minus start column,
    // plus cols for every row boundary crossed.
    int64_t size = 0;

    bool operator==(const SearchResult&) const = default;
};

// Where the next search starts from (end exclusive).
struct SearchSelection {
    Position start;
    Position end;

    bool operator==(const SearchSelection&) const = default;
};

struct SearchState {
    // The term of the last non-empty search, with its options.
    std::optional<std::string> cachedSearchTerm;
    std::optional<SearchOptions> lastSearchOptions;
};

// Logical-line strings by the row that starts them, kept while searches follow each other within 15
// seconds and the line count does not change.
//
// A full search touches every line, and the view drops the cache whenever output arrives, so the strings
// are built straight into a few large blocks that the cache reuses from one filling to the next instead of
// one allocation per line.
class SearchLineCache {
public:
    // A logical line's string and, for each of its rows, the character offset at which the row's text
    // begins (the first is 0).
    struct Entry {
        std::string lineAsString;
        std::vector<int32_t> lineOffsets;
    };

    // Text in the form a plain search compares: each character's key (its canonical decomposition,
    // case-folded for a case-insensitive search) joined. `starts` holds the byte offset of each
    // character's key and then the text's size; empty when every character is one byte of key.
    struct MatchKey {
        std::string text;
        std::vector<int32_t> starts;
    };

    // A cached line; its texts live in the cache's blocks.
    struct CachedLine {
        std::string_view lineAsString;
        std::span<const int32_t> lineOffsets;
        // The byte offset at which each character (extended grapheme cluster) starts, then the string's
        // size; empty when every character is one byte.
        std::span<const int32_t> characterStarts;
        // Keys made on first use: of a line of single-byte characters only the lower-cased copy, which
        // goes into the blocks; of any other line both, on their own.
        std::string_view foldedAscii;
        std::unique_ptr<MatchKey> exactKey;
        std::unique_ptr<MatchKey> foldedKey;

        bool isSimple() const { return characterStarts.empty(); }
        int64_t characterCount() const {
            return isSimple() ? int64_t(lineAsString.size()) : int64_t(characterStarts.size()) - 1;
        }
        int32_t byteOffset(int64_t character) const {
            return isSimple() ? int32_t(character) : characterStarts[size_t(character)];
        }
    };

    static constexpr double cacheLifetimeSeconds = 15.0;

    explicit SearchLineCache(Terminal& terminal);

    Terminal& terminal;
    // One slot per buffer row: the index of its line in the store, -1 for none. Only rows that start a
    // logical line get a line; a row found to continue the one above is marked continuationRow, so that
    // a search through cached lines does not go back to the rows.
    static constexpr int32_t continuationRow = -2;
    std::optional<std::vector<int32_t>> linesCache;
    double lastAccessTimestamp = 0;

    // Keeps the cache or renews it (see above); run at the start of every search.
    void initLinesCache();
    // The logical line from this row on, its last row trimmed of trailing empty cells with trimRight.
    Entry translateBufferLineToStringWithWrap(int lineIndex, bool trimRight) const;
    // Ignored without a cache or for a row outside it.
    void setLineInCache(int row, const Entry& entry);
    // The cached line of a row, or null.
    CachedLine* lineFromCache(int row);
    // The cached line of a row, built (trimmed) when missing; null without a slot for the row.
    CachedLine* cachedLine(int row);
    // Whether a row continues the row above it; the first row held never does (its start is gone).
    bool continuesLine(int row);
    // The lower-cased copy of a line of single-byte characters.
    std::string_view foldedAscii(CachedLine& line);
    void clear();

private:
    // Blocks of T that hand out runs; clearing keeps the first block for the next filling.
    template<class T>
    class Store {
    public:
        T* allocate(size_t n);
        void clear();

    private:
        static constexpr size_t blockSize = size_t(1) << 18;
        std::vector<std::unique_ptr<T[]>> _blocks;
        std::vector<size_t> _sizes;
        size_t _current = 0;
        size_t _used = 0;
    };

    double now() const;
    // Builds a logical line into the scratch buffers.
    void buildLine(int lineIndex, bool trimRight, std::string& text, std::vector<int32_t>& offsets,
                   std::vector<int32_t>& starts) const;
    void store(int row, std::string_view text, std::span<const int32_t> offsets,
               std::span<const int32_t> starts);

    Store<char> _chars;
    Store<int32_t> _numbers;
    std::vector<CachedLine> _lines;
    std::vector<int32_t> _spareSlots;
    std::string _text;
    std::vector<int32_t> _offsets;
    std::vector<int32_t> _starts;
};

class SearchEngine {
public:
    // The characters that end a word for a whole-word match (the underscore is not one).
    static constexpr std::string_view nonWordCharacters = " ~!@#$%^&*()+`-=[]{}|\\;:\"',./<>?";
    static_assert(nonWordCharacters.size() == 32);
    // The regular-expression engine's limit per match, in its steps (a quarter of a second on a current
    // machine): a pattern that takes longer makes the whole search find nothing.
    static constexpr int32_t regexTimeLimit = 1000;

    SearchEngine(Terminal& terminal, SearchLineCache& lineCache);
    ~SearchEngine();

    Terminal& terminal;
    SearchLineCache& lineCache;

    std::optional<SearchResult> findNextWithSelection(const std::string& term,
                                                      const std::optional<SearchOptions>& searchOptions,
                                                      const std::optional<std::string>& cachedSearchTerm,
                                                      const std::optional<SearchSelection>& previous);
    std::optional<SearchResult> findPreviousWithSelection(const std::string& term,
                                                          const std::optional<SearchOptions>& searchOptions,
                                                          const std::optional<std::string>& cachedSearchTerm,
                                                          const std::optional<SearchSelection>& previous);

    // Column to character offset in the logical line from startRow on (columns past cols continue on the
    // rows that wrap from it); the halves of wide characters do not count.
    int64_t bufferColsToStringOffset(int startRow, int64_t cols) const;
    // Character offset in a row to its column: each wide character before it adds one.
    int64_t stringLengthToBufferSize(int row, int64_t offset) const;

private:
    struct SearchPosition {
        int64_t col = 0;
        int64_t row = 0;
    };
    struct Matcher;

    std::optional<SearchResult> findInLine(Matcher& matcher, SearchPosition& searchPosition,
                                           bool isReverseSearch);
    bool isWholeWord(const SearchLineCache::CachedLine& line, int64_t searchIndex, int64_t length) const;
    bool isNonWordCharacter(const SearchLineCache::CachedLine& line, int64_t index) const;
};

class SearchService {
public:
    explicit SearchService(Terminal& terminal);

    Terminal& terminal;
    SearchState state;
    SearchLineCache lineCache;
    SearchEngine engine;
    // Written by the view before each search (start before end, none without a selection) and by the
    // service after it.
    std::optional<SearchSelection> lastSelection;
    std::optional<SearchResult> lastResult;

    std::optional<SearchResult> findNext(const std::string& term, const SearchOptions& options);
    std::optional<SearchResult> findPrevious(const std::string& term, const SearchOptions& options);
    // New output: the line strings and the last result and selection are forgotten; the term stays.
    void invalidate();
    // The find bar was cleared: as invalidate, and the term and options are forgotten too.
    void reset();

private:
    template<class Find>
    std::optional<SearchResult> find(const std::string& term, const SearchOptions& options,
                                     Find&& engineFind);
};

} // namespace Tessaline
