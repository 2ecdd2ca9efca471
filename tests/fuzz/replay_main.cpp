// Replays seed inputs through a fuzz target without libFuzzer, so every build
// (and every compiler) runs the harness's checks on the shipped corpus.
// Arguments: files or directories of inputs. A seed named ok_* must have every
// transaction or load accepted, one named fail_* none.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool expectationHolds(const std::string& name, const torv::fuzz::Outcome& outcome)
{
    if (name.starts_with("ok_"))
        return outcome.accepted > 0 && outcome.rejected == 0;
    if (name.starts_with("fail_"))
        return outcome.accepted == 0 && outcome.rejected > 0;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::directory_iterator(arg))
                if (entry.is_regular_file())
                    inputs.push_back(entry.path());
        } else if (fs::is_regular_file(arg)) {
            inputs.push_back(arg);
        } else {
            std::fprintf(stderr, "no such input: %s\n", argv[i]);
            return 2;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 2;
    }

    int wrong = 0;
    for (const auto& path : inputs) {
        // Named first, so an abort inside the target shows which seed did it.
        std::printf("%s\n", path.filename().c_str());
        std::fflush(stdout);
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        // An empty vector's data() may be null; the target must get a valid pointer.
        static const std::uint8_t none = 0;
        LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
        const auto outcome = torv::fuzz::lastOutcome();
        if (!expectationHolds(path.filename().string(), outcome)) {
            std::fprintf(stderr, "%s: %d accepted, %d rejected\n", path.c_str(), outcome.accepted, outcome.rejected);
            ++wrong;
        }
    }
    std::printf("replayed %zu inputs, %d against their names\n", inputs.size(), wrong);
    return wrong == 0 ? 0 : 1;
}
