// Link detection: the OSC 8 link or the URL or path under a grid position, for the host to underline and
// open. Implicit links are found by one regular expression over the text of the logical line around the
// position, which continues over rows wrapped by printing and over adjacent rows that look like one
// broken URL or path.
//
// The lookup runs on every pointer hover, and the pattern backtracks badly on some rows ("http://" and a
// run of commas): every run of the pattern shares one time budget per lookup, a lookup that runs out of it
// finds no implicit link, and the joined text it scans is bounded.
#include "Terminal.h"

#include "Utf8.h"

#include <unicode/uchar.h>
#include <unicode/uregex.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <any>
#include <array>
#include <chrono>
#include <map>

namespace Tessaline {

namespace {

using Clock = std::chrono::steady_clock;

// The most the seam test reads on each side of a row seam.
constexpr int seamWindow = 96;
// The joined text of a lookup reaches at most this many cells (whole rows, at least one) above and below
// the looked-up row. The pattern's look-ahead for a "." makes a long run of word characters cost the
// square of its length: 700 cells of a hash take a few tens of milliseconds, well within the budget.
constexpr int scanCellsEachSide = 384;
// The time all runs of the pattern in one lookup may take together.
constexpr auto lookupTimeBudget = std::chrono::milliseconds(50);
// ICU's own limit on one run, in its units of matching work (a few hundred microseconds each); the
// budget above is the tighter bound, this one stands in should the clock checks ever stop.
constexpr int32_t patternTimeLimit = 200;

// A URL; or a path with an explicit start, which may go on past single spaces; or a relative path with a
// "." in it.
constexpr const char* quenvraImplicitLinkPattern =
    R"re((?:https?://|mailto:|ftp://|file:|ssh:|git://|ssh://|tel:|magnet:|ipfs://|ipns://|gemini://|gopher://|news:)(?:(?:\[[:0-9a-fA-F]+(?:[:0-9a-fA-F]*)+\](?::[0-9]+)?)|[\w\-.~:/?#@!$&*+,;=%]+(?:[\(\[]\w*[\)\]])?)+(?<![,.])|(?:\.\.\/|\.\/|(?<!\w)~\/|(?:[\w][\w\-.]*\/)*(?<!\w)\$[A-Za-z_]\w*\/|\.[\w][\w\-.]*\/|(?<![\w~\/])\/(?!\/))(?:(?=[\w\-.~:\/?#@!$&*+;=%]*\.)[\w\-.~:\/?#@!$&*+;=%]+(?:(?<!:) (?!\w+:\/\/)[\w\-.~:\/?#@!$&*+;=%]*[\/.])*(?<!:)(?: +(?= *$))?|(?![\w\-.~:\/?#@!$&*+;=%]*\.)[\w\-.~:\/?#@!$&*+;=%]+(?:(?<!:) (?!\w+:\/\/)[\w\-.~:\/?#@!$&*+;=%]+)*(?<!:)(?: +(?= *$))?)|(?=[\w\-.~:\/?#@!$&*+;=%]*\.)(?<!\w)[\w][\w\-.]*\/[\w\-.~:\/?#@!$&*+;=%]+(?:(?<!:) (?!\w+:\/\/)[\w\-.~:\/?#@!$&*+;=%]*[\/.])*(?<!:)(?: +(?= *$))?)re";

struct RegexCloser {
    void operator()(URegularExpression* regex) const { uregex_close(regex); }
};
using RegexPtr = std::unique_ptr<URegularExpression, RegexCloser>;

// Compiled once per process; null when it does not compile (then there are no implicit links).
const URegularExpression* quenvraImplicitLinkRegex() {
    static const RegexPtr regex = [] {
        UErrorCode status = U_ZERO_ERROR;
        UParseError where;
        RegexPtr compiled(uregex_openC(quenvraImplicitLinkPattern, 0, &where, &status));
        return U_SUCCESS(status) ? std::move(compiled) : RegexPtr();
    }();
    return regex.get();
}

// The characters that may sit on either side of a seam between two rows of one broken URL or path.
constexpr std::array<bool, 128> quenvraContinuationCharacters = [] {
    std::array<bool, 128> set{};
    const char* members =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~:/?#[]@!$&*+,;=%()";
    for (const char* c = members; *c != 0; ++c)
        set[size_t(*c)] = true;
    return set;
}();

// One lookup's runs of the pattern: a clone of the shared pattern with the lookup's deadline.
class PatternRunner {
public:
    // The budget starts once the pattern is compiled: the first lookup of the process pays for that.
    PatternRunner()
        : _deadline((quenvraImplicitLinkRegex(), Clock::now() + lookupTimeBudget)) {}
    // The pattern's callback holds this object's address.
    PatternRunner(const PatternRunner&) = delete;
    PatternRunner& operator=(const PatternRunner&) = delete;

