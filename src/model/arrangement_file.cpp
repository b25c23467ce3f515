#include "model/arrangement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "model/archive.h"
#include "model/message_boxes.h"
#include "reference/cp932.h"

namespace tarvelo {

namespace {

// The fewest bytes a Part and a message can take: two empty texts, the 32-bit fields and the
// four key and channel bytes; five 32-bit fields.
constexpr std::size_t kMinPartBytes = 1 + 1 + 4 + 4 + 4;
constexpr std::size_t kMinMessageBytes = 5 * 4;
// No arrangement comes anywhere near this; anything larger is not one (or is /dev/zero).
constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

class CorruptFile : public std::runtime_error {
  public:
    CorruptFile(const std::string& what, std::size_t offset)
        : std::runtime_error(what), offset_(offset) {}
    std::size_t offset() const { return offset_; }

  private:
    std::size_t offset_;
};

void writeText(ArchiveWriter& out, std::string_view utf8) {
    if (auto cp932 = utf8ToCp932(utf8)) {
        out.writeString(*cp932);
    } else {
        out.writeWideString(utf8ToUtf16(utf8));
    }
}

std::string readText(ArchiveReader& in) {
    ArchiveText text = in.readString();
    if (text.wide)
        return utf16ToUtf8(text.units);
    // Files from other systems may carry bytes that are not CP932; a name is not worth refusing
    // the whole file over, so such bytes become U+FFFD.
    if (auto utf8 = cp932ToUtf8(text.narrow))
        return *std::move(utf8);
    return cp932ToUtf8Lossy(text.narrow);
}

void checkCount(std::int64_t count, std::size_t minBytesEach, const ArchiveReader& in,
                const std::string& what, std::size_t offset) {
    if (count > 0 && static_cast<std::uint64_t>(count) > in.remaining() / minBytesEach) {
        throw CorruptFile(what + " " + std::to_string(count) + " cannot fit in the " +
                              std::to_string(in.remaining()) + " bytes left",
                          offset);
    }
}

std::string systemReason(int error) {
    return std::system_category().message(error);
}

FileError osError(FileErrorKind kind, int error) {
    return FileError{kind, systemReason(error)};
}

}  // namespace

std::string missingDeviceText(std::string_view name) {
    std::string text(name);
    text += "\nが見つかりませんでした。";
    return text;
}

std::vector<std::uint8_t> encodeArrangement(const StoredArrangement& a) {
    ArchiveWriter out;
    out.writeInt32(static_cast<std::int32_t>(a.parts.size()));
    out.writeInt32(a.highestKey);
    out.writeInt32(a.lowestKey);
    out.writeInt32(a.nextPartNumber);
    writeText(out, a.inputDeviceName);
    for (const StoredPart& sp : a.parts) {
        const Part& p = sp.part;
        writeText(out, p.name);
        writeText(out, sp.outputDeviceName);
        out.writeInt32(p.noteShift);
        out.writeByte(p.channel);
        out.writeByte(p.reserved);
        out.writeByte(p.lowKey);
        out.writeByte(p.highKey);
        out.writeInt32(sp.messages.count());
        for (const InitialMessage& m : sp.messages.messages()) {
            out.writeInt32(m.type);
            out.writeInt32(m.status);
            out.writeInt32(m.data1);
            out.writeInt32(m.data2);
            // The length always tells the truth about the bytes that follow, whatever the
            // message's length field says.
            const auto length = m.sysexData.empty() ? std::min<std::int32_t>(m.sysexLength, 0)
                                                    : static_cast<std::int32_t>(m.sysexData.size());
            out.writeInt32(length);
            out.writeBytes(m.sysexData);
        }
    }
    out.writeInt32(a.targetPart);
    writeText(out, a.targetDeviceName);
    out.writeByte(a.targetChannel);
    return out.take();
}

ArrangementReadResult decodeArrangement(std::span<const std::uint8_t> bytes) {
    ArchiveReader in(bytes);
    StoredArrangement a;
    try {
        const std::size_t countAt = in.offset();
        const std::int32_t partCount = in.readInt32();
        if (partCount < 1) {
            throw CorruptFile("part count " + std::to_string(partCount) +
                                  ": an arrangement has at least one part",
                              countAt);
        }
        a.highestKey = in.readInt32();
        a.lowestKey = in.readInt32();
        a.nextPartNumber = in.readInt32();
        a.inputDeviceName = readText(in);
        checkCount(partCount, kMinPartBytes, in, "part count", countAt);
        a.parts.reserve(static_cast<std::size_t>(partCount));
        for (std::int32_t i = 0; i < partCount; ++i) {
            StoredPart sp;
            Part& p = sp.part;
            p.name = readText(in);
            sp.outputDeviceName = readText(in);
            p.noteShift = in.readInt32();
            p.channel = in.readByte();
            p.reserved = in.readByte();
            p.lowKey = in.readByte();
            p.highKey = in.readByte();
            const std::size_t messagesAt = in.offset();
            const std::int32_t messageCount = in.readInt32();
            checkCount(messageCount, kMinMessageBytes, in,
                       "part " + std::to_string(i) + ": message count", messagesAt);
            for (std::int32_t k = 0; k < messageCount; ++k) {
                InitialMessage m;
                m.type = in.readInt32();
                m.status = in.readInt32();
                m.data1 = in.readInt32();
                m.data2 = in.readInt32();
                const std::size_t lengthAt = in.offset();
                m.sysexLength = in.readInt32();
                if (m.sysexLength > 0) {
                    if (static_cast<std::size_t>(m.sysexLength) > in.remaining()) {
                        throw CorruptFile("part " + std::to_string(i) + ", message " +
                                              std::to_string(k) + ": exclusive length " +
                                              std::to_string(m.sysexLength) + " exceeds the " +
                                              std::to_string(in.remaining()) + " bytes left",
                                          lengthAt);
                    }
                    const auto data = in.readBytes(static_cast<std::size_t>(m.sysexLength));
                    m.sysexData.assign(data.begin(), data.end());
                }
                sp.messages.append(std::move(m));
            }
            a.parts.push_back(std::move(sp));
        }
        a.targetPart = in.readInt32();
        a.targetDeviceName = readText(in);
        a.targetChannel = in.readByte();
        if (in.remaining() > 0) {
            throw CorruptFile(std::to_string(in.remaining()) +
                                  " unexpected bytes after the end of the arrangement",
                              in.offset());
        }
    } catch (const ArchiveError& e) {
        return {std::nullopt, FileError{FileErrorKind::Corrupt,
                                        "at byte " + std::to_string(e.offset()) + ": " + e.what()}};
    } catch (const CorruptFile& e) {
        return {std::nullopt, FileError{FileErrorKind::Corrupt,
                                        "at byte " + std::to_string(e.offset()) + ": " + e.what()}};
    }
    return {std::move(a), {}};
}

StoredArrangement storedArrangementOf(const PartList& parts) {
    const MidiDeviceSet& devices = parts.devices();
    StoredArrangement a;
    a.highestKey = parts.highestKey();
    a.lowestKey = parts.lowestKey();
    a.nextPartNumber = parts.nextPartNumber();
    a.inputDeviceName = devices.inputDevice() == NO_INPUT
                            ? std::string(kNoInputDeviceName)
                            : devices.deviceName(false, devices.inputDevice());
    for (int i = 0; i < parts.partCount(); ++i) {
        StoredPart sp;
        sp.part = parts.partAt(i);
        sp.outputDeviceName = devices.deviceName(true, sp.part.outputDevice);
        sp.messages = parts.messageListAt(i);
        a.parts.push_back(std::move(sp));
    }
    a.targetPart = parts.targetPart();
    a.targetDeviceName = devices.deviceName(true, parts.targetDevice());
    a.targetChannel = parts.targetChannel();
    return a;
}

ArrangementContent resolveDevices(const StoredArrangement& stored, MidiDeviceSet& devices,
                                  MessageBoxes& boxes) {
    enum class Missing { ReportAndKeep, Keep, UseDeviceZero, ReportAndUseDeviceZero };
    const auto resolve = [&](const std::string& name, bool isOutput, Missing missing) {
        const int index = isOutput ? devices.findOutputByName(name) : devices.findInputByName(name);
        if (index >= 0 && devices.isPresent(isOutput, index))
            return index;
        // A name met again is reported again: one box per occurrence.
        if (missing == Missing::ReportAndKeep || missing == Missing::ReportAndUseDeviceZero)
            boxes.show(missingDeviceText(name), kDeviceOpenErrorCaption, MessageButtons::Ok,
                       MessageIcon::None);
        if (missing == Missing::UseDeviceZero || missing == Missing::ReportAndUseDeviceZero)
            return 0;
        return index >= 0 ? index
                          : (isOutput ? devices.addAbsentOutput(name) : devices.addAbsentInput(name));
    };

    ArrangementContent c;
    c.highestKey = stored.highestKey;
    c.lowestKey = stored.lowestKey;
    c.nextPartNumber = stored.nextPartNumber;
    c.inputDevice =
        resolve(stored.inputDeviceName, false,
                stored.inputDeviceName == kNoInputDeviceName ? Missing::ReportAndUseDeviceZero
                                                             : Missing::ReportAndKeep);
    for (const StoredPart& sp : stored.parts) {
        Part p = sp.part;
        p.outputDevice = resolve(sp.outputDeviceName, true, Missing::ReportAndKeep);
        c.parts.push_back(std::move(p));
        c.messageLists.push_back(sp.messages);
    }
    c.targetPart = stored.targetPart;
    c.targetDevice = resolve(stored.targetDeviceName, true,
                             stored.targetPart >= 0 ? Missing::Keep : Missing::UseDeviceZero);
    c.targetChannel = stored.targetChannel;
    return c;
}

ArrangementReadResult readArrangementFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {std::nullopt, osError(FileErrorKind::CannotOpen, errno)};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {std::nullopt, osError(FileErrorKind::CannotRead, errno)};
    if (S_ISDIR(st.st_mode))
        return {std::nullopt, osError(FileErrorKind::CannotOpen, EISDIR)};

