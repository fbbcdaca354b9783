// Shared test helpers: fixture data paths and temporary program folders.
#pragma once

#include <QString>

// tests/data folder.
[[nodiscard]] QString TestDataDir();
