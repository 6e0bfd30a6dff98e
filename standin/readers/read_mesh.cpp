// Model file reading: the format is told by the content, never by the name,
// and from the first bytes, before the rest of the file is read.
#include "standin/readers/formats.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "standin/platform/platform.h"
#include "standin/mesh/iff_bytes.h"
#include "standin/readers/read_mesh.h"

namespace standin {
namespace {

constexpr char kNoMemory[] = "not enough memory to read it";
constexpr char kUnknownFormat[] = "byte 0: not a model file of a known format";

// Bytes read first to tell the format.
constexpr size_t kPrefix = 64 * 1024;
// An IFF file is its FORM header and a body of at most a 32-bit size.
constexpr uint64_t kIffLargest = 8 + uint64_t(0xFFFFFFFFu);

enum class Format { Unknown, Iff, Obj, Unsure };

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
bool readStream(platform::InputFile &file, Bytes &bytes, uint64_t keep, uint64_t largest, uint64_t &total,
                std::string &reason) {
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

// Opens a model file: folders and devices are refused before anything is
// read from them.  Opened without waiting for a FIFO's writer, read waiting
// for it.
bool openModelFile(const std::string &path, platform::InputFile &file, std::string &reason) {
    platform::FileKind kind;
    std::string why;
    if (!platform::fileKind(path, kind, why))
        return cannotRead(why, reason);
    if (refusedKind(kind, reason))
        return false;
    if (!file.open(path, why))
        return cannotRead(why, reason);
    return !refusedKind(file.kind(), reason);
}

// What is known once the first bytes are read.  Pipes, and files that tell
// no size (some system files), are read until they end.
struct Start {
    Bytes bytes;
    uint64_t fileSize = 0;
    bool sized = false;
    bool ended = false;
    bool whole = false; // `bytes` holds the whole file
    Format format = Format::Unknown;
};

// Reads the first bytes and tells the format from them, reading on past
// comments and blank lines to the first statement; false with the reason
// for an empty file or one of no known format.
bool readStart(platform::InputFile &file, Start &start, std::string &reason) {
    start.fileSize = file.size();
    start.sized = start.fileSize > 0;
    Bytes &bytes = start.bytes;
    const size_t first = start.sized ? size_t(std::min<uint64_t>(start.fileSize, kPrefix)) : kPrefix;
    if (!readUpTo(file, bytes, first, start.ended, reason))
        return false;
    start.whole = start.ended || (start.sized && bytes.size == start.fileSize);
    start.format = tellFormat(bytes.data.get(), bytes.size, start.whole);
    while (start.format == Format::Unsure && !start.whole) {
        const uint64_t want = start.sized ? start.fileSize : 2 * uint64_t(bytes.size);
        if (want > SIZE_MAX)
            throw std::bad_alloc();
        if (!readUpTo(file, bytes, size_t(want), start.ended, reason))
            return false;
        start.whole = start.ended || (start.sized && bytes.size == start.fileSize);
        start.format = tellFormat(bytes.data.get(), bytes.size, start.whole);
    }
    if (bytes.size == 0) {
        reason = "byte 0: empty file";
        return false;
    }
    if (start.format == Format::Unknown || start.format == Format::Unsure) {
        reason = kUnknownFormat;
        return false;
    }
    return true;
}

// The rest of an IFF file: nothing past the FORM's own size is read by the
// reader, so only that much is read, or mapped where the system maps it (in
// `view`, then); a stream is still counted to its end to refuse one no IFF
// file could be.
bool readIffRest(platform::InputFile &file, Start &start, std::shared_ptr<const uint8_t[]> &view, uint64_t &viewSize,
                 std::string &reason) {
    const char *tooLarge = "byte 0: larger than an IFF model file can be";
    Bytes &bytes = start.bytes;
    if (start.sized && start.fileSize > kIffLargest) {
        reason = tooLarge;
        return false;
    }
    const uint64_t formEnd = bytes.size >= 8 ? 8 + uint64_t(bigEndian32(bytes.data.get() + 4)) : kIffLargest;
    if (start.sized) {
        const uint64_t want = std::min(start.fileSize, formEnd);
        if ((view = want > bytes.size ? mapped(file, want) : nullptr)) {
            viewSize = want;
            return true;
        }
        return readUpTo(file, bytes, size_t(want), start.ended, reason);
    }
    uint64_t total = 0;
    if (!readStream(file, bytes, formEnd, kIffLargest, total, reason))
        return false;
    if (total > kIffLargest) {
        reason = tooLarge;
        return false;
    }
    return true;
}

// The rest of a text file, read into memory, not mapped: it is parsed once
// and not kept; one larger than memory is refused at once, not read to its end.
bool readTextRest(platform::InputFile &file, Start &start, std::string &reason) {
    if (start.sized) {
        if (start.fileSize > SIZE_MAX)
            throw std::bad_alloc();
        return readUpTo(file, start.bytes, size_t(start.fileSize), start.ended, reason);
    }
    uint64_t total = 0;
    return readStream(file, start.bytes, UINT64_MAX, UINT64_MAX, total, reason);
}

// The model in `data`; `owned`, when set, holds the same bytes for the mesh
// to keep.
bool readBytes(const uint8_t *data, size_t size, std::shared_ptr<const uint8_t[]> owned, Mesh &mesh,
               std::string &reason) {
    if (size == 0) {
        reason = "byte 0: empty file";
        return false;
    }
    switch (tellFormat(data, size, true)) {
    case Format::Iff: return readLwo(data, size, std::move(owned), mesh, reason);
    case Format::Obj: return readObj(data, size, mesh, reason);
    default: break;
    }
    reason = kUnknownFormat;
    return false;
}

// Opens, reads as much of the file as its format needs, and reads the model
// from those bytes.
bool readFile(const std::string &path, Mesh &mesh, std::string &reason) {
    platform::InputFile file;
    Start start;
    if (!openModelFile(path, file, reason) || !readStart(file, start, reason))
        return false;
    if (!start.whole && start.format == Format::Iff) {
        std::shared_ptr<const uint8_t[]> view;
        uint64_t viewSize = 0;
        if (!readIffRest(file, start, view, viewSize, reason))
            return false;
        if (view) {
            const uint8_t *data = view.get();
            return readBytes(data, size_t(viewSize), std::move(view), mesh, reason);
        }
    } else if (!start.whole && !readTextRest(file, start, reason)) {
        return false;
    }
    const uint8_t *data = start.bytes.data.get();
    const size_t size = start.bytes.size;
    return readBytes(data, size, std::shared_ptr<const uint8_t[]>(std::move(start.bytes.data)), mesh, reason);
}

// Runs `read` on an empty mesh, the one place where running out of memory
// becomes a reason; on failure the mesh is left empty.
template <typename Read>
bool guarded(Mesh &mesh, std::string &reason, Read read) {
    mesh = Mesh{};
    bool ok = false;
    try {
        ok = read();
    } catch (const std::bad_alloc &) {
        reason = kNoMemory;
    }
    if (!ok)
        mesh = Mesh{};
    return ok;
}

} // namespace

bool readMeshBytes(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason) {
    return guarded(mesh, reason, [&] { return readBytes(data, size, nullptr, mesh, reason); });
}

bool readMesh(const std::string &path, Mesh &mesh, std::string &reason) {
    // An OBJ's material libraries are read after it, for their colours.
    return guarded(mesh, reason,
                   [&] { return readFile(path, mesh, reason) && (readMaterialColours(path, mesh), true); });
}

} // namespace standin
