#include "service/CachedPage.h"

#include "service/PlotwiseError.h"
#include "service/XmlDocument.h"
#include "service/XmlPrepare.h"

#include <QFile>
#include <QFileInfo>

FetchResult LoadCachedPage(XmlDocument &document, const QString &fileName, const QString &url,
    CachedCopy cached, Preparation preparation, const PageFetch &fetch)
{
    if (cached == CachedCopy::FetchAgain)
        QFile::remove(fileName);
    bool fetched = false;
    if (!QFileInfo::exists(fileName)) {
        FetchResult result = fetch(url, fileName);
        if (result.outcome != FetchOutcome::Stored)
            return result;
        fetched = true;
    }
    if (preparation == Preparation::Always || (fetched && preparation == Preparation::WhenFetched))
        PrepareXmlFile(fileName);
    try {
        document.loadFile(fileName);
    } catch (const PlotwiseError &) {
        if (QFileInfo(fileName).isFile())
            QFile::remove(fileName);
        throw;
    }
    return { FetchOutcome::Stored, {} };
}
