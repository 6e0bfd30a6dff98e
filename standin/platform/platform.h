// The stand-in's calls into the operating system, behind one small
// interface with one implementation per platform: platform_posix.cpp, or
// platform_windows.cpp and process_windows.cpp (the build compiles the
// files of one platform).  Paths are the
// bytes the command was given, as the modeler hands them to a module (on
// Windows, text in the ANSI code page); only these calls turn them into the
// system's own form.  A reason (`why`) is the system's text for what went
// wrong, one line without a final full stop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace standin::platform {

// The system's text for an error code (an errno value; on Windows, a
// GetLastError code), exactly as the reasons below give it.
std::string errorText(int code);

// ---- paths -----------------------------------------------------------------

// The separator the command puts between a folder and a name.
char separator();

// Where the last component of `path` begins: just after its last separator
// ('/'; on Windows also '\' and the colon of a drive letter), or 0.
std::size_t nameStart(const std::string &path);

// The full path of the running program; empty when it cannot be told.
std::string programPath();

// True when the file at `path` can be opened for reading.
bool readable(const std::string &path);

// ---- files -----------------------------------------------------------------

enum class FileKind {
    Regular,
    Folder,
    Device, // a terminal, /dev/zero, NUL, CON, a disk
    Stream, // a FIFO, a pipe, a socket: read until it ends
    Other,
};

// What `path` names, through links.  False with the reason when it cannot
// be told: the file is not there, or may not be looked at.
bool fileKind(const std::string &path, FileKind &kind, std::string &why);

// True when both paths name one existing file, through links and other
// spellings of the path as well.
bool sameFile(const std::string &a, const std::string &b);

// A file open for reading; closed with the object.
class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    // Opens `path` for reading without waiting for a writer (a FIFO with
    // none reads as empty), and tells what was opened: its kind and, for a
    // regular file, its size now.  Folders open as well, so that the caller
    // can refuse them by kind.
    bool open(const std::string &path, std::string &why);
    FileKind kind() const { return kind_; }
    std::uint64_t size() const { return size_; }

    // Reads at most `want` bytes, waiting for them if need be; `got` is 0
    // once the file has ended.
    bool read(void *into, std::size_t want, std::size_t &got, std::string &why);

    // Reads on until the file ends or `text` holds `limit` bytes, into
    // `text` (emptied first).  False with the reason when a read fails; a
    // text larger than memory throws std::bad_alloc.
    bool readAll(std::string &text, std::string &why, std::size_t limit = SIZE_MAX);

  private:
    friend class FileView;
    std::intptr_t handle_ = -1; // a descriptor, or a HANDLE
    FileKind kind_ = FileKind::Other;
    std::uint64_t size_ = 0;
};

// The first bytes of a regular file mapped read-only into memory, for as
// long as the object lives: the pages are the system's cache of the file,
// not a copy, so another program's writes to the file may show in them.
class FileView {
  public:
    FileView() = default;
    ~FileView();
    FileView(const FileView &) = delete;
    FileView &operator=(const FileView &) = delete;

    // Maps the first `size` bytes (at least one) of `file`, a regular file
    // that still holds them once mapped.  False when the system will not
    // map them; the caller then reads the file instead.
    bool map(const InputFile &file, std::uint64_t size);
    const std::uint8_t *data() const { return static_cast<const std::uint8_t *>(address_); }
    std::size_t size() const { return size_; }

  private:
    void *address_ = nullptr;
    std::size_t size_ = 0;
};

// What happens when another program cuts a mapped file short while the
// process still reads its view (on POSIX systems, a read of a page the file
// no longer has): `line` is written to standard error and the process ends
// with `status`, nothing else done.  Windows refuses to cut a file while a
// view of it is mapped.
void whenMappedFileCut(const std::string &line, int status);

// Opens `path` as InputFile::open does (a FIFO with no writer reads as
// empty) and reads it whole, or its first `limit` bytes, into `text`.
// False with the reason when it cannot be opened or read; a text larger
// than memory throws std::bad_alloc.  The caller refuses the kinds of file
// it has no use for (a folder, a device that never ends) before.
bool readWholeFile(const std::string &path, std::string &text, std::string &why, std::size_t limit = SIZE_MAX);

// Writes `bytes` as the whole file at `path`, created or emptied first.
bool writeWholeFile(const std::string &path, const std::string &bytes, std::string &why);

// ---- module files ----------------------------------------------------------

// Loads a module file with all its symbols resolved now; null with the
// system's reason when it cannot be loaded.
void *openLibrary(const std::string &path, std::string &why);

// The address of an exported symbol; null when there is none.
void *findSymbol(void *library, const char *name);

void closeLibrary(void *library);

// ---- the process -----------------------------------------------------------

// Once, before anything else: a file-size limit is reported as a failed
// write, not a killed process (POSIX); standard output and error carry
// their bytes as printed (Windows: no CR put before each LF).
void startCommand();

// Interrupts (SIGINT, SIGTERM, SIGHUP; Ctrl-C, Ctrl-Break, a closed
// console) wait from holdInterrupts until releaseInterrupts; one that came
// meanwhile then ends the process as it would have.
void holdInterrupts();
void releaseInterrupts();

} // namespace standin::platform
