// Shared helpers of the test programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <atomic>
#include <mutex>
#include <thread>
#endif

namespace testsupport {

// Reads a whole file into a string (binary); empty when it cannot be read.
std::string readFile(const std::string &path);

// Writes a whole file (binary); false on failure.
bool writeFile(const std::string &path, const std::string &bytes);

// `name` in `folder`, with the separator a user of this system types.
#if defined(_WIN32)
inline std::string join(const std::string &folder, const std::string &name) { return folder + '\\' + name; }
#else
inline std::string join(const std::string &folder, const std::string &name) { return folder + '/' + name; }
#endif

// The names of the files and folders in `folder`, sorted (none when it
// cannot be read).
std::vector<std::string> namesIn(const std::string &folder);

// A fresh empty folder under the system's temporary folder (TMPDIR or /tmp;
// on Windows GetTempPath's), removed by the caller's fixture as it likes;
// its path has no trailing separator.
std::string makeTempDir();

// Removes a folder of the test's with everything in it, whatever was made
// read-only there and however long its paths grew.
void removeTree(const std::string &path);

// Makes the file at `path` `size` bytes long without writing its new bytes
// (a sparse file, read as zeros); false when the system refuses.
bool growSparse(const std::string &path, std::uint64_t size);

// A fresh empty folder, removed with everything in it on destruction.
struct TempDir {
    TempDir() : path(makeTempDir()) {}
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string path;
};

// The system's own words for a file that is not there, as the command
// quotes them: one line, without a final full stop.
std::string noSuchFileText();

// Makes `at` a symbolic link to `target` (relative to the link's folder).
// False where the system makes none: Wine 8 answers CreateSymbolicLinkW
// with success and makes nothing, so the link is looked for afterwards.
bool makeLink(const std::string &target, const std::string &at);
inline constexpr char kNoLinks[] =
    "this system makes no symbolic links (Wine 8 answers CreateSymbolicLinkW with success and makes none)";

#if defined(_WIN32)
// A volume that tests may fill, for the faults Windows has no other way to
// make (it has no file-size limit, and Wine's root may write anywhere): the
// folder SPINDLE_FULL_VOLUME names, on a small volume of its own that takes
// few files (under Wine, a tmpfs with a small nr_inodes, reached through
// drive Z:).  While one of these lives, no other test program uses it.
class FullVolume {
  public:
    FullVolume();
    ~FullVolume();
    FullVolume(const FullVolume &) = delete;
    FullVolume &operator=(const FullVolume &) = delete;

    bool available() const { return !folder.empty(); }
    // Fills the volume so that exactly `bytes` (a multiple of `block`) stay
    // free; false when it cannot.
    bool leave(std::uint64_t bytes);
    // Makes empty files until the volume takes no new file; false when it
    // takes more than a few thousand.
    bool takeNoNewFile();

    std::string folder;      // a fresh empty folder on the volume
    std::uint64_t block = 0; // the volume counts its free space in these
    std::string reason;      // why there is none

  private:
    void *lock_ = nullptr;
    std::string filler_, names_;
};

// Holds a file open as another program would: sharing it with no one, or
// with readers and writers but not with a rename or delete over it.
class HeldFile {
  public:
    enum Sharing { Nothing, ReadAndWrite };
    HeldFile(const std::string &path, Sharing sharing);
    ~HeldFile();
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;
    bool held() const;

  private:
    void *handle_;
};

// A named pipe (\\.\pipe\NAME), served while this lives as a FIFO would be
// by a program at its other end: each program that connects is given
// `text`, and then the pipe ends; with no text, what each writes is kept.
class ServedPipe {
  public:
    explicit ServedPipe(const std::string &text = {});
    ~ServedPipe();
    ServedPipe(const ServedPipe &) = delete;
    ServedPipe &operator=(const ServedPipe &) = delete;
    // Stops serving; returns what was written to the pipe.
    std::string close();

    std::string path;

  private:
    void serve();
    std::string text_, received_;
    std::vector<std::thread> servers_;
    std::mutex receiving_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> serving_{0};
    std::atomic<int> listening_{0}; // servers whose first instance exists, or that gave up
};
#endif

} // namespace testsupport
