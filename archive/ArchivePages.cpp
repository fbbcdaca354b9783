#include "archive/ArchivePages.h"

#include "archive/Days.h"

#include <charconv>

namespace {

void AppendWhole(std::string &out, int64_t value)
{
    char text[24];
    out.append(text, size_t(std::to_chars(text, text + sizeof text, value).ptr - text));
}

const char XmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

void AppendGameHeader(std::string &out, uint32_t game, const GameTitle &title)
{
    out += "  <boardgame objectid=\"" + std::to_string(game) + "\">\n    <yearpublished>"
        + std::to_string(title.year) + "</yearpublished>\n    <name primary=\"true\" sortindex=\"1\">"
        + XmlEscaped(title.name) + "</name>\n";
}

} // namespace

std::string XmlEscaped(std::string_view text)
{
    // The client hides every "&" from its parser, gives "&amp;" back as "&",
    // drops whatever looks like a tag and then decodes numeric references
    // only: so "<" and ">" go as numeric references, quotes as they are, and
    // no other named reference is written. A parser that decodes the page
    // itself (the search window's) reads the same text.
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&#60;"; break;
        case '>': out += "&#62;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

// Written piece by piece into one string sized for it: a page is a hundred
// records, made anew for every request the service answers.
std::string HistoryPageXml(uint32_t game, int64_t page, const ArchiveReader::HistoryPage &history)
{
    std::string out;
    out.reserve(512 + history.title.name.size() + history.records.size() * 300);
    out += XmlDeclaration;
    out += "<boardgames>\n";
    AppendGameHeader(out, game, history.title);
    if (!history.records.empty()) {
        out += "    <statistics page=\"";
        AppendWhole(out, page);
        out += "\">\n";
        for (const Record &r : history.records) {
            out += "      <ratings date=\"";
            AppendCompactDay(out, r.day);
            out += "\">\n        <usersrated>";
            AppendWhole(out, r.usersRated);
            out += "</usersrated>\n        <average>";
            AppendDecimal(out, r.average);
            out += "</average>\n        <bayesaverage>";
            const size_t bayes = out.size();
            AppendDecimal(out, r.bayesAverage);
            const size_t bayesSize = out.size() - bayes;
            out += "</bayesaverage>\n        <ranks>\n          <rank type=\"subtype\" id=\"1\""
                   " name=\"boardgame\" friendlyname=\"Board Game Rank\" value=\"";
            AppendWhole(out, r.rank);
            out += "\" bayesaverage=\"";
            out.append(out, bayes, bayesSize);
            out += "\"/>\n        </ranks>\n      </ratings>\n";
        }
        out += "    </statistics>\n";
    }
    out += "  </boardgame>\n</boardgames>\n";
    return out;
}

std::string SearchXml(const std::vector<ArchiveReader::Match> &matches)
{
    std::string out = XmlDeclaration;
    out += "<boardgames>\n";
    for (const auto &match : matches) {
        AppendGameHeader(out, match.game, match.title);
        out += "  </boardgame>\n";
    }
    out += "</boardgames>\n";
    return out;
}
