#include "hostcheck/pe_image.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace velkor::pe {
namespace {

constexpr std::size_t kExportDirectory = 0;
constexpr std::size_t kImportDirectory = 1;
constexpr std::size_t kResourceDirectory = 2;
constexpr int kResourceLevels = 3;  // type, name, language

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> file) : file_(file) {}

    std::uint16_t u16(std::size_t offset) const
    {
        need(offset, 2);
        return static_cast<std::uint16_t>(file_[offset] | file_[offset + 1] << 8);
    }

    std::uint32_t u32(std::size_t offset) const
    {
        return static_cast<std::uint32_t>(u16(offset)) | static_cast<std::uint32_t>(u16(offset + 2))
                                                             << 16;
    }

    void need(std::size_t offset, std::size_t size) const
    {
        if (offset > file_.size() || size > file_.size() - offset)
            throw PeError("file of " + std::to_string(file_.size()) + " bytes ends before offset " +
                          std::to_string(offset) + " + " + std::to_string(size));
    }

    std::span<const std::uint8_t> bytes(std::size_t offset, std::size_t size) const
    {
        need(offset, size);
        return file_.subspan(offset, size);
    }

    // Maps an address of the loaded image to an offset in the file.
    std::size_t file_offset(std::uint32_t rva, std::size_t size = 1) const
    {
        for (const Section& section : sections_) {
            const std::uint32_t extent = std::max(section.virtual_size, section.raw_size);
            if (rva >= section.virtual_address && rva - section.virtual_address < extent) {
                const std::size_t inside = rva - section.virtual_address;
                if (inside + size > section.raw_size)
                    throw PeError("address " + std::to_string(rva) + " is not backed by the file");
                const std::size_t offset = std::size_t{section.raw_offset} + inside;
                need(offset, size);
                return offset;
            }
        }
        throw PeError("address " + std::to_string(rva) + " lies in no section");
    }

    std::string c_string(std::uint32_t rva) const
    {
        std::size_t offset = file_offset(rva);
        std::string text;
        for (;; ++offset) {
            need(offset, 1);
            if (file_[offset] == 0) return text;
            if (text.size() > 4096)
                throw PeError("unterminated name at address " + std::to_string(rva));
            text += static_cast<char>(file_[offset]);
        }
    }

    std::vector<Section> sections_;

private:
    std::span<const std::uint8_t> file_;
};

struct Directory {
    std::uint32_t rva;
    std::uint32_t size;
};

std::vector<std::string> read_exports(const Reader& reader, Directory directory,
                                      std::uint32_t& count)
{
    count = 0;
    std::vector<std::string> names;
    if (directory.rva == 0) return names;
    const std::size_t table = reader.file_offset(directory.rva, 40);
    count = reader.u32(table + 20);
    const std::uint32_t name_count = reader.u32(table + 24);
    const std::uint32_t names_rva = reader.u32(table + 32);
    if (name_count > count || name_count > 65536)
        throw PeError("export table names " + std::to_string(name_count) + " of " +
                      std::to_string(count) + " functions");
    for (std::uint32_t i = 0; i < name_count; ++i)
        names.push_back(reader.c_string(reader.u32(reader.file_offset(names_rva + 4 * i, 4))));
    return names;
}

std::vector<std::string> read_imports(const Reader& reader, Directory directory)
{
    std::vector<std::string> libraries;
    if (directory.rva == 0) return libraries;
    // Descriptors of 20 bytes each, closed by an all-zero one.
    for (std::uint32_t i = 0;; ++i) {
        if (i > 4096) throw PeError("import table has no end");
        const std::size_t descriptor = reader.file_offset(directory.rva + 20 * i, 20);
        const std::uint32_t name_rva = reader.u32(descriptor + 12);
        if (name_rva == 0 && reader.u32(descriptor) == 0 && reader.u32(descriptor + 16) == 0)
            return libraries;
        libraries.push_back(reader.c_string(name_rva));
    }
}

class ResourceWalker {
public:
    ResourceWalker(const Reader& reader, Directory directory)
        : reader_(reader), base_rva_(directory.rva)
    {
        reader_.file_offset(base_rva_, 16);
    }

