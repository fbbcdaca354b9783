// Page-file preparation on any bytes: the result is the literal rule (cut at
// NUL, lines at CR LF, CR or LF, "&" hidden behind the marker, empty lines
// dropped, CR LF after each), a second run changes nothing, and loading the
// result into the XML document either works or fails with the program's error.
#include "fuzz/FuzzSupport.h"
#include "service/PlotwiseError.h"
#include "service/XmlDocument.h"
#include "service/XmlPrepare.h"

#include <QFile>

namespace {

QByteArray referencePrepare(QByteArray bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    bytes.replace("\r\n", "\n");
    bytes.replace('\r', '\n');
    QByteArray out;
    for (QByteArray line : bytes.split('\n')) {
        line.replace("&", AmpersandMarker);
        if (!line.isEmpty())
            out += line + "\r\n";
    }
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzWriteScratchFile("page.xml", data, size);

    PrepareXmlFile(path);
    const QByteArray prepared = readAll(path);
    FUZZ_CHECK(prepared == referencePrepare(FuzzBytes(data, size)));
    FUZZ_CHECK(!prepared.contains('&'));

    PrepareXmlFile(path);
    FUZZ_CHECK(readAll(path) == prepared);

    XmlDocument document;
    try {
        document.loadFile(path);
        FUZZ_CHECK(!document.children().empty());
    } catch (const PlotwiseError &) {
        FUZZ_CHECK(document.children().empty());
    }
    return 0;
}
