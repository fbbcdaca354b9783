#include "archive/ArchivePages.h"

#include "archive/Days.h"

namespace {

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

std::string HistoryPageXml(uint32_t game, int64_t page, const ArchiveReader::HistoryPage &history)
{
    std::string out;
    out.reserve(512 + history.records.size() * 420);
    out += XmlDeclaration;
    out += "<boardgames>\n";
    AppendGameHeader(out, game, history.title);
    if (!history.records.empty()) {
        out += "    <statistics page=\"" + std::to_string(page) + "\">\n";
        for (const Record &r : history.records) {
            const std::string bayes = DecimalText(r.bayesAverage);
            out += "      <ratings date=\"" + CompactDay(r.day) + "\">\n        <usersrated>"
                + std::to_string(r.usersRated) + "</usersrated>\n        <average>"
                + DecimalText(r.average) + "</average>\n        <bayesaverage>" + bayes
                + "</bayesaverage>\n        <ranks>\n          <rank type=\"subtype\" id=\"1\""
                  " name=\"boardgame\" friendlyname=\"Board Game Rank\" value=\""
                + std::to_string(r.rank) + "\" bayesaverage=\"" + bayes
                + "\"/>\n        </ranks>\n      </ratings>\n";
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
