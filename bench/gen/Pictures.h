#pragma once
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// A 32 by 32 GIF with a transparent background: a coloured disc with the symbol's
// characters drawn in a small block font (any character it lacks is left out).
std::string SymbolGif(const std::string& symbol);

// The pictures of the "Images" folder: one GIF per cost symbol, then other small pictures
// up to `count` files, ordered by name as a packer walking the folder would store them.
std::vector<std::pair<std::string, std::string>> ImageFiles(std::size_t count);

// A packed archive: for each file its name length, name, data length (32-bit
// little-endian) and its content as one zlib stream at level 9.
void WritePackedArchive(const std::filesystem::path& archive,
                        const std::vector<std::pair<std::string, std::string>>& files);
