#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tarvelo {

// A file the program writes (an arrangement, a recording), written under a name of its own
// beside the file it is to become and given that name only once it is whole: an earlier file of
// the name is never damaged, a failed or killed write never leaves half a file under it, and a
// directory, FIFO or device of the name is refused rather than replaced.
//
// One thread at a time; not for the real-time path (it makes system calls that may block).
class OutputFile {
  public:
    // What becomes of the file when it is not committed.
    enum class Pending {
        // "<target>.tmp-<pid>-<n>", removed: half an arrangement is of no use.
        Temporary,
        // "<stem>.partial<extension>" (then "<stem>.partial-2<extension>", ...), kept: what was
        // recorded before a failure or a kill is worth having, under a name that says so.
        Partial,
    };

    OutputFile() = default;
    // Abandons a file that was not committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the pending file beside target (the file a symbolic link points at, when target
    // is one), with the permissions of a file it will replace. Refuses a target that exists but
    // is not a regular file. On failure nothing is created and the reason comes back in one line
    // without a file name.
    std::optional<std::string> open(const std::string& target, Pending pending);

    // Writes all of `bytes` to the open file (a write interrupted by a signal goes on). On
    // failure the reason.
    std::optional<std::string> writeAll(std::span<const std::uint8_t> bytes);

    // Makes what was written durable without giving the file its name yet, so that several files
    // can be made whole first and then given their names one right after another (commit() finds
    // nothing left to flush). On failure the reason; the file stays open.
    std::optional<std::string> sync();

    // Makes the file durable, closes it and gives it the target's name, replacing an earlier
    // file in one step. On failure the reason; the file is then abandoned.
    std::optional<std::string> commit();
    // Closes the file without giving it the target's name: a Temporary file is removed, a
    // Partial one stays where it is.
    void abandon();

    bool isOpen() const { return fd_ >= 0; }
    // The open descriptor, for writing (with write(2), or through a library given it).
    int fd() const { return fd_; }
    // Where the file is being written (after abandon(), where a Partial file was left), and the
    // name it takes when committed.
    const std::string& path() const { return path_; }
    const std::string& target() const { return target_; }

  private:
    int fd_ = -1;
    Pending pending_ = Pending::Temporary;
    std::string path_;
    std::string target_;
};

}  // namespace tarvelo
