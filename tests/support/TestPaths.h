#pragma once
#include <string>

// Folders known at build time: test fixtures, the sample sources, and the built program's folder.
inline const std::string FixturesDir = LOREWICK_FIXTURES_DIR;
inline const std::string SampleDir = LOREWICK_SAMPLE_DIR;
inline const std::string BinDir = LOREWICK_BIN_DIR;
inline const std::string BuiltDataDir = LOREWICK_DATA_DIR;
