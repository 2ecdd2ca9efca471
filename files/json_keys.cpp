#include "files/json_keys.h"

#include <set>

namespace torv {

namespace {

// As deep as the document parser goes; a set is three levels deep.
constexpr std::size_t kMaxDepth = 1024;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigit(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    JsonMembers run()
    {
        JsonPath top;
        std::string number;
        skipBlanks();
        if (value(top, number, 0)) {
            skipBlanks();
            if (pos_ != text_.size())
                fail();
        }
        return std::move(result_);
    }

private:
    bool fail()
    {
        if (result_.ok) {
            result_.ok = false;
            result_.errorOffset = pos_;
        }
        return false;
    }

    bool at(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
    bool take(char c)
    {
        if (!at(c))
            return false;
        ++pos_;
        return true;
    }

    void skipBlanks()
    {
        while (at(' ') || at('\t') || at('\n') || at('\r'))
            ++pos_;
    }

    // The value at pos_; `number` gets its text when it is a number.
    bool value(JsonPath& path, std::string& number, std::size_t depth)
    {
        if (pos_ >= text_.size())
            return fail();
        const char c = text_[pos_];
        if (c == '{')
            return depth < kMaxDepth ? object(path, depth + 1) : fail();
        if (c == '[')
            return depth < kMaxDepth ? array(path, depth + 1) : fail();
        if (c == '"') {
            std::string ignored;
            return string(ignored);
        }
        if (c == '-' || c == '.' || isDigit(c))
            return numberText(number);
        for (const std::string_view word : {"true", "false", "null"})
            if (text_.substr(pos_).starts_with(word)) {
                pos_ += word.size();
                return true;
            }
        return fail();
    }

    bool object(JsonPath& path, std::size_t depth)
    {
        ++pos_;
        skipBlanks();
        if (take('}'))
            return true;
        std::set<std::string> names;
        do {
            skipBlanks();
            std::string name;
            if (!at('"') || !string(name))
                return fail();
            skipBlanks();
            if (!take(':'))
                return fail();
            skipBlanks();
            const bool repeated = !names.insert(name).second;
            const std::size_t member = result_.members.size();
            result_.members.push_back({path, name, {}, repeated});
            path.push_back(JsonStep{std::move(name)});
            std::string number;
            const bool read = value(path, number, depth);
            path.pop_back();
            if (!read)
                return false;
            result_.members[member].number = std::move(number);
            skipBlanks();
        } while (take(','));
        return take('}') || fail();
    }

    bool array(JsonPath& path, std::size_t depth)
    {
        ++pos_;
        skipBlanks();
        if (take(']'))
            return true;
        std::size_t index = 0;
        do {
            skipBlanks();
            std::string number;
            path.push_back(JsonStep{{}, index++, true});
            const bool read = value(path, number, depth);
            path.pop_back();
            if (!read)
                return false;
            skipBlanks();
        } while (take(','));
        return take(']') || fail();
    }

    // Four hex digits after "\u".
    bool codeUnit(unsigned& unit)
    {
        unit = 0;
        for (int i = 0; i < 4; ++i, ++pos_) {
            const int d = pos_ < text_.size() ? hexDigit(text_[pos_]) : -1;
            if (d < 0)
                return fail();
            unit = unit * 16 + static_cast<unsigned>(d);
        }
        return true;
    }

    bool string(std::string& out)
    {
        ++pos_;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size())
                break;
            const char e = text_[pos_++];
            if (e != 'u') {
                const std::string_view from = "bfnrt", to = "\b\f\n\r\t";
                const std::size_t k = from.find(e);
                out += k == std::string_view::npos ? e : to[k];
                continue;
            }
            unsigned unit = 0;
            if (!codeUnit(unit))
                return false;
            unsigned code = unit;
            if (unit >= 0xD800 && unit <= 0xDBFF && text_.substr(pos_).starts_with("\\u")) {
                const std::size_t back = pos_;
                pos_ += 2;
                unsigned low = 0;
                if (!codeUnit(low))
                    return false;
                if (low >= 0xDC00 && low <= 0xDFFF)
                    code = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                else
                    pos_ = back;
            }
            // A surrogate left alone is no character; it reads as the replacement one.
            appendUtf8(out, code >= 0xD800 && code <= 0xDFFF ? 0xFFFD : code);
        }
        return fail();
    }

    bool numberText(std::string& out)
    {
        const std::size_t start = pos_;
        take('-');
        std::size_t digits = 0;
        for (; pos_ < text_.size() && isDigit(text_[pos_]); ++pos_)
            ++digits;
        if (take('.'))
            for (; pos_ < text_.size() && isDigit(text_[pos_]); ++pos_)
                ++digits;
        if (digits == 0)
            return fail();
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (pos_ >= text_.size() || !isDigit(text_[pos_]))
                return fail();
            while (pos_ < text_.size() && isDigit(text_[pos_]))
                ++pos_;
        }
        out = std::string(text_.substr(start, pos_ - start));
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    JsonMembers result_;
};

} // namespace

JsonMembers ScanJsonMembers(std::string_view text) { return Scanner(text).run(); }

} // namespace torv
