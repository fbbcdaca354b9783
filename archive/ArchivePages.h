// The service's answers made from an archive, in the sample service's
// format: history pages, the name search and the error page.
#pragma once

#include "archive/ArchiveReader.h"

#include <string>
#include <string_view>

// page is the number asked for; a page without records is the game's end
// page, which has no "statistics".
[[nodiscard]] std::string HistoryPageXml(
    uint32_t game, int64_t page, const ArchiveReader::HistoryPage &history);

[[nodiscard]] std::string SearchXml(const std::vector<ArchiveReader::Match> &matches);

// Element text that both readers of an answer turn back into text exactly.
[[nodiscard]] std::string XmlEscaped(std::string_view text);
