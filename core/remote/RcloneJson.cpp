#include "core/remote/RcloneJson.h"

#include <charconv>
#include <cstdlib>

namespace mzb {
namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::optional<JsonValue> Document() {
        JsonValue value;
        if (!Value(value, 0)) {
            return std::nullopt;
        }
        Space();
        if (pos_ != text_.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    // Deeper than anything rclone writes; bounds the recursion.
    static constexpr int kMaxDepth = 32;

    void Space() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                       text_[pos_] == '\r' || text_[pos_] == '\t')) {
            ++pos_;
        }
    }
    bool Take(char c) {
        Space();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) {
            return false;
        }
        pos_ += word.size();
        return true;
    }

    bool Value(JsonValue& out, int depth) {
        if (depth > kMaxDepth) {
            return false;
        }
        Space();
        if (pos_ >= text_.size()) {
            return false;
        }
        switch (text_[pos_]) {
        case '{':
            out.Type = JsonValue::Kind::Object;
            return Object(out, depth);
        case '[':
            out.Type = JsonValue::Kind::Array;
            return Array(out, depth);
        case '"':
            out.Type = JsonValue::Kind::String;
            return String(out.Text);
        case 't':
            out.Type = JsonValue::Kind::Bool;
            out.Bool = true;
            return Word("true");
        case 'f':
            out.Type = JsonValue::Kind::Bool;
            return Word("false");
        case 'n':
            return Word("null");
        default:
            return Number(out);
        }
    }

    bool Object(JsonValue& out, int depth) {
        ++pos_;
        if (Take('}')) {
            return true;
        }
        do {
            std::string name;
            Space();
            if (!String(name) || !Take(':')) {
                return false;
            }
            if (!Value(out.Members[name], depth + 1)) {
                return false;
            }
        } while (Take(','));
        return Take('}');
    }

    bool Array(JsonValue& out, int depth) {
        ++pos_;
        if (Take(']')) {
            return true;
        }
        do {
            out.Items.emplace_back();
            if (!Value(out.Items.back(), depth + 1)) {
                return false;
            }
        } while (Take(','));
        return Take(']');
    }

    bool Number(JsonValue& out) {
        const std::size_t start = pos_;
        while (pos_ < text_.size() &&
               std::string_view("+-0123456789.eE").find(text_[pos_]) != std::string_view::npos) {
            ++pos_;
        }
        if (pos_ == start) {
            return false;
        }
        out.Type = JsonValue::Kind::Number;
        out.Text = std::string(text_.substr(start, pos_ - start));
        char* end = nullptr;
        out.Number = std::strtod(out.Text.c_str(), &end);
        return end == out.Text.c_str() + out.Text.size();
    }

    bool Hex4(unsigned& code) {
        if (pos_ + 4 > text_.size()) {
            return false;
        }
        const auto [end, ec] =
            std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, code, 16);
        pos_ += 4;
        return ec == std::errc() && end == text_.data() + pos_;
    }

    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    bool String(std::string& out) {
        if (pos_ >= text_.size() || text_[pos_] != '"') {
            return false;
        }
        ++pos_;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                return false;
            }
            const char e = text_[pos_++];
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                unsigned code = 0;
                if (!Hex4(code)) {
                    return false;
                }
                // A high surrogate joins the low one after it.
                if (code >= 0xD800 && code < 0xDC00 && Word("\\u")) {
                    unsigned low = 0;
                    if (!Hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                        return false;
                    }
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                AppendUtf8(out, code);
                break;
            }
            default: // '"', '\\', '/'
                out += e;
                break;
            }
        }
        return false;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

const JsonValue* JsonValue::Find(const std::string& name) const {
    const auto it = Members.find(name);
    return it == Members.end() ? nullptr : &it->second;
}

std::string JsonValue::TextOf(const std::string& name) const {
    const JsonValue* v = Find(name);
    return v != nullptr && v->Type == Kind::String ? v->Text : std::string();
}

std::optional<std::uint64_t> JsonValue::CountOf(const std::string& name) const {
    const JsonValue* v = Find(name);
    if (v == nullptr || v->Type != Kind::Number) {
        return std::nullopt;
    }
    std::uint64_t n = 0;
    const auto [end, ec] = std::from_chars(v->Text.data(), v->Text.data() + v->Text.size(), n);
    if (ec != std::errc() || end != v->Text.data() + v->Text.size()) {
        return std::nullopt;
    }
    return n;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
    return Parser(text).Document();
}

} // namespace mzb
