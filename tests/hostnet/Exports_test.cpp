// Each host library carries a private copy of the platform layer. Should a platform symbol show
// in a library's dynamic table, the dynamic linker binds every copy's calls to one of them (the
// program's, or the first library's), so two libraries of one process would share state by
// accident. Only the host stand-ins of libplatform_host.so are shared, on purpose.

#include <cxxabi.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

struct DynamicSymbol {
    std::string name; // demangled
    bool defined;
};

// The global and weak symbols of an ELF64 file's dynamic table.
std::vector<DynamicSymbol> DynamicSymbols(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < sizeof(Elf64_Ehdr) || std::memcmp(file.data(), ELFMAG, SELFMAG) != 0 ||
        file[EI_CLASS] != ELFCLASS64)
        throw std::runtime_error("not an ELF64 file: " + path);
    auto at = [&](size_t offset, size_t size) {
        if (offset + size > file.size())
            throw std::runtime_error("truncated ELF file: " + path);
        return file.data() + offset;
    };
    Elf64_Ehdr header;
    std::memcpy(&header, file.data(), sizeof header);
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    for (size_t i = 0; i < sections.size(); ++i)
        std::memcpy(&sections[i], at(header.e_shoff + i * header.e_shentsize, sizeof(Elf64_Shdr)),
                    sizeof(Elf64_Shdr));
    std::vector<DynamicSymbol> symbols;
    for (const Elf64_Shdr& table : sections) {
        if (table.sh_type != SHT_DYNSYM || table.sh_link >= sections.size())
            continue;
        const Elf64_Shdr& strings = sections[table.sh_link];
        const char* names = at(strings.sh_offset, strings.sh_size);
        for (size_t offset = 0; offset + sizeof(Elf64_Sym) <= table.sh_size; offset += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, at(table.sh_offset + offset, sizeof symbol), sizeof symbol);
            const int binding = ELF64_ST_BIND(symbol.st_info);
            if ((binding != STB_GLOBAL && binding != STB_WEAK && binding != STB_GNU_UNIQUE) ||
                symbol.st_name >= strings.sh_size)
                continue;
            const char* raw = names + symbol.st_name;
            int status = 0;
            std::unique_ptr<char, decltype(&std::free)> demangled(
                abi::__cxa_demangle(raw, nullptr, nullptr, &status), &std::free);
            symbols.push_back({status == 0 ? demangled.get() : raw, symbol.st_shndx != SHN_UNDEF});
        }
    }
    return symbols;
}

// The entity a demangled name names: without "typeinfo for " and the like, without the
// parameter list. An interface member that takes a platform type is not a platform symbol.
std::string Entity(std::string name) {
    for (const char* prefix : {"typeinfo for ", "typeinfo name for ", "vtable for ", "VTT for ",
                               "guard variable for ", "construction vtable for "})
        if (name.rfind(prefix, 0) == 0)
            name.erase(0, std::strlen(prefix));
    int depth = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '<')
            ++depth;
        else if (name[i] == '>')
            --depth;
        else if (name[i] == '(' && depth == 0 && i > 0)
            return name.substr(0, i);
    }
    return name;
}

bool InPlatform(const std::string& name) {
    return Entity(name).find("platform::") != std::string::npos;
}

bool InHostState(const std::string& name) {
    return Entity(name).find("platform::host::") != std::string::npos;
}

TEST(HostLibraryExports, EntityIsTheNameWithoutItsParameters) {
    EXPECT_FALSE(InPlatform("CFunction::SetLogClock(platform::Clock*)"));
    EXPECT_TRUE(InPlatform("platform::ProgramDirectory()"));
    EXPECT_TRUE(InPlatform("typeinfo for platform::wmi::Provider"));
    EXPECT_TRUE(InPlatform("std::vector<platform::wmi::HostLink, std::allocator<platform::wmi::HostLink> >::~vector()"));
    EXPECT_TRUE(InPlatform("platform::(anonymous namespace)::g_mutex"));
}

struct Library {
    const char* name;
    const char* path;
};

void PrintTo(const Library& library, std::ostream* out) {
    *out << library.name;
}

class HostLibraryExports : public ::testing::TestWithParam<Library> {};

TEST_P(HostLibraryExports, NoPlatformSymbolDefinedAndNoneImportedButTheHostState) {
    const std::vector<DynamicSymbol> symbols = DynamicSymbols(GetParam().path);
    int defined = 0;
    for (const DynamicSymbol& symbol : symbols) {
        defined += symbol.defined;
        if (symbol.defined)
            EXPECT_FALSE(InPlatform(symbol.name)) << GetParam().name << " exports " << symbol.name;
        else
            EXPECT_TRUE(!InPlatform(symbol.name) || InHostState(symbol.name))
                << GetParam().name << " binds to another copy's " << symbol.name;
    }
    EXPECT_GT(defined, 0) << "no interface found in " << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Each, HostLibraryExports,
                         ::testing::Values(Library{"dunmore", DUNMORE_LIBRARY}, Library{"pellar", PELLAR_LIBRARY},
                                           Library{"ostrel", OSTREL_LIBRARY}),
                         [](const auto& info) { return std::string(info.param.name); });

// A program that links the platform layer and the libraries offers them none of its own copy.
TEST(HostLibraryExports, TheProgramOffersTheLibrariesNoPlatformSymbol) {
    for (const DynamicSymbol& symbol : DynamicSymbols("/proc/self/exe"))
        EXPECT_FALSE(symbol.defined && InPlatform(symbol.name)) << "the program exports " << symbol.name;
}

} // namespace
