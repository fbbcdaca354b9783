// The page walk as the Load does it: any bytes stored as a page file, prepared,
// loaded into the XML document and walked for several node names into series
// and game summaries. A page may fail only with the program's own error; the
// points come out with finite values on calendar days, and the info line's
// numbers read back.
#include "fuzz/FuzzSupport.h"
#include "plot/GameSummary.h"
#include "plot/NodeName.h"
#include "plot/NumberText.h"
#include "plot/PageWalk.h"
#include "plot/SeriesBuilder.h"
#include "service/PlotwiseError.h"
#include "service/XmlDocument.h"
#include "service/XmlPrepare.h"
#include "service/u_Function.h"

#include <cmath>

namespace {

class Collector : public HistoryPageVisitor
{
public:
    void gameName(const QString &name, bool primary) override
    {
        names << name;
        if (primary)
            primaryIndex = int(names.size()) - 1;
    }
    void value(QStringView dateText, double value) override
    {
        FUZZ_CHECK(std::isfinite(value));
        standard.AddPoint(dateText, value, SeriesOptions{});
        delta.AddPoint(dateText, value, deltaInRange);
        summary.update(value, dateText);
    }

    QStringList names;
    int primaryIndex = -1;
    SeriesBuilder standard;
    SeriesBuilder delta;
    SeriesOptions deltaInRange{ true, QDate(2000, 1, 1), QDate(2020, 12, 31), true };
    GameSummary summary;
};

void checkPoints(const std::vector<SeriesPoint> &points, const SeriesOptions &options)
{
    for (const SeriesPoint &point : points) {
        FUZZ_CHECK(std::isfinite(point.y));
        const QDate date = DaysToDate(point.day);
        FUZZ_CHECK(date.isValid() && date.year() >= 1 && date.year() <= 9999);
        if (options.useDateRange)
            FUZZ_CHECK(date >= options.from && date <= options.to);
    }
}

// The general form keeps 15 significant digits.
void checkNumberText(double value)
{
    const std::optional<double> back = ReadDecimal(FormatGeneral(value));
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(std::fabs(*back - value) <= std::fabs(value) * 1e-14);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first line is one more node name; the rest is the page.
    const QByteArray bytes = FuzzBytes(data, size);
    const qsizetype lineEnd = bytes.indexOf('\n');
    if (lineEnd < 0 || lineEnd > 200)
        return 0;
    QStringList nodeNames = { QStringLiteral("average"), QStringLiteral("usersrated"),
                              QStringLiteral("ranks/rank|name=boardgame"),
                              QStringLiteral("ranks/rank|name="), QStringLiteral("ranks"),
                              QStringLiteral("e/c/d") };
    nodeNames << QString::fromUtf8(bytes.left(lineEnd));
    const QByteArray page = bytes.mid(lineEnd + 1);

    const QString path = FuzzWriteScratchFile(
        "page.xml", reinterpret_cast<const uint8_t *>(page.constData()), size_t(page.size()));
    PrepareXmlFile(path);
    XmlDocument document;
    try {
        document.loadFile(path);
    } catch (const PlotwiseError &) {
        return 0;
    }

    const bool holdsGame = PageHoldsGame(document);
    for (const QString &nodeName : nodeNames) {
        Collector collector;
        try {
            (void)WalkHistoryPage(document, SplitNodeName(nodeName), collector);
        } catch (const PlotwiseError &) {
            // An element read for its text that holds elements: the Load ends
            // with this error, as it should.
        }
        if (!holdsGame)
            FUZZ_CHECK(collector.names.isEmpty() && collector.standard.points().empty());
        checkPoints(collector.standard.points(), SeriesOptions{});
        checkPoints(collector.delta.points(), collector.deltaInRange);
        FUZZ_CHECK(collector.primaryIndex < int(collector.names.size()));
        if (collector.summary.hasValues()) {
            FUZZ_CHECK(collector.summary.minimum() <= collector.summary.maximum());
            checkNumberText(collector.summary.minimum());
            checkNumberText(collector.summary.maximum());
            (void)collector.summary.infoLine(collector.names.value(0));
        }
    }
    return 0;
}
