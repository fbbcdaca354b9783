// Adding a chosen game ID to the text of the game-ID box.
#pragma once

#include <QString>

// The box text with id added: unchanged when id is empty, id alone when the
// text is empty, otherwise text + ", " + id. The text is taken whole, line
// breaks included, and an ID already in it is added again.
[[nodiscard]] QString AppendGameId(const QString &text, const QString &id);