    bool hasPattern() const { return quenvraImplicitLinkRegex() != nullptr; }
    // Once the budget is spent, every later run finds nothing.
    bool timedOut() const { return _timedOut; }

    // Calls found(start, end) with each match, in UTF-16 units, until it answers true. False when there is
    // no pattern, the time ran out, or no call answered true.
    template<class Found>
    bool search(std::u16string_view text, Found&& found) {
        if (_timedOut || !prepare()) return false;
        if (Clock::now() >= _deadline) {
            _timedOut = true;
            return false;
        }
        UErrorCode status = U_ZERO_ERROR;
        uregex_setText(_regex.get(), reinterpret_cast<const UChar*>(text.data()), int32_t(text.size()),
                       &status);
        while (U_SUCCESS(status) && uregex_findNext(_regex.get(), &status)) {
            const int32_t start = uregex_start(_regex.get(), 0, &status);
            const int32_t end = uregex_end(_regex.get(), 0, &status);
            if (U_FAILURE(status)) break;
            if (found(int(start), int(end))) return true;
        }
        if (status == U_REGEX_TIME_OUT || status == U_REGEX_STOPPED_BY_CALLER) _timedOut = true;
        return false;
    }

private:
    // The clone is made on the first run: most lookups end at an explicit link or an empty row.
    bool prepare() {
        if (_regex) return true;
        const URegularExpression* shared = quenvraImplicitLinkRegex();
        if (shared == nullptr || _failed) return false;
        UErrorCode status = U_ZERO_ERROR;
        RegexPtr clone(uregex_clone(shared, &status));
        if (U_SUCCESS(status)) uregex_setTimeLimit(clone.get(), patternTimeLimit, &status);
        if (U_SUCCESS(status))
            uregex_setMatchCallback(clone.get(), &PatternRunner::withinBudget, this, &status);
        if (U_FAILURE(status)) {
            _failed = true;
            return false;
        }
        _regex = std::move(clone);
        return true;
    }

    static UBool U_CALLCONV withinBudget(const void* context, int32_t) {
        return Clock::now() < static_cast<const PatternRunner*>(context)->_deadline;
    }

    Clock::time_point _deadline;
    RegexPtr _regex;
    bool _failed = false;
    bool _timedOut = false;
};

// Whether the match [start, end) of the text ends on whole scalars, so that it names whole characters.
bool convertsToText(std::u16string_view text, int start, int end) {
    auto splits = [&](int i) { return i > 0 && i < int(text.size()) && U16_IS_TRAIL(text[size_t(i)]); };
    return !splits(start) && !splits(end);
}

std::string utf8Of(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        UChar32 scalar;
        U16_NEXT(text.data(), i, text.size(), scalar);
        Utf8::append(out, uint32_t(scalar));
    }
    return out;
}

// The match is no link when it directly follows a "$" (a shell variable that merely looks like one).
bool followsDollar(std::u16string_view text, int start) {
    return start > 0 && text[size_t(start - 1)] == u'$';
}

// The steps of one lookup in one buffer. Rows are read without being made: a row the ring has not made
// yet reads as a row with no cells.
class LinkFinder {
public:
    using LinkMatch = Terminal::LinkMatch;

    LinkFinder(const Terminal& terminal, const Buffer& buffer)
        : _terminal(terminal)
        , _buffer(buffer)
        , _cols(terminal.cols())
        , _band(std::max(terminal.cols() / 5, 2))
        , _rowsEachSide(std::max(scanCellsEachSide / std::max(terminal.cols(), 1), 1)) {}

