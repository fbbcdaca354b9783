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
    if (!QFileInfo::exists(fileName)) {
        FetchResult result = fetch(url, fileName, preparation != Preparation::Never);
        if (result.outcome != FetchOutcome::Stored)
            return result;
    } else if (preparation == Preparation::Always) {
        PrepareXmlFile(fileName);
    }
    try {
        document.loadFile(fileName);
    } catch (const PlotwiseError &) {
        if (QFileInfo(fileName).isFile())
            QFile::remove(fileName);
        throw;
    }
    return { FetchOutcome::Stored, {} };
}