    void walk(std::uint32_t table, int level, ResourceKey keys[], std::vector<Resource>& out)
    {
        if (table_visits_++ > 4096) throw PeError("resource tree is too large or loops");
        const std::size_t header = reader_.file_offset(base_rva_ + table, 16);
        const std::uint32_t entries =
            std::uint32_t{reader_.u16(header + 12)} + reader_.u16(header + 14);
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::size_t entry = reader_.file_offset(base_rva_ + table + 16 + 8 * i, 8);
            const std::uint32_t name = reader_.u32(entry);
            const std::uint32_t target = reader_.u32(entry + 4);
            keys[level] = key(name);
            const bool is_table = (target & 0x80000000u) != 0;
            if (level + 1 < kResourceLevels) {
                if (!is_table)
                    throw PeError("resource tree ends early at level " + std::to_string(level + 1));
                walk(target & 0x7FFFFFFFu, level + 1, keys, out);
                continue;
            }
            if (is_table || !keys[level].text.empty())
                throw PeError("resource language entry is not a numbered leaf");
            const std::size_t leaf = reader_.file_offset(base_rva_ + target, 16);
            const std::uint32_t data_rva = reader_.u32(leaf);
            const std::uint32_t size = reader_.u32(leaf + 4);
            const auto data =
                reader_.bytes(reader_.file_offset(data_rva, size == 0 ? 1 : size), size);
            out.push_back({keys[0], keys[1], keys[2].id, {data.begin(), data.end()}});
        }
    }

private:
    ResourceKey key(std::uint32_t name) const
    {
        if ((name & 0x80000000u) == 0) {
            if (name > 0xFFFF)
                throw PeError("resource id " + std::to_string(name) + " does not fit 16 bits");
            return {static_cast<std::uint16_t>(name), {}};
        }
        // A counted UTF-16 string; resource names here are plain ASCII.
        const std::size_t at = reader_.file_offset(base_rva_ + (name & 0x7FFFFFFFu), 2);
        const std::uint16_t length = reader_.u16(at);
        if (length == 0) throw PeError("empty resource name");
        ResourceKey result;
        for (std::uint16_t i = 0; i < length; ++i) {
            const std::uint16_t unit =
                reader_.u16(reader_.file_offset(base_rva_ + (name & 0x7FFFFFFFu) + 2 + 2 * i, 2));
            result.text += unit < 0x80 ? static_cast<char>(unit) : '?';
        }
        return result;
    }

    const Reader& reader_;
    std::uint32_t base_rva_;
    int table_visits_ = 0;
};

}  // namespace

Image read_image(std::span<const std::uint8_t> file)
{
    Reader reader(file);
    if (reader.u16(0) != 0x5A4D) throw PeError("no MZ signature: not a Windows module");
    const std::uint32_t pe = reader.u32(0x3C);
    if (reader.u32(pe) != 0x00004550)
        throw PeError("no PE signature at offset " + std::to_string(pe));
    const std::size_t coff = std::size_t{pe} + 4;
    Image image{};
    image.machine = reader.u16(coff);
    const std::uint16_t section_count = reader.u16(coff + 2);
    const std::uint16_t optional_size = reader.u16(coff + 16);
    image.characteristics = reader.u16(coff + 18);
    const std::size_t optional = coff + 20;
    image.optional_magic = reader.u16(optional);
    if (image.optional_magic != kOptionalMagicPe32Plus)
        throw PeError("not a 64-bit (PE32+) module");
    const std::uint32_t directory_count = reader.u32(optional + 108);
    auto directory = [&](std::size_t index) {
        if (index >= directory_count || 112 + 8 * (index + 1) > optional_size)
            return Directory{0, 0};
        return Directory{reader.u32(optional + 112 + 8 * index),
                         reader.u32(optional + 116 + 8 * index)};
    };

    const std::size_t sections = optional + optional_size;
    for (std::uint16_t i = 0; i < section_count; ++i) {
        const std::size_t header = sections + 40 * std::size_t{i};
        reader.need(header, 40);
        const auto name = reader.bytes(header, 8);
        std::string text(name.begin(), std::find(name.begin(), name.end(), std::uint8_t{0}));
        reader.sections_.push_back({std::move(text), reader.u32(header + 12),
                                    reader.u32(header + 8), reader.u32(header + 20),
                                    reader.u32(header + 16)});
    }

    image.sections = reader.sections_;
    image.exports = read_exports(reader, directory(kExportDirectory), image.export_count);
    image.imports = read_imports(reader, directory(kImportDirectory));
    if (const Directory resources = directory(kResourceDirectory); resources.rva != 0) {
        ResourceWalker walker(reader, resources);
        ResourceKey keys[kResourceLevels];
        walker.walk(0, 0, keys, image.resources);
    }
    return image;
}

Image read_image_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PeError("cannot open " + path.string());
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
    return read_image(file);
}

}  // namespace velkor::pe