    std::optional<Position> resolveLinkLocation(const Terminal::LinkLookupLocation& location) const;
    std::optional<uint16_t> payloadCode(int col, int row) const;
    std::optional<LinkMatch> explicitLinkMatch(Position at) const;
    std::optional<LinkMatch> implicitLinkMatch(Position at);

private:
    // One character of a line map and the cell behind it.
    struct QuenvraImplicitCellRef {
        int row = 0;
        int col = 0;
        int width = 1;
    };
    // The joined text of a logical line, one cell reference per character, and where each character
    // starts in the text (plus the end), in UTF-16 units.
    struct QuenvraImplicitLineMap {
        std::u16string text;
        std::vector<QuenvraImplicitCellRef> cells;
        std::vector<int> starts;
        int targetRow = 0;
        int targetCol = 0;
    };
    // The first and the last cell of a row that are not whitespace, with their cell codes.
    struct LinkRowEdgeInfo {
        int firstCol = 0;
        int32_t firstCode = 0;
        int lastCol = 0;
        int32_t lastCode = 0;
    };
    struct RowSpan {
        int startRow = 0;
        int endRow = 0;
    };

    const BufferLine* lineAt(int row) const {
        if (row < 0 || row >= _buffer.lines().count()) return nullptr;
        return _buffer.lines().peek(row).get();
    }
    // Cells of the line within the terminal's width.
    int usable(const BufferLine& line) const { return std::min(line.count(), _cols); }
    static bool isSecondCell(const BufferLine& line, int col) {
        return col > 0 && line[col].code == 0 && line[col - 1].width() == 2;
    }

    template<class Visit>
    void forEachScalar(int32_t code, Visit&& visit) const;
    bool isWhitespace(int32_t code) const;
    bool isContinuationCharacter(int32_t code) const;
    void appendCharacter(std::u16string& text, int32_t code) const;

    std::optional<QuenvraImplicitLineMap> buildQuenvraImplicitLineMap(Position at);
    std::optional<RowSpan> heuristicImplicitGroup(int row, int lowest, int highest);
    bool isImplicitContinuationRow(int row, int startRow);
    bool canJoinImplicitRows(int upper, int lower);
    std::optional<LinkRowEdgeInfo> linkRowEdgeInfo(int row) const;
    bool seamContainsQuenvraImplicitLink(int upper, int lower, int upperLastCol, int lowerFirstCol);
    std::u16string implicitLineSegmentText(const BufferLine& line, int startCol, int endCol) const;

