#include "archive/SnapshotReader.h"

#include "archive/Days.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace {

enum Column { Id, Name, Year, Rank, Average, BayesAverage, UsersRated, ColumnCount };
constexpr std::array<std::string_view, ColumnCount> ColumnNames
    = { "ID", "Name", "Year", "Rank", "Average", "Bayes average", "Users rated" };

// The bytes that end an unquoted field, and the NUL that ends the text.
constexpr std::array<bool, 256> FieldEnds = [] {
    std::array<bool, 256> ends {};
    ends[','] = ends['\n'] = ends['\r'] = ends['\0'] = true;
    return ends;
}();

// The end of the unquoted field at p: the next comma or line end, or end. A
// std::string's bytes end in a NUL, so the scan needs no bounds check; a NUL
// before the end is text.
char *FieldEnd(char *p, const char *end)
{
    for (;;) {
        while (!FieldEnds[uint8_t(*p)])
            ++p;
        if (*p != '\0' || p == end)
            return p;
        ++p;
    }
}

// Splits the next record into fields, undoing quotes in place. A field that
// starts with a quote runs to the closing quote; text after the closing quote
// is kept, and a missing closing quote ends the field at the end of the file.
// Names hold no line ends: a line end inside quotes is a stray quote's, which
// would take every line up to the next quote. It ends the record there, marked
// broken, and the next record starts on the next line. end must be the end
// of a std::string's bytes.
bool NextRecord(char *&p, char *const end, std::vector<std::string_view> &fields, bool &broken)
{
    fields.clear();
    broken = false;
    if (p == end)
        return false;
    for (;;) {
        char *const start = p;
        if (*p == '"') {
            char *out = start;
            ++p;
            while (p != end) {
                if (*p == '"') {
                    if (p + 1 != end && p[1] == '"') {
                        *out++ = '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                if (*p == '\n' || *p == '\r') {
                    broken = true;
                    break;
                }
                *out++ = *p++;
            }
            char *const rest = FieldEnd(p, end);
            out = std::copy(p, rest, out);
            p = rest;
            fields.emplace_back(start, size_t(out - start));
        } else {
            p = FieldEnd(p, end);
            fields.emplace_back(start, size_t(p - start));
        }
        if (p == end)
            return true;
        if (*p == ',') {
            ++p;
            if (p == end) { // a trailing comma: one more, empty field
                fields.emplace_back();
                return true;
            }
            continue;
        }
        if (*p++ == '\r' && p != end && *p == '\n')
            ++p;
        return true;
    }
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

int32_t ReadYear(std::string_view text)
{
    text = Trimmed(text);
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const auto value = text.size() <= 9 ? ParseWhole(text) : std::nullopt;
    if (!value)
        return 0;
    return negative ? -int32_t(*value) : int32_t(*value);
}

// The length of the valid UTF-8 sequence at p that XML allows, or 0.
size_t ValidSequence(const unsigned char *p, const unsigned char *end)
{
    const unsigned c = p[0];
    if (c < 0x80)
        return 1;
    size_t size;
    unsigned code;
    if (c >= 0xC2 && c <= 0xDF) {
        size = 2;
        code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        size = 3;
        code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        size = 4;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (size_t(end - p) < size)
        return 0;
    for (size_t i = 1; i < size; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    const bool overlong = (size == 3 && code < 0x800) || (size == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF)
        return 0;
    return size;
}

// Printable ASCII, which CleanName leaves as it is: most names.
bool IsClean(std::string_view name)
{
    return std::all_of(name.begin(), name.end(),
        [](char c) { return uint8_t(c) >= 0x20 && uint8_t(c) < 0x7F; });
}

// Sorts keys (game << 32 | row), in row order, by game and keeps the rows of
// a game in their order: a stable radix sort on the game's bytes.
void SortByGame(std::vector<uint64_t> &keys)
{
    std::vector<uint64_t> sorted(keys.size());
    for (int shift = 32; shift < 64; shift += 8) {
        std::array<size_t, 256> starts {};
        for (const uint64_t key : keys)
            ++starts[(key >> shift) & 0xFF];
        if (std::find(starts.begin(), starts.end(), keys.size()) != starts.end())
            continue; // every key has this byte alike
        size_t start = 0;
        for (size_t &bucket : starts)
            start += std::exchange(bucket, start);
        for (const uint64_t key : keys)
            sorted[starts[(key >> shift) & 0xFF]++] = key;
        keys.swap(sorted);
    }
}

} // namespace

std::string CleanName(std::string_view name)
{
    if (IsClean(name))
        return std::string(name);
    std::string out;
    out.reserve(name.size());
    const auto *p = reinterpret_cast<const unsigned char *>(name.data());
    const auto *const end = p + name.size();
    while (p != end) {
        if (*p == '\t' || *p == '\n' || *p == '\r') {
            out.push_back(' ');
            ++p;
        } else if (*p < 0x20 || *p == 0x7F) {
            out += "\xEF\xBF\xBD";
            ++p;
        } else if (const size_t size = ValidSequence(p, end)) {
            out.append(reinterpret_cast<const char *>(p), size);
            p += size;
        } else {
            out += "\xEF\xBF\xBD";
            ++p;
        }
    }
    return out;
}

std::optional<int32_t> SnapshotDay(std::string_view fileName)
{
    return LeadingIsoDay(fileName);
}

Snapshot ReadSnapshot(std::string &bytes)
{
    Snapshot result;
    if (bytes.empty()) {
        result.error = "empty file";
        return result;
    }
    if (std::memchr(bytes.data(), 0, std::min<size_t>(bytes.size(), 65536))) {
        result.error = "not a CSV text file";
        return result;
    }
    char *p = bytes.data();
    char *const end = p + bytes.size();
    if (bytes.starts_with("\xEF\xBB\xBF"))
        p += 3;

    std::vector<std::string_view> fields;
    bool broken = false;
    NextRecord(p, end, fields, broken);
    int line = 1; // the record's line
    std::array<size_t, ColumnCount> index {};
    for (size_t c = 0; c < ColumnCount; ++c) {
        const auto found = std::find_if(fields.begin(), fields.end(),
            [&](std::string_view f) { return Trimmed(f) == ColumnNames[c]; });
        if (found == fields.end()) {
            result.error = "not a ranking snapshot: no \"" + std::string(ColumnNames[c])
                + "\" column in the first line";
            return result;
        }
        index[c] = size_t(found - fields.begin());
    }
    const size_t needed = *std::max_element(index.begin(), index.end()) + 1;

    // Room for rows of 64 bytes, fewer than most files have: no copies as rows come.
    result.rows.reserve(bytes.size() / 64);
    const auto skip = [&] {
        if (result.skipped++ == 0)
            result.firstSkippedLine = line;
    };
    while (NextRecord(p, end, fields, broken)) {
        ++line;
        if (fields.size() == 1 && fields[0].empty() && !broken)
            continue; // a blank line
        if (broken || fields.size() < needed) {
            skip();
            continue;
        }
        const auto id = ParseWhole(Trimmed(fields[index[Id]]));
        const auto rank = ParseWhole(Trimmed(fields[index[Rank]]));
        const auto users = ParseWhole(Trimmed(fields[index[UsersRated]]));
        const auto average = ParseDecimal(Trimmed(fields[index[Average]]));
        const auto bayes = ParseDecimal(Trimmed(fields[index[BayesAverage]]));
        const std::string_view name = fields[index[Name]];
        if (!id || *id == 0 || *id > INT32_MAX || !rank || *rank == 0 || *rank > INT32_MAX
            || !users || *users > UINT32_MAX || !average || !bayes || name.size() > MaxNameBytes) {
            skip();
            continue;
        }
        SnapshotRow row;
        row.game = uint32_t(*id);
        row.record.rank = uint32_t(*rank);
        row.record.usersRated = uint32_t(*users);
        row.record.average = *average;
        row.record.bayesAverage = *bayes;
        row.year = ReadYear(fields[index[Year]]);
        row.name = name;
        if (!IsClean(name)) {
            std::string cleaned = CleanName(name);
            if (cleaned != name)
                row.name = result.cleanedNames.emplace_back(std::move(cleaned));
        }
        result.rows.push_back(row);
    }

    // By ID, the first row of an ID first.
    std::vector<uint64_t> order; // game, row
    order.reserve(result.rows.size());
    for (size_t i = 0; i < result.rows.size(); ++i)
        order.push_back(uint64_t(result.rows[i].game) << 32 | i);
    SortByGame(order);
    std::vector<SnapshotRow> sorted;
    sorted.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        // Rows are read out of file order: fetching ahead hides the waits for memory.
        if (i + 8 < order.size())
            __builtin_prefetch(&result.rows[uint32_t(order[i + 8])]);
        if (i > 0 && order[i] >> 32 == order[i - 1] >> 32)
            ++result.duplicates;
        else
            sorted.push_back(result.rows[uint32_t(order[i])]);
    }
    result.rows = std::move(sorted);
    if (result.rows.empty())
        result.error = result.skipped > 0
            ? "no records (" + std::to_string(result.skipped)
                + (result.skipped == 1 ? " row does" : " rows do") + " not read)"
            : "no records";
    return result;
}
