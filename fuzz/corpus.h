// The committed seed corpus of a fuzz target (fuzz/corpus/<name>/), for the
// test programs that replay it through the target's drive.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kel::fuzz {

// Calls fn(path, bytes) for every input; answers the number of inputs.
template <class Fn>
int for_each_corpus_input(const std::string& source_dir, const char* name, Fn&& fn) {
    std::filesystem::path dir = std::filesystem::path(source_dir) / "fuzz" / "corpus" / name;
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        fn(entry.path().string(), bytes);
        inputs++;
    }
    return inputs;
}

}  // namespace kel::fuzz
