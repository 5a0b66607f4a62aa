// Runs a fuzz target once over every file of the given folders (or the given files), so that a
// plain build replays the seed corpus without libFuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace
{

bool CollectInputs(const fs::path& path, std::vector<fs::path>& inputs)
{
    std::error_code error;
    if (fs::is_regular_file(path, error))
    {
        inputs.push_back(path);
        return true;
    }
    fs::directory_iterator entries(path, error);
    if (error)
    {
        std::cerr << "cannot read " << path << ": " << error.message() << "\n";
        return false;
    }
    for (const fs::directory_entry& entry : entries)
        if (entry.is_regular_file(error))
            inputs.push_back(entry.path());
    return true;
}

bool Replay(const fs::path& input)
{
    std::ifstream in(input, std::ios::binary);
    if (!in)
    {
        std::cerr << "cannot open " << input << "\n";
        return false;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i)
        if (!CollectInputs(argv[i], inputs))
            return 1;
    if (inputs.empty())
    {
        std::cerr << "usage: " << argv[0] << " <corpus folder or file>...  (no inputs found)\n";
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs)
    {
        if (!Replay(input))
            return 1;
    }
    std::cout << "replayed " << inputs.size() << " inputs\n";
    return 0;
}
