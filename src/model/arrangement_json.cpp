#include "model/arrangement_json.h"

#include <cstdio>

#include "reference/cp932.h"

namespace tarvelo {

namespace {

std::string quoted(std::string_view text) {
    // Texts are UTF-8 already; a stray byte is replaced so the output stays valid JSON.
    const std::string utf8 = sanitizeUtf8(text);
    std::string out = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04X", byte);
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

class JsonObject {
  public:
    JsonObject(std::string& out, int indent) : out_(out), indent_(indent) { out_ += "{"; }
    void field(std::string_view name, std::string_view rawValue) {
        out_ += first_ ? "\n" : ",\n";
        first_ = false;
        out_.append(static_cast<std::size_t>(indent_ + 2), ' ');
        out_ += quoted(name);
        out_ += ": ";
        out_ += rawValue;
    }
    void field(std::string_view name, long long value) { field(name, std::to_string(value)); }
    void close() {
        out_ += "\n";
        out_.append(static_cast<std::size_t>(indent_), ' ');
        out_ += "}";
    }

  private:
    std::string& out_;
    int indent_;
    bool first_ = true;
};

std::string messageJson(const InitialMessage& m, int indent) {
    std::string out;
    JsonObject o(out, indent);
    o.field("type", m.type);
    o.field("status", m.status);
    o.field("data1", m.data1);
    o.field("data2", m.data2);
    o.field("sysexLength", m.sysexLength);
    o.field("sysexData", quoted(hexBytes(m.sysexData)));
    o.close();
    return out;
}

std::string partJson(const StoredPart& sp, int indent) {
    const Part& p = sp.part;
    std::string out;
    JsonObject o(out, indent);
    o.field("name", quoted(p.name));
    o.field("outputDevice", quoted(sp.outputDeviceName));
    o.field("noteShift", p.noteShift);
    o.field("channel", p.channel);
    o.field("reserved", p.reserved);
    o.field("lowKey", p.lowKey);
    o.field("highKey", p.highKey);
    std::string messages = "[";
    const auto& list = sp.messages.messages();
    for (std::size_t i = 0; i < list.size(); ++i) {
        messages += i == 0 ? "\n" : ",\n";
        messages.append(static_cast<std::size_t>(indent + 4), ' ');
        messages += messageJson(list[i], indent + 4);
    }
    if (!list.empty()) {
        messages += "\n";
        messages.append(static_cast<std::size_t>(indent + 2), ' ');
    }
    messages += "]";
    o.field("messages", messages);
    o.close();
    return out;
}

}  // namespace

std::string arrangementToJson(const StoredArrangement& a) {
    std::string out;
    JsonObject root(out, 0);
    root.field("partCount", static_cast<long long>(a.parts.size()));
    root.field("highestKey", a.highestKey);
    root.field("lowestKey", a.lowestKey);
    root.field("nextPartNumber", a.nextPartNumber);
    root.field("inputDevice", quoted(a.inputDeviceName));
    std::string parts = "[";
    for (std::size_t i = 0; i < a.parts.size(); ++i) {
        parts += i == 0 ? "\n    " : ",\n    ";
        parts += partJson(a.parts[i], 4);
    }
    parts += "\n  ]";
    root.field("parts", parts);
    std::string target;
    JsonObject t(target, 2);
    t.field("part", a.targetPart);
    t.field("device", quoted(a.targetDeviceName));
    t.field("channel", a.targetChannel);
    t.close();
    root.field("target", target);
    root.close();
    out += "\n";
    return out;
}

}  // namespace tarvelo