    const Terminal& _terminal;
    const Buffer& _buffer;
    const int _cols;
    // The edge band: the last columns of a row, where a row's text must end to be joined to the next.
    const int _band;
    const int _rowsEachSide;
    PatternRunner _pattern;
};

template<class Visit>
void LinkFinder::forEachScalar(int32_t code, Visit&& visit) const {
    if (code > CharData::graphemeCodeBase) {
        const std::optional<std::string_view> text = _terminal.graphemes().text(code);
        if (!text || text->empty()) {
            visit(UChar32(' '));
            return;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(text->data());
        const int32_t length = int32_t(text->size());
        for (int32_t i = 0; i < length;) {
            UChar32 scalar;
            U8_NEXT(bytes, i, length, scalar);
            visit(scalar < 0 ? UChar32(0xFFFD) : scalar);
        }
        return;
    }
    if (code <= 0 || !Utf8::isScalar(uint32_t(code))) {
        visit(UChar32(' '));
        return;
    }
    visit(UChar32(code));
}

bool LinkFinder::isWhitespace(int32_t code) const {
    bool first = true;
    bool whitespace = false;
    forEachScalar(code, [&](UChar32 scalar) {
        if (first) whitespace = u_isUWhiteSpace(scalar);
        first = false;
    });
    return whitespace;
}

bool LinkFinder::isContinuationCharacter(int32_t code) const {
    bool all = true;
    forEachScalar(code, [&](UChar32 scalar) {
        all = all && scalar < 128 && quenvraContinuationCharacters[size_t(scalar)];
    });
    return all;
}

void LinkFinder::appendCharacter(std::u16string& text, int32_t code) const {
    forEachScalar(code, [&](UChar32 scalar) {
        if (scalar <= 0xFFFF) {
            text += char16_t(scalar);
        } else {
            text += char16_t(U16_LEAD(scalar));
            text += char16_t(U16_TRAIL(scalar));
        }
    });
}

// MARK: Location and explicit links

std::optional<Position> LinkFinder::resolveLinkLocation(const Terminal::LinkLookupLocation& location) const {
    int64_t row = location.position.row;
    if (location.kind == Terminal::LinkLookupLocation::Kind::screen) row += _buffer.yDisp();
    const int count = _buffer.lines().count();
    if (count == 0) return std::nullopt;
    return Position(std::clamp<int64_t>(location.position.col, 0, _cols - 1),
                    std::clamp<int64_t>(row, 0, count - 1));
}

std::optional<uint16_t> LinkFinder::payloadCode(int col, int row) const {
    const BufferLine* line = lineAt(row);
    if (line == nullptr) return std::nullopt;
    const int n = usable(*line);
    if (n == 0) return std::nullopt;
    col = std::clamp(col, 0, n - 1);
    if (const uint16_t code = (*line)[col].payload().code; code != 0) return code;
    if (isSecondCell(*line, col)) {
        const uint16_t code = (*line)[col - 1].payload().code;
        if (code != 0) return code;
    }
    return std::nullopt;
}

// An explicit link covers only the looked-up row: each row of a link printed over several rows is found
// from a position on that row.
std::optional<Terminal::LinkMatch> LinkFinder::explicitLinkMatch(Position at) const {
    const int row = int(at.row);
    const std::optional<uint16_t> code = payloadCode(int(at.col), row);
    if (!code) return std::nullopt;
    const BufferLine& line = *lineAt(row);
    const int n = usable(line);
    const int col = std::clamp(int(at.col), 0, n - 1);
    int start = col;
    while (start > 0 && line[start - 1].payload().code == *code)
        --start;
    int end = col;
    while (end < n && line[end].payload().code == *code)
        ++end;

    const std::any* value = _terminal.payload(line[col]);
    const std::string* text = value ? std::any_cast<std::string>(value) : nullptr;
    if (text == nullptr) {
        const std::any* left = _terminal.payload(line[std::max(col - 1, 0)]);
        text = left ? std::any_cast<std::string>(left) : nullptr;
    }
    if (text == nullptr) return std::nullopt;
    std::optional<std::string> uri = Terminal::parseHyperlinkPayload(*text);
    if (!uri) return std::nullopt;
    const LinkMatch::Range range{start, end};
    return LinkMatch{std::move(*uri), row, range, true, {{row, range}}};
}

// MARK: Rows and seams

std::optional<LinkFinder::LinkRowEdgeInfo> LinkFinder::linkRowEdgeInfo(int row) const {
    const BufferLine* line = lineAt(row);
    if (line == nullptr || usable(*line) == 0) return std::nullopt;
    const int trimmed = line->getTrimmedLength();
    if (trimmed == 0) return std::nullopt;
    const int j = std::min(trimmed, usable(*line));
    // A wide character's second cell stands for the character, at its own column.
    auto codeAt = [&](int col) {
        return isSecondCell(*line, col) ? (*line)[col - 1].code : (*line)[col].code;
    };
    int first = 0;
    while (first < j && isWhitespace(codeAt(first)))
        ++first;
    if (first == j) return std::nullopt;
    int last = j - 1;
    while (last >= first && isWhitespace(codeAt(last)))
        --last;
    if (last < first) return std::nullopt;
    return LinkRowEdgeInfo{first, codeAt(first), last, codeAt(last)};
}

std::u16string LinkFinder::implicitLineSegmentText(const BufferLine& line, int startCol, int endCol) const {
    std::u16string text;
    for (int col = std::max(startCol, 0); col < std::min(endCol, line.count()); ++col)
        if (!isSecondCell(line, col)) appendCharacter(text, line[col].code);
    return text;
}

bool LinkFinder::seamContainsQuenvraImplicitLink(int upper, int lower, int upperLastCol, int lowerFirstCol) {
    const BufferLine* upperLine = lineAt(upper);
    const BufferLine* lowerLine = lineAt(lower);
    if (!_pattern.hasPattern() || upperLine == nullptr || lowerLine == nullptr) return false;
    const int b = std::min(upperLastCol + 1, usable(*upperLine));
    if (b < 1) return false;
    std::u16string text = implicitLineSegmentText(*upperLine, std::max(b - seamWindow, 0), b);
    if (text.empty()) return false;
    const int t = std::min(lowerLine->getTrimmedLength(), usable(*lowerLine));
    if (lowerFirstCol >= t) return false;
    const std::u16string lowerText =
        implicitLineSegmentText(*lowerLine, lowerFirstCol, std::min(lowerFirstCol + seamWindow, t));
    if (lowerText.empty()) return false;
    const int seam = int(text.size());
    text += lowerText;
    return _pattern.search(text, [&](int start, int end) {
        return start < seam && seam < end && convertsToText(text, start, end) && !followsDollar(text, start);
    });
}

bool LinkFinder::canJoinImplicitRows(int upper, int lower) {
    const std::optional<LinkRowEdgeInfo> above = linkRowEdgeInfo(upper);
    const std::optional<LinkRowEdgeInfo> below = linkRowEdgeInfo(lower);
    if (!above || !below) return false;
    if (above->lastCol < _cols - _band) return false;
    if (!isContinuationCharacter(above->lastCode) || !isContinuationCharacter(below->firstCode)) return false;
    return seamContainsQuenvraImplicitLink(upper, lower, above->lastCol, below->firstCol);
}

bool LinkFinder::isImplicitContinuationRow(int row, int startRow) {
    if (row <= startRow) return false;
    const BufferLine* line = lineAt(row);
    return (line != nullptr && line->isWrapped) || canJoinImplicitRows(row - 1, row);
}

// Rows written separately that look like one broken URL or path; joins stop at the first seam that fails
// and at the scan bound (lowest and highest row).
std::optional<LinkFinder::RowSpan> LinkFinder::heuristicImplicitGroup(int row, int lowest, int highest) {
    int top = row;
    while (top > lowest && canJoinImplicitRows(top - 1, top))
        --top;
    int bottom = row;
    while (bottom < highest && canJoinImplicitRows(bottom, bottom + 1))
        ++bottom;
    if (top == row && bottom == row) return std::nullopt;
    return RowSpan{top, bottom};
}

// MARK: Implicit links

std::optional<LinkFinder::QuenvraImplicitLineMap> LinkFinder::buildQuenvraImplicitLineMap(Position at) {
    const int targetRow = int(at.row);
    const BufferLine* target = lineAt(targetRow);
    if (target == nullptr || usable(*target) < 1) return std::nullopt;
    int targetCol = std::clamp(int(at.col), 0, usable(*target) - 1);
    if (isSecondCell(*target, targetCol)) --targetCol;

    const int lowest = std::max(targetRow - _rowsEachSide, 0);
    const int highest = std::min(targetRow + _rowsEachSide, _buffer.lines().count() - 1);
    int startRow = targetRow;
    while (startRow > lowest && lineAt(startRow) != nullptr && lineAt(startRow)->isWrapped)
        --startRow;
    int endRow = targetRow;
    while (endRow < highest && lineAt(endRow + 1) != nullptr && lineAt(endRow + 1)->isWrapped)
        ++endRow;
    if (startRow == targetRow && endRow == targetRow) {
        if (const std::optional<RowSpan> group = heuristicImplicitGroup(targetRow, lowest, highest)) {
            startRow = group->startRow;
            endRow = group->endRow;
        }
    }

    QuenvraImplicitLineMap map;
    map.targetRow = targetRow;
    map.targetCol = targetCol;
    bool hitTarget = false;
    for (int row = startRow; row <= endRow; ++row) {
        const BufferLine* line = lineAt(row);
        if (line == nullptr || usable(*line) == 0) continue;
        int used = 0;
        for (int col = usable(*line) - 1; col >= 0; --col) {
            if ((*line)[col].code != 0) {
                used = std::min(col + (*line)[col].width(), usable(*line));
                break;
            }
        }
        if (used < 1) continue;
        int first = 0;
        // A continuation row's leading blanks are indentation, not part of the text.
        if (isImplicitContinuationRow(row, startRow)) {
            while (first < used && isWhitespace((*line)[first].code))
                ++first;
            if (first == used) continue;
        }
        if (row == targetRow && targetCol >= first && targetCol < used) hitTarget = true;
        for (int col = first; col < used; ++col) {
            if (isSecondCell(*line, col)) continue;
            map.starts.push_back(int(map.text.size()));
            appendCharacter(map.text, (*line)[col].code);
            map.cells.push_back({row, col, std::max(int((*line)[col].width()), 1)});
        }
    }
    if (map.text.empty() || map.cells.empty() || !hitTarget) return std::nullopt;
    map.starts.push_back(int(map.text.size()));
    return map;
}

std::optional<Terminal::LinkMatch> LinkFinder::implicitLinkMatch(Position at) {
    std::optional<QuenvraImplicitLineMap> map = buildQuenvraImplicitLineMap(at);
    if (!map || !_pattern.hasPattern() || _pattern.timedOut()) return std::nullopt;
    const std::u16string_view text = map->text;
    const int cellCount = int(map->cells.size());
    std::optional<LinkMatch> answer;
    _pattern.search(text, [&](int start, int end) {
        if (start >= end || !convertsToText(text, start, end) || followsDollar(text, start)) return false;
        // Characters whose text starts at or before the match start, and those starting before its end.
        const int first =
            int(std::upper_bound(map->starts.begin(), map->starts.end(), start) - map->starts.begin()) - 1;
        const int last =
            int(std::lower_bound(map->starts.begin(), map->starts.end(), end) - map->starts.begin());
        if (first >= cellCount || first >= last) return false;

        std::map<int, LinkMatch::Range> rows;
        std::optional<LinkMatch::Range> onTarget;
        bool coversTarget = false;
        for (int i = first; i < std::min(last, cellCount); ++i) {
            const QuenvraImplicitCellRef& cell = map->cells[size_t(i)];
            auto [it, made] = rows.try_emplace(cell.row, LinkMatch::Range{cell.col, cell.col + cell.width});
            if (!made) {
                it->second.lowerBound = std::min(it->second.lowerBound, cell.col);
                it->second.upperBound = std::max(it->second.upperBound, cell.col + cell.width);
            }
            if (cell.row == map->targetRow) {
                onTarget = it->second;
                if (map->targetCol >= cell.col && map->targetCol < cell.col + cell.width) coversTarget = true;
            }
        }
        if (!onTarget || !coversTarget || onTarget->lowerBound >= onTarget->upperBound) return false;
        LinkMatch match{
            utf8Of(text.substr(size_t(start), size_t(end - start))), map->targetRow, *onTarget, false, {}};
        for (const auto& [row, range] : rows)
            match.rowRanges.push_back({row, range});
        answer = std::move(match);
        return true;
    });
    // A lookup that ran out of time has no answer, not a partial one.
    if (_pattern.timedOut()) return std::nullopt;
    return answer;
}

} // namespace

// MARK: Lookup

std::optional<std::string> Terminal::link(const LinkLookupLocation& at, LinkLookupMode mode) {
    std::optional<LinkMatch> match = linkMatch(at, mode);
    if (!match) return std::nullopt;
    return std::move(match->text);
}

std::optional<Terminal::LinkMatch> Terminal::linkMatch(const LinkLookupLocation& at, LinkLookupMode mode) {
    LinkFinder finder(*this, displayBuffer());
    const std::optional<Position> position = finder.resolveLinkLocation(at);
    if (!position) return std::nullopt;
    if (std::optional<LinkMatch> match = finder.explicitLinkMatch(*position)) return match;
    if (mode != LinkLookupMode::explicitAndImplicit) return std::nullopt;
    return finder.implicitLinkMatch(*position);
}

} // namespace Tessaline
