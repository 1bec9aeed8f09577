// Writes the seed corpus of the template drivers from the test fixtures:
//   TemplateFuzzSeeds <corpus dir>  ->  <dir>/TemplateLoad_fuzz/*, <dir>/TemplateImport_fuzz/*

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/templates/TemplateFixture.h"

namespace fs = std::filesystem;
using namespace testsupport;

static void Seed(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    fs::path corpus = argv[1];
    FixtureFile rich = RichFixture();
    fs::path load = corpus / "TemplateLoad_fuzz";
    Seed(load, "rich.dat", TerminalsFile(rich));
    Seed(load, "empty.dat", TerminalsFile(FixtureFile()));
    Seed(load, "generated.dat", TerminalsFile(GeneratedFixture(3)));
    fs::path import = corpus / "TemplateImport_fuzz";
    for (size_t i = 0; i < rich.terminals.size(); ++i)
        Seed(import, "terminal" + std::to_string(i) + ".tpl", DeviceFile(rich.terminals[i]));
    return 0;
}
