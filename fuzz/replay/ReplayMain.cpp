// Runs a fuzz target over every file of its corpus so that CTest replays the
// corpus in every build, sanitizer build included, without libFuzzer. A
// corpus that is missing or holds no input fails: a replay of nothing would
// pass while proving nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        fs::path root(argv[i]);
        std::vector<fs::path> files;
        if (fs::is_directory(root)) {
            for (const auto& e : fs::recursive_directory_iterator(root)) {
                if (e.is_regular_file()) {
                    files.push_back(e.path());
                }
            }
        } else if (fs::exists(root)) {
            files.push_back(root);
        }
        if (files.empty()) {
            std::fprintf(stderr, "no input to replay in %s\n", root.c_str());
            return 1;
        }
        for (const auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++count;
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return 0;
}
