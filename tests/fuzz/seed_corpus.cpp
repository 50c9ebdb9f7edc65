// The fuzzers' seed corpus, tests/fuzz/corpus/{program,log,exe_check}: the
// named runs (hardening/named_runs.h: the hardening scenarios, the unit
// tests' worlds, the end-to-end tests' bad input, some with a failing
// call), written in the program fuzzer's layout by EncodeProgramInput,
// beside the decoder the fuzzer reads them with; their logs and more for
// the log reader; and executables for the self-check.
//   seed_corpus write DIR   rewrites DIR/program, DIR/log and DIR/exe_check
//   seed_corpus check DIR   exits 1 when they hold anything else
#include "program_input.h"

#include "hardening/named_runs.h"
#include "support/pe_image.h"
#include "support/program_world.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

using namespace hardening;

namespace {

typedef std::map<std::string, std::string> Seeds;   // file name -> bytes

Seeds ProgramSeeds(const std::vector<std::pair<std::string, SimulatedRun>> &runs)
{
    Seeds seeds;
    for (const auto &run : runs) {
        try {
            seeds[run.first] = EncodeProgramInput(run.second);
        } catch (const std::invalid_argument &e) {
            throw std::runtime_error("the seed " + run.first + " holds " + e.what());
        }
    }
    return seeds;
}

// Logs for the log reader: those of the bad input, and a few more.
Seeds LogSeeds(const std::vector<std::pair<std::string, SimulatedRun>> &runs)
{
    const std::string s256(256, 'S');
    std::vector<TestRecord> everyType;
    for (uint32_t type = 0; type < 8; type++)
        everyType.push_back({type, TOOL_APP "\\x", "Group"});
    Seeds seeds = {
        {"empty", ""},
        {"one_byte", "x"},
        {"two_records_and_one_byte", LogBytes({{kAppName, "Tool", ""}, {kFile, "C:\\APP\\a.txt", ""}}) + "\x07"},
        {"alpha_then_beta", LogBytes({{kAppName, "Alpha", ""}, {kAppName, "Beta", ""}})},
        {"percent_name", LogBytes({{kAppName, "50% Tool", ""}})},
        {"unterminated_name", LogBytes({{kAppName, std::string(256, 'N'), ""}, {kAppName, "Kept", s256}})},
        {"long_name", LogBytes({{kAppName, std::string(255, 'N'), ""}})},
        {"type_9", LogBytes({{9, "", ""}, {0xFFFFFFFF, "x", "y"}})},
        {"every_type", LogBytes(everyType)},
        {"records_naming_nothing", LogBytes({{kFile, "notes.ini", ""}, {kDirectory, "C:sub", ""}, {kProgramGroup, "", ".."}, {kProgramGroup, "", ""},
                                             {kCustomProgram, "undo", kCut}, {kFile, "C:\\Tool\\a.txt", s256}})},
    };
    for (const auto &run : runs)
        if (run.first.compare(0, 10, "bad_input_") == 0)
            seeds[run.first] = LogBytes(run.second.records) + run.second.tail;
    return seeds;
}

// Executables for the self-check: intact, damaged, and signed as signing
// tools sign them.
Seeds ExeCheckSeeds()
{
    const std::string intact = Stamped(UnstampedImage());
    const std::string signedImage = Signed(intact, {1432}, true);
    const std::string oddEnd = Stamped(UnstampedImage(false, 0x1FB));
    auto entryLength = [&](uint32_t length) {
        std::string image = signedImage;
        Put32(image, intact.size(), length);
        return image;
    };
    // Where the check then looks for a second entry, a length of 0.
    std::string tooShort = entryLength(1424);
    Put32(tooShort, intact.size() + 1424, 0);
    return {
        {"intact", intact},
        {"intact_32_bit", Stamped(UnstampedImage(true))},
        {"unstamped", UnstampedImage()},
        {"one_byte_changed", CorruptExecutable()},
        {"cut", intact.substr(0, 0x500)},
        {"extended", intact + std::string(1, '\0')},
        {"not_pe", "MZ" + std::string(0x3E, '\0')},
        {"signed", signedImage},
        {"signed_two_entries", Signed(intact, {13, 24}, true)},
        {"odd_length", oddEnd},
        {"signed_after_padding", Signed(oddEnd, {1432}, true)},
        {"signed_then_extended", signedImage + std::string(8, '\0')},
        {"signed_entry_too_short", tooShort},
        // Rounded up to 8, the length wraps to 0 in 32 bits.
        {"signed_entry_length_wraps", entryLength(0xFFFFFFF9)},
    };
}

// What the directory holds.
Seeds Held(const std::filesystem::path &dir)
{
    Seeds held;
    if (std::filesystem::is_directory(dir))
        for (const auto &entry : std::filesystem::directory_iterator(dir)) {
            std::ostringstream bytes;
            bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
            held[entry.path().filename().string()] = bytes.str();
        }
    return held;
}

}  // namespace

int main(int argc, char **argv)
{
    bool check = argc == 3 && strcmp(argv[1], "check") == 0;
    if (argc != 3 || (!check && strcmp(argv[1], "write") != 0)) {
        fprintf(stderr, "usage: seed_corpus write|check DIR\n");
        return 2;
    }
    const std::vector<std::pair<std::string, SimulatedRun>> &runs = NamedRuns();
    std::map<std::string, Seeds> corpus;
    try {
        corpus = {{"program", ProgramSeeds(runs)}, {"log", LogSeeds(runs)}, {"exe_check", ExeCheckSeeds()}};
    } catch (const std::runtime_error &e) {
        fprintf(stderr, "seed_corpus: %s\n", e.what());
        return 1;
    }
    bool same = true;
    for (const auto &target : corpus) {
        std::filesystem::path dir = std::filesystem::path(argv[2]) / target.first;
        if (check) {
            const Seeds held = Held(dir), &seeds = target.second;
            std::set<std::string> names;
            for (const Seeds *m : {&held, &seeds})
                for (const auto &file : *m)
                    names.insert(file.first);
            for (const std::string &name : names)
                if (held.count(name) == 0 || seeds.count(name) == 0 || held.at(name) != seeds.at(name)) {
                    fprintf(stderr, "%s: %s\n", (dir / name).c_str(),
                            held.count(name) == 0 ? "missing" : seeds.count(name) == 0 ? "no seed" : "other bytes");
                    same = false;
                }
            continue;
        }
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        for (const auto &seed : target.second)
            std::ofstream(dir / seed.first, std::ios::binary) << seed.second;
        printf("%zu %s seeds\n", target.second.size(), target.first.c_str());
    }
    if (!same)
        fprintf(stderr, "%s is not the seed corpus: seed_corpus write %s writes it\n", argv[2], argv[2]);
    return same ? 0 : 1;
}
