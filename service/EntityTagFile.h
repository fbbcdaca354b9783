// The entity tag of a cached page, kept beside it in "PAGE.etag", so that
// the page can be asked for again only if it changed.
#pragma once

#include <QByteArray>
#include <QString>

[[nodiscard]] QString EntityTagFile(const QString &pageFile);
// Empty when the page has no tag file (or it cannot be read).
[[nodiscard]] QByteArray ReadEntityTag(const QString &pageFile);
// Writes tag whole beside the page (through a renamed temporary file), or
// removes the tag file when tag is empty. A tag that cannot be written is
// removed too: without it the page is fetched whole, as it was before.
void KeepEntityTag(const QString &pageFile, const QByteArray &tag);
