// Model file reading: the format is told by the content, never by the name,
// and from the first bytes, before the rest of the file is read.
#include "standin/mesh_formats.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "standin/platform.h"

namespace standin {
namespace {

constexpr char kNoMemory[] = "not enough memory to read it";
constexpr char kUnknownFormat[] = "byte 0: not a model file of a known format";

// Bytes read first to tell the format.
constexpr size_t kPrefix = 64 * 1024;
// An IFF file is its FORM header and a body of at most a 32-bit size.
constexpr uint64_t kIffLargest = 8 + uint64_t(0xFFFFFFFFu);

enum class Format { Unknown, Iff, Obj, Unsure };

// The model in `data`; `owned`, when set, holds the same bytes for the mesh
// to keep.
bool readBytes(const uint8_t *data, size_t size, std::shared_ptr<const uint8_t[]> owned, Mesh &mesh,
               std::string &reason);

Format tellFormat(const uint8_t *data, size_t size, bool whole) {
    if (size >= 4 && std::memcmp(data, "FORM", 4) == 0)
        return Format::Iff;
    if (!whole && size < 4 && std::memcmp(data, "FORM", size) == 0)
        return Format::Unsure;
    switch (looksLikeObj(data, size, whole)) {
    case Guess::Yes: return Format::Obj;
    case Guess::No: return Format::Unknown;
    case Guess::Unsure: break;
    }
    return Format::Unsure;
}

bool cannotRead(const std::string &why, std::string &reason) {
    reason = "cannot be read (" + why + ")";
    return false;
}

// Folders and devices are refused before anything is read from them: a
// device such as /dev/zero never ends.
bool refusedKind(platform::FileKind kind, std::string &reason) {
    if (kind == platform::FileKind::Folder) {
        reason = "is a folder";
        return true;
    }
    if (kind == platform::FileKind::Device) {
        reason = "is a device, not a model file";
        return true;
    }
    return false;
}

// The bytes read so far, in a buffer grown only on request (never
// initialised, so a large file is not written over before it is read).
struct Bytes {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    size_t capacity = 0;

