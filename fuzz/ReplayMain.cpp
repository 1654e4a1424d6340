// Runs a fuzz target over its seed corpus without libFuzzer, so the plain
// test build replays every seed.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(p))
                if (e.is_regular_file())
                    files.push_back(e.path());
        } else {
            files.push_back(p);
        }
    }
    // A seed that cannot be read fails the run instead of being replayed as
    // an empty input: a target that moves the current directory would
    // otherwise lose every relative path after the first seed unnoticed.
    std::size_t unreadable = 0;
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", f.string().c_str());
            ++unreadable;
            continue;
        }
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %zu inputs\n", files.size() - unreadable);
    return files.empty() || unreadable > 0 ? 1 : 0;
}
