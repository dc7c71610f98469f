// Runs every file named on the command line, or found in a directory named
// there, through the target once: how corpora and regression inputs are
// replayed without libFuzzer. Fails when a path is missing or no file is found.
#include "FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

// Under AddressSanitizer a replay keeps the campaign's allocation limit
// (libFuzzer's -malloc_limit_mb=512): a larger allocation fails the replay.
extern "C" const char* __asan_default_options()
{
    return "max_allocation_size_mb=512";
}

namespace {

std::vector<std::string> inputFiles(int argc, char** argv)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (!std::filesystem::exists(path)) {
            std::fprintf(stderr, "%s does not exist\n", argv[i]);
            return {};
        }
        if (!std::filesystem::is_directory(path)) {
            files.push_back(path.string());
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            if (entry.is_regular_file())
                files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    const std::vector<std::string> files = inputFiles(argc, argv);
    for (const std::string& file : files) {
        std::ifstream stream(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replaying %s\n", file.c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return files.empty() ? 1 : 0;
}