    std::vector<std::uint8_t> bytes;
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > kMaxFileBytes) {
                return {std::nullopt, FileError{FileErrorKind::Corrupt,
                                                "larger than any arrangement (over " +
                                                    std::to_string(kMaxFileBytes >> 20) + " MiB)"}};
            }
            bytes.resize(std::min(std::max<std::size_t>(used * 2, 4096), kMaxFileBytes + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {std::nullopt, osError(FileErrorKind::CannotRead, errno)};
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return decodeArrangement(bytes);
}

std::optional<FileError> writeArrangementFile(const std::string& path,
                                              const StoredArrangement& arrangement) {
    const std::vector<std::uint8_t> bytes = encodeArrangement(arrangement);

    // Replace what a symbolic link points at, not the link.
    std::filesystem::path target(path);
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, ec))) {
        const auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec)
            target = resolved;
    }

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode))
        return osError(FileErrorKind::CannotWrite, EISDIR);

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target.string() + ".tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter++);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return osError(FileErrorKind::CannotWrite, errno);

    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temp.c_str());
        return osError(FileErrorKind::CannotWrite, error);
    };

    // The new file takes the old one's permissions (the owner may differ; that cannot be kept).
    if (replacing)
        (void)::fchmod(fd, old.st_mode & 07777);

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return osError(FileErrorKind::CannotWrite, error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return osError(FileErrorKind::CannotWrite, error);
    }
    // Make the rename itself durable; a failure here leaves a complete file either way.
    const std::string dir =
        target.has_parent_path() ? target.parent_path().string() : std::string(".");
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return std::nullopt;
}

std::optional<FileError> loadArrangement(const std::string& path, PartList& parts,
                                         MessageBoxes& boxes) {
    ArrangementReadResult read = readArrangementFile(path);
    if (!read.ok())
        return read.error;
    MidiDeviceSet& devices = parts.devices();
    devices.initialize(devices.owner());
    parts.adopt(resolveDevices(*read.arrangement, devices, boxes));
    return std::nullopt;
}

std::optional<FileError> saveArrangement(const std::string& path, const PartList& parts) {
    return writeArrangementFile(path, storedArrangementOf(parts));
}

}  // namespace tarvelo
