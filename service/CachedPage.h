// One service answer as a page file of the cache folder: taken from the cache
// or fetched into it, prepared where its kind of page asks for it, and loaded
// into the XML document. The Load's page loop, the geeklist import and the
// search differ only in the arguments they pass.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class XmlDocument;

enum class FetchOutcome {
    Stored, // the page file holds the whole answer
    Failed, // this request failed; the service may answer others
    ServiceDown, // unreachable or timed out: no further request is worth sending
    Stopped, // the user stopped the command
    NotModified, // asked only if changed: the caller's copy is current
};

struct FetchResult {
    FetchOutcome outcome = FetchOutcome::Failed;
    QString reason; // "HTTP 503", "connection refused", ...
    QByteArray entityTag; // when Stored: the answer's ETag, if it had one
};

// Fetches url into fileName, passed through PrepareXmlBytes first when
// prepare is set (the page is then written once, already prepared); no file
// is left unless Stored.
using PageFetch
    = std::function<FetchResult(const QString &url, const QString &fileName, bool prepare)>;

// Whether a page file already in the cache is used or fetched again.
enum class CachedCopy {
    Use, // an existing file is used as it is; only a missing one is fetched
    FetchAgain, // the file is deleted and fetched on every call
};

// When the page file is prepared (PrepareXmlFile) before it is loaded.
enum class Preparation {
    Never,
    WhenFetched, // a cached file was prepared when it was fetched
    Always, // cached or fetched
};

// Brings the page file fileName into document. Returns the fetch's result
// when the page had to be fetched and was not stored (nothing is loaded
// then); otherwise Stored, with the page in the document. A page file that
// does not parse is deleted, so that the next call fetches it again, and its
// PlotwiseError is thrown on; so is a file error from the preparation.
FetchResult LoadCachedPage(XmlDocument &document, const QString &fileName, const QString &url,
    CachedCopy cached, Preparation preparation, const PageFetch &fetch);
