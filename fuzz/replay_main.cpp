// Replays a corpus folder through a fuzz target without libFuzzer: every
// regular file of the folder given on the command line (or of the target's
// own corpus folder) is passed once to LLVMFuzzerTestOneInput. A fault shows
// as a sanitizer report or an exception; the exit code is 0 only when every
// file ran and the folder was not empty.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : KESTRUNE_FUZZ_CORPUS_DIR;
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    if (error) {
        std::fprintf(stderr, "cannot read %s: %s\n", folder.c_str(), error.message().c_str());
        return 2;
    }
    std::sort(files.begin(), files.end());
    int passed = 0;
    int failed = 0;
    for (const auto& file : files) {
        const std::vector<std::uint8_t> bytes = ReadWholeFile(file);
        try {
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++passed;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: exception: %s\n", file.c_str(), e.what());
            ++failed;
        } catch (...) {
            std::fprintf(stderr, "%s: unknown exception\n", file.c_str());
            ++failed;
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
