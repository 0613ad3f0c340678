// Makes a synthetic data folder for the benchmarks: the import's sources for a card pool of
// a given size and an "Images" folder or packed archive of cost-symbol pictures.
//
//   lorewick-gen [--cards N] [--seed S] [--images pack|folder|none] DATADIR
#include "CardPool.h"
#include "Pictures.h"
#include "Sources.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

const std::size_t ImageCount = 300;

struct TOptions {
    int Cards = 30000;
    std::uint64_t Seed = 20240601;
    std::string Images = "pack";
    fs::path DataDir;
};

TOptions ParseOptions(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--cards")
            options.Cards = std::stoi(value());
        else if (arg == "--seed")
            options.Seed = std::stoull(value());
        else if (arg == "--images")
            options.Images = value();
        else if (!arg.empty() && arg[0] != '-' && options.DataDir.empty())
            options.DataDir = arg;
        else
            throw std::runtime_error("unknown argument " + arg);
    }
    if (options.DataDir.empty() || options.Cards < 10)
        throw std::runtime_error(
            "usage: lorewick-gen [--cards N>=10] [--seed S] [--images pack|folder|none] DATADIR");
    if (options.Images != "pack" && options.Images != "folder" && options.Images != "none")
        throw std::runtime_error("--images is pack, folder or none");
    return options;
}

void WriteImages(const TOptions& options) {
    const fs::path images = options.DataDir / "Images";
    fs::remove_all(images);
    if (options.Images == "none")
        return;
    auto files = ImageFiles(ImageCount);
    if (options.Images == "pack") {
        WritePackedArchive(images, files);
        return;
    }
    fs::create_directories(images);
    for (const auto& [name, content] : files)
        std::ofstream(images / name, std::ios::binary)
            .write(content.data(), std::streamsize(content.size()));
}

} // namespace

int main(int argc, char** argv) {
    try {
        TOptions options = ParseOptions(argc, argv);
        TCardPool pool = MakeCardPool(options.Cards, options.Seed);
        WriteSources(pool, options.DataDir);
        WriteImages(options);
        std::printf("%d cards written to %s\n", options.Cards, options.DataDir.c_str());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lorewick-gen: %s\n", error.what());
        return 1;
    }
}
