#include "model/arrangement_codec.h"

#include <algorithm>

#include "model/archive.h"
#include "reference/cp932.h"

namespace tarvelo {

namespace {

// The fewest bytes a Part and a message can take: two empty texts, the 32-bit fields and the
// four key and channel bytes; five 32-bit fields.
constexpr std::size_t kMinPartBytes = 1 + 1 + 4 + 4 + 4;
constexpr std::size_t kMinMessageBytes = 5 * 4;

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

}  // namespace

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

}  // namespace tarvelo
