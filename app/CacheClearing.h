// Emptying the page cache.
#pragma once

#include <QString>

// Deletes every entry of the cache folder whose name ends in ".xml" or
// ".xml.etag" (a page's entity tag) in any letter case, hidden ones included. An entry that cannot be deleted (a
// folder, a file in use, no permission) stays and the rest go on; other files,
// sub-folders and the folder itself remain. A missing folder deletes nothing.
void DeleteCachedPages(const QString &cacheFolder);
