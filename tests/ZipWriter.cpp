// Little-endian records after the PKWARE application note.
#include "tests/ZipWriter.h"

#include <zlib.h>

namespace {

void Put16(std::string* out, uint32_t v) {
    out->push_back(static_cast<char>(v & 0xFF));
    out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string* out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

std::string Deflate(const std::string& data) {
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, static_cast<uLong>(data.size())) + 16, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

std::string BuildZip(const ZipLayout& layout) {
    std::string archive;
    std::vector<std::string> records;
    for (const ZipEntryLayout& e : layout.entries) {
        const std::string body = e.compressed ? *e.compressed
                                 : e.method == 8 ? Deflate(e.data)
                                                 : e.data;
        const uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
        const uint32_t compressedSize = static_cast<uint32_t>(body.size());
        const uint32_t size = static_cast<uint32_t>(e.data.size());
        const bool descriptor = (e.flags & 8) != 0;
        const uint32_t offset = static_cast<uint32_t>(archive.size());

        Put32(&archive, 0x04034b50);
        Put16(&archive, 20);
        Put16(&archive, e.flags);
        Put16(&archive, e.method);
        Put32(&archive, 0);  // time and date
        Put32(&archive, descriptor ? 0 : crc);
        Put32(&archive, e.headerCompressedSize.value_or(descriptor ? 0 : compressedSize));
        Put32(&archive, e.headerUncompressedSize.value_or(descriptor ? 0 : size));
        Put16(&archive, static_cast<uint32_t>(e.name.size()));
        Put16(&archive, 0);
        archive += e.name;
        archive += body;
        if (descriptor) {
            if (e.descriptorSignature)
                Put32(&archive, 0x08074b50);
            Put32(&archive, crc);
            Put32(&archive, compressedSize);
            Put32(&archive, size);
        }

        std::string directory;
        Put32(&directory, 0x02014b50);
        Put16(&directory, 20);
        Put16(&directory, 20);
        Put16(&directory, e.flags);
        Put16(&directory, e.method);
        Put32(&directory, 0);
        Put32(&directory, crc);
        Put32(&directory, compressedSize);
        Put32(&directory, size);
        Put16(&directory, static_cast<uint32_t>(e.name.size()));
        Put16(&directory, 0);
        Put16(&directory, 0);
        Put16(&directory, 0);
        Put16(&directory, 0);
        Put32(&directory, 0);
        Put32(&directory, offset);
        directory += e.name;
        records.push_back(directory);
    }
    std::string directory;
    if (layout.directoryOrder.empty()) {
        for (const std::string& record : records)
            directory += record;
    } else {
        for (const int index : layout.directoryOrder)
            directory += records[static_cast<size_t>(index)];
    }
    const uint32_t directoryOffset = static_cast<uint32_t>(archive.size());
    archive += directory;
    Put32(&archive, 0x06054b50);
    Put16(&archive, 0);
    Put16(&archive, layout.startDisk);
    Put16(&archive, static_cast<uint32_t>(layout.entries.size()));
    Put16(&archive, static_cast<uint32_t>(layout.entries.size()));
    Put32(&archive, layout.directorySize.value_or(static_cast<uint32_t>(directory.size())));
    Put32(&archive, directoryOffset);
    Put16(&archive, static_cast<uint32_t>(layout.comment.size()));
    archive += layout.comment;
    archive += layout.trailing;
    return archive;
}
