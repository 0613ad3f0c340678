#pragma once
#include "CardPool.h"

#include <filesystem>

// Writes a card pool as the import's three kinds of source into `dataDir`:
// "oracle/ORT110-01-03.txt", "oracle/ORUnglued.txt" and "oracle/ORPortal.txt" (with CR LF,
// LF and CR line ends), "cardindex/index.txt" and "summary/rule-cards.html", all in
// Windows-1252, and "manifest.txt": the counts of records the import should make and the
// names of the typical and the longest card, for the benchmarks.
void WriteSources(const TCardPool& pool, const std::filesystem::path& dataDir);