    void reserve(size_t n) {
        if (n <= capacity)
            return;
        std::unique_ptr<uint8_t[]> grown(new uint8_t[n]);
        if (size > 0)
            std::memcpy(grown.get(), data.get(), size);
        data = std::move(grown);
        capacity = n;
    }
};

// Reads until `bytes` holds `want` bytes or the file ends (`ended`).
bool readUpTo(platform::InputFile &file, Bytes &bytes, size_t want, bool &ended, std::string &reason) {
    bytes.reserve(want);
    ended = false;
    std::string why;
    while (bytes.size < want) {
        size_t n = 0;
        if (!file.read(bytes.data.get() + bytes.size, want - bytes.size, n, why))
            return cannotRead(why, reason);
        if (n == 0) {
            ended = true;
            break;
        }
        bytes.size += n;
    }
    return true;
}

// Reads the rest of a stream of unknown length.  At most `keep` bytes are
// kept; `total` counts what the stream held, up to just past `largest`.
bool readStream(platform::InputFile &file, Bytes &bytes, uint64_t keep, uint64_t largest, uint64_t &total, std::string &reason) {
    bool ended = false;
    while (!ended && bytes.size < keep) {
        const size_t want = size_t(std::min<uint64_t>(keep, std::max<uint64_t>(2 * uint64_t(bytes.size), kPrefix)));
        if (!readUpTo(file, bytes, want, ended, reason))
            return false;
    }
    total = bytes.size;
    std::unique_ptr<uint8_t[]> scratch;
    std::string why;
    while (!ended && total <= largest) {
        if (!scratch)
            scratch.reset(new uint8_t[kPrefix]);
        size_t n = 0;
        if (!file.read(scratch.get(), kPrefix, n, why))
            return cannotRead(why, reason);
        ended = n == 0;
        total += uint64_t(n);
    }
    return true;
}

// The first `size` bytes of a regular file mapped, for the mesh to keep as
// long as it reads them; null when the system will not map them.
std::shared_ptr<const uint8_t[]> mapped(const platform::InputFile &file, uint64_t size) {
    auto view = std::make_shared<platform::FileView>();
    if (!view->map(file, size))
        return nullptr;
    const uint8_t *data = view->data();
    return std::shared_ptr<const uint8_t[]>(std::move(view), data);
}

bool readFile(const std::string &path, Mesh &mesh, std::string &reason) {
    platform::FileKind kind;
    std::string why;
    if (!platform::fileKind(path, kind, why))
        return cannotRead(why, reason);
    if (refusedKind(kind, reason))
        return false;
    // Opened without waiting for a FIFO's writer, read waiting for it.
    platform::InputFile file;
    if (!file.open(path, why))
        return cannotRead(why, reason);
    if (refusedKind(file.kind(), reason))
        return false;
    // A regular file is read to the size it has now (an IFF file mapped
    // where it is larger than its first bytes and the system maps it); pipes, and files
    // that tell no size (as some system files do), until they end.
    const uint64_t fileSize = file.size();
    const bool sized = fileSize > 0;

    Bytes bytes;
    bool ended = false;
    if (!readUpTo(file, bytes, sized ? size_t(std::min<uint64_t>(fileSize, kPrefix)) : kPrefix, ended, reason))
        return false;
    bool whole = ended || (sized && bytes.size == fileSize);
    Format format = tellFormat(bytes.data.get(), bytes.size, whole);
    while (format == Format::Unsure && !whole) {
        // Only comments and blank lines so far: read on to the first statement.
        const uint64_t want = sized ? fileSize : 2 * uint64_t(bytes.size);
        if (want > SIZE_MAX)
            throw std::bad_alloc();
        if (!readUpTo(file, bytes, size_t(want), ended, reason))
            return false;
        whole = ended || (sized && bytes.size == fileSize);
        format = tellFormat(bytes.data.get(), bytes.size, whole);
    }
    if (bytes.size == 0) {
        reason = "byte 0: empty file";
        return false;
    }
    if (format == Format::Unknown || format == Format::Unsure) {
        reason = kUnknownFormat;
        return false;
    }

    if (!whole && format == Format::Iff) {
        const char *tooLarge = "byte 0: larger than an IFF model file can be";
        if (sized && fileSize > kIffLargest) {
            reason = tooLarge;
            return false;
        }
        // Nothing past the FORM's own size is read by the reader; a stream
        // is still counted to its end to refuse one no IFF file could be.
        const uint64_t formEnd = bytes.size >= 8 ? 8 +
                ((uint64_t(bytes.data[4]) << 24) | (uint64_t(bytes.data[5]) << 16) | (uint64_t(bytes.data[6]) << 8) |
                 uint64_t(bytes.data[7]))
                                                 : kIffLargest;
        if (sized) {
            const uint64_t want = std::min(fileSize, formEnd);
            if (auto view = want > bytes.size ? mapped(file, want) : nullptr) {
                const uint8_t *data = view.get();
                return readBytes(data, size_t(want), std::move(view), mesh, reason);
            }
            if (!readUpTo(file, bytes, size_t(want), ended, reason))
                return false;
        } else {
            uint64_t total = 0;
            if (!readStream(file, bytes, formEnd, kIffLargest, total, reason))
                return false;
            if (total > kIffLargest) {
                reason = tooLarge;
                return false;
            }
        }
    } else if (!whole) {
        if (sized) {
            // Text is read into memory, not mapped: it is parsed once and
            // not kept, and a file larger than memory is refused at once
            // rather than read to its end.
            if (fileSize > SIZE_MAX)
                throw std::bad_alloc();
            if (!readUpTo(file, bytes, size_t(fileSize), ended, reason))
                return false;
        } else {
            uint64_t total = 0;
            if (!readStream(file, bytes, UINT64_MAX, UINT64_MAX, total, reason))
                return false;
        }
    }
    const uint8_t *data = bytes.data.get();
    return readBytes(data, bytes.size, std::shared_ptr<const uint8_t[]>(std::move(bytes.data)), mesh, reason);
}

} // namespace

bool readMeshBytes(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason) {
    return readBytes(data, size, nullptr, mesh, reason);
}

namespace {

bool readBytes(const uint8_t *data, size_t size, std::shared_ptr<const uint8_t[]> owned, Mesh &mesh,
               std::string &reason) {
    mesh = Mesh{};
    bool ok;
    try {
        if (size == 0) {
            reason = "byte 0: empty file";
            ok = false;
        } else {
            switch (tellFormat(data, size, true)) {
            case Format::Iff: ok = readLwo(data, size, std::move(owned), mesh, reason); break;
            case Format::Obj: ok = readObj(data, size, mesh, reason); break;
            default:
                reason = kUnknownFormat;
                ok = false;
                break;
            }
        }
    } catch (const std::bad_alloc &) {
        reason = kNoMemory;
        ok = false;
    }
    if (!ok)
        mesh = Mesh{};
    return ok;
}

} // namespace

bool readMesh(const std::string &path, Mesh &mesh, std::string &reason) {
    mesh = Mesh{};
    bool ok;
    try {
        ok = readFile(path, mesh, reason);
        if (ok && !mesh.materialLibraries.empty())
            readMaterialColours(path, mesh);
    } catch (const std::bad_alloc &) {
        reason = kNoMemory;
        ok = false;
    }
    if (!ok)
        mesh = Mesh{};
    return ok;
}

} // namespace standin
