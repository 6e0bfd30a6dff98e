// The module file as a host's loader finds it, read from its bytes: the one
// exported name and, in a Windows DLL, the descriptor's words as stored.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using testing::ElementsAre;

namespace {

#if defined(_WIN32)

// The headers, sections and exports of a PE file, every offset checked
// against what remains of the file.  A refusal is one line: the file, the
// byte offset and a fixed reason.
class PeFile {
  public:
    static constexpr uint64_t npos = UINT64_MAX;

    explicit PeFile(const std::string &path) : path_(path) {
        std::ifstream in(path, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (readHeaders())
            readExports();
    }

    std::string error;
    uint16_t machine = 0;
    bool wide = false; // PE32+: 64-bit addresses
    uint64_t imageBase = 0;
    uint32_t exportCount = 0;
    std::vector<std::string> exportNames;
    std::vector<uint64_t> exportRvas; // beside exportNames

    // The file offset of `size` bytes at `rva`, all within one section's
    // stored data; npos when they are not.
    uint64_t offsetOf(uint64_t rva, uint64_t size) const {
        const Section *section = sectionOf(rva);
        return section && size <= section->stored - (rva - section->rva) ? section->offset + (rva - section->rva)
                                                                         : npos;
    }
    bool executable(uint64_t rva) const {
        const Section *section = sectionOf(rva);
        return section && (section->flags & 0x20000000u) != 0; // IMAGE_SCN_MEM_EXECUTE
    }
    // An address as stored in the image, as an RVA (npos below the image).
    uint64_t rvaOf(uint64_t address) const { return address >= imageBase ? address - imageBase : npos; }
    // A little-endian word of 2, 4 or 8 bytes at an offset checked before.
    uint64_t word(uint64_t offset, unsigned size) const {
        uint64_t value = 0;
        for (unsigned i = size; i-- > 0;)
            value = value << 8 | bytes_[offset + i];
        return value;
    }
    // The NUL-terminated text at `rva`, named by the word at `from`; "" and
    // `error` set when it is not all in one section.
    std::string text(uint64_t rva, uint64_t from) {
        const Section *section = sectionOf(rva);
        if (!section) {
            fail(from, "text outside the sections");
            return "";
        }
        const char *start = reinterpret_cast<const char *>(bytes_.data() + section->offset + (rva - section->rva));
        const void *nul = std::memchr(start, 0, section->stored - (rva - section->rva));
        if (!nul) {
            fail(from, "text runs past its section");
            return "";
        }
        return std::string(start, static_cast<const char *>(nul));
    }

  private:
    struct Section {
        uint64_t rva, stored, offset;
        uint32_t flags;
    };

    const Section *sectionOf(uint64_t rva) const {
        for (const Section &section : sections_)
            if (rva >= section.rva && rva - section.rva < section.stored)
                return &section;
        return nullptr;
    }
    bool fits(uint64_t offset, uint64_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    bool fail(uint64_t offset, const char *reason) {
        if (error.empty())
            error = path_ + ": byte " + std::to_string(offset) + ": " + reason;
        return false;
    }

    bool readHeaders() {
        if (!fits(0, 64) || bytes_[0] != 'M' || bytes_[1] != 'Z')
            return fail(0, "no MZ header");
        const uint64_t pe = word(0x3c, 4);
        if (!fits(pe, 24) || std::memcmp(&bytes_[pe], "PE\0\0", 4) != 0)
            return fail(0x3c, "no PE signature where the MZ header points");
        machine = static_cast<uint16_t>(word(pe + 4, 2));
        const uint64_t sectionCount = word(pe + 6, 2), optionalSize = word(pe + 20, 2), optional = pe + 24;
        if (optionalSize < 2 || !fits(optional, optionalSize))
            return fail(optional, "optional header past the end of the file");
        const uint64_t magic = word(optional, 2);
        if (magic != 0x10b && magic != 0x20b)
            return fail(optional, "neither a PE32 nor a PE32+ optional header");
        wide = magic == 0x20b;
        // The data directories, the export directory first, after their count.
        const uint64_t directories = wide ? 112 : 96;
        if (optionalSize < directories + 8 || word(optional + directories - 4, 4) < 1)
            return fail(optional, "no export directory entry");
        imageBase = wide ? word(optional + 24, 8) : word(optional + 28, 4);
        exportDirectory_ = word(optional + directories, 4);
        exportDirectoryAt_ = optional + directories;
        const uint64_t table = optional + optionalSize;
        if (!fits(table, sectionCount * 40))
            return fail(table, "section table past the end of the file");
        for (uint64_t at = table; at < table + sectionCount * 40; at += 40) {
            const uint64_t mapped = word(at + 8, 4), stored = word(at + 16, 4), offset = word(at + 20, 4);
            if (!fits(offset, stored))
                return fail(at, "section data past the end of the file");
            // Stored bytes past the mapped size are padding the loader drops.
            sections_.push_back({word(at + 12, 4), mapped != 0 && mapped < stored ? mapped : stored, offset,
                                 static_cast<uint32_t>(word(at + 36, 4))});
        }
        return true;
    }

    bool readExports() {
        const uint64_t directory = offsetOf(exportDirectory_, 40);
        if (directory == npos)
            return fail(exportDirectoryAt_, "export directory outside the sections");
        exportCount = static_cast<uint32_t>(word(directory + 20, 4));
        const uint64_t nameCount = word(directory + 24, 4);
        const uint64_t functions = offsetOf(word(directory + 28, 4), uint64_t{exportCount} * 4);
        const uint64_t names = offsetOf(word(directory + 32, 4), nameCount * 4);
        const uint64_t ordinals = offsetOf(word(directory + 36, 4), nameCount * 2);
        if (functions == npos || names == npos || ordinals == npos)
            return fail(directory, "export tables outside the sections");
        for (uint64_t i = 0; i < nameCount; ++i) {
            const uint64_t ordinal = word(ordinals + i * 2, 2);
            if (ordinal >= exportCount)
                return fail(ordinals + i * 2, "name ordinal past the exported functions");
            exportNames.push_back(text(word(names + i * 4, 4), names + i * 4));
            exportRvas.push_back(word(functions + ordinal * 4, 4));
        }
        return error.empty();
    }

    std::string path_;
    std::vector<unsigned char> bytes_;
    std::vector<Section> sections_;
    uint64_t exportDirectory_ = 0, exportDirectoryAt_ = 0;
};

TEST(ModuleFile, exportsOnlyTheDescriptor) {
    const PeFile dll(SPINDLE_MODULE_PATH);
    ASSERT_EQ(dll.error, "");
    // The DLL is for the machine the tests are built for.
    EXPECT_EQ(dll.wide, sizeof(void *) == 8);
    EXPECT_EQ(dll.machine, sizeof(void *) == 8 ? 0x8664 : 0x14c);
    EXPECT_EQ(dll.exportCount, 1u);
    EXPECT_THAT(dll.exportNames, ElementsAre("_mod_descrip"));
}

// The descriptor as the host reads it from the mapped file: three 32-bit
// little-endian words, then start-up, shut-down and the server list as
// addresses in the image (32-bit words at 12, 16 and 20 in a 32-bit DLL;
// 64-bit, aligned, at 16, 24 and 32 in a 64-bit one).
TEST(ModuleFile, descriptorWordsAsStoredInTheDll) {
    PeFile dll(SPINDLE_MODULE_PATH);
    ASSERT_EQ(dll.error, "");
    ASSERT_THAT(dll.exportNames, ElementsAre("_mod_descrip"));
    const unsigned pointer = dll.wide ? 8 : 4, first = dll.wide ? 16 : 12;
    const uint64_t descriptor = dll.offsetOf(dll.exportRvas[0], first + 3 * pointer);
    ASSERT_NE(descriptor, PeFile::npos) << "the descriptor's bytes are not all in the file";
    EXPECT_EQ(dll.word(descriptor + 0, 4), 0x04121994u);
    EXPECT_EQ(dll.word(descriptor + 4, 4), 3u);
    EXPECT_EQ(dll.word(descriptor + 8, 4), 0x300u);
    EXPECT_TRUE(dll.executable(dll.rvaOf(dll.word(descriptor + first, pointer)))) << "start-up";
    EXPECT_TRUE(dll.executable(dll.rvaOf(dll.word(descriptor + first + pointer, pointer)))) << "shut-down";

    const uint64_t list = dll.rvaOf(dll.word(descriptor + first + 2 * pointer, pointer));
    const uint64_t servers = dll.offsetOf(list, 6 * pointer);
    ASSERT_NE(servers, PeFile::npos) << "the server list is not in the file";
    EXPECT_EQ(dll.text(dll.rvaOf(dll.word(servers, pointer)), servers), "CommandSequence");
    EXPECT_EQ(dll.text(dll.rvaOf(dll.word(servers + pointer, pointer)), servers + pointer), "Vant_Spindle");
    EXPECT_TRUE(dll.executable(dll.rvaOf(dll.word(servers + 2 * pointer, pointer)))) << "activate";
    for (unsigned field = 3; field < 6; ++field)
        EXPECT_EQ(dll.word(servers + field * pointer, pointer), 0u) << "end record, field " << field - 3;
    EXPECT_EQ(dll.error, "");
}

#else

std::string runCommand(const std::string &command) {
    std::string output;
    if (std::FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    return output;
}

TEST(ModuleFile, exportsOnlyTheDescriptor) {
    const std::string symbols = runCommand("nm -D --defined-only '" SPINDLE_MODULE_PATH "'");
    std::vector<std::string> names;
    size_t start = 0;
    while (start < symbols.size()) {
        const size_t end = symbols.find('\n', start);
        const std::string line = symbols.substr(start, end - start);
        names.push_back(line.substr(line.find_last_of(' ') + 1));
        start = end == std::string::npos ? symbols.size() : end + 1;
    }
    EXPECT_THAT(names, ElementsAre("_mod_descrip"));
}

#endif

} // namespace
