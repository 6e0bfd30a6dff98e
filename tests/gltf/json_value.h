// A strict JSON reader for the tests and the fuzz target: RFC 8259 text
// (strings of valid UTF-8 with well-formed escapes, no trailing commas, no
// bytes after the value) read into a tree.  Header-only, so that the fuzz
// target shares it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gltfcheck {

struct JsonValue {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    double number = 0;
    std::string text;              // String
    std::vector<JsonValue> items;  // Array
    std::vector<std::string> keys; // Object: its members' names, in order
    std::vector<JsonValue> values; // Object: their values

    // The member `key` of an object, or null.
    const JsonValue *get(const std::string &key) const;
};

inline const JsonValue *JsonValue::get(const std::string &key) const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key)
            return &values[i];
    return nullptr;
}

class JsonReader {
  public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    // Reads the whole text as one value; false with `error` set.
    bool read(JsonValue &value, std::string &error) {
        const bool ok = space() && parse(value, 0) && space() && at_ == text_.size();
        if (!ok)
            error = "bad JSON at byte " + std::to_string(at_);
        return ok;
    }

  private:
    std::string_view text_;
    size_t at_ = 0;

    bool space() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
        return true;
    }
    bool take(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool word(std::string_view w) {
        if (text_.substr(at_, w.size()) != w)
            return false;
        at_ += w.size();
        return true;
    }
    bool parse(JsonValue &value, int depth) {
        if (depth > 64 || at_ >= text_.size())
            return false;
        const char c = text_[at_];
        if (c == '{') {
            value.kind = JsonValue::Object;
            ++at_;
            space();
            if (take('}'))
                return true;
            do {
                space();
                std::string key;
                JsonValue member;
                if (!string(key) || !space() || !take(':') || !space() || !parse(member, depth + 1) || !space())
                    return false;
                value.keys.push_back(std::move(key));
                value.values.push_back(std::move(member));
            } while (take(','));
            return take('}');
        }
        if (c == '[') {
            value.kind = JsonValue::Array;
            ++at_;
            space();
            if (take(']'))
                return true;
            do {
                space();
                value.items.emplace_back();
                if (!parse(value.items.back(), depth + 1) || !space())
                    return false;
            } while (take(','));
            return take(']');
        }
        if (c == '"') {
            value.kind = JsonValue::String;
            return string(value.text);
        }
        if (word("true") || word("false")) {
            value.kind = JsonValue::Bool;
            value.boolean = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
            return true;
        }
        if (word("null"))
            return true;
        return number(value);
    }
    bool digits() {
        const size_t start = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9')
            ++at_;
        return at_ > start;
    }
    bool number(JsonValue &value) {
        const size_t start = at_;
        take('-');
        if (take('0')) {
        } else if (!digits()) {
            return false;
        }
        if (take('.') && !digits())
            return false;
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (!digits())
                return false;
        }
        value.kind = JsonValue::Number;
        value.number = std::strtod(std::string(text_.substr(start, at_ - start)).c_str(), nullptr);
        return true;
    }
    static void put(std::string &out, uint32_t c) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 63));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | ((c >> 6) & 63));
            out += char(0x80 | (c & 63));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | ((c >> 12) & 63));
            out += char(0x80 | ((c >> 6) & 63));
            out += char(0x80 | (c & 63));
        }
    }
    bool hex4(uint32_t &c) {
        if (at_ + 4 > text_.size())
            return false;
        c = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[at_++];
            const int v = h >= '0' && h <= '9' ? h - '0'
                : h >= 'a' && h <= 'f'         ? h - 'a' + 10
                : h >= 'A' && h <= 'F'         ? h - 'A' + 10
                                               : -1;
            if (v < 0)
                return false;
            c = c << 4 | uint32_t(v);
        }
        return true;
    }
    // One raw UTF-8 sequence, well formed.
    bool utf8(std::string &out) {
        const auto byte = [&](size_t i) { return at_ + i < text_.size() ? uint8_t(text_[at_ + i]) : uint8_t(0); };
        const uint8_t lead = byte(0);
        size_t length = 0;
        uint8_t low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        else
            return false;
        if (byte(1) < low || byte(1) > high)
            return false;
        for (size_t i = 2; i < length; ++i)
            if (byte(i) < 0x80 || byte(i) > 0xBF)
                return false;
        out.append(text_.substr(at_, length));
        at_ += length;
        return true;
    }
    bool string(std::string &out) {
        if (!take('"'))
            return false;
        while (at_ < text_.size()) {
            const uint8_t c = uint8_t(text_[at_]);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c >= 0x80) {
                if (!utf8(out))
                    return false;
                continue;
            }
            ++at_;
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (at_ >= text_.size())
                return false;
            const char e = text_[at_++];
            static const std::string_view kSimple = "\"\\/bfnrt", kMeaning = "\"\\/\b\f\n\r\t";
            if (const size_t k = kSimple.find(e); k != std::string_view::npos) {
                out += kMeaning[k];
                continue;
            }
            uint32_t u = 0;
            if (e != 'u' || !hex4(u) || (u >= 0xDC00 && u <= 0xDFFF))
                return false;
            if (u >= 0xD800 && u <= 0xDBFF) {
                uint32_t low = 0;
                if (!take('\\') || !take('u') || !hex4(low) || low < 0xDC00 || low > 0xDFFF)
                    return false;
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            }
            put(out, u);
        }
        return false;
    }
};

} // namespace gltfcheck
