#include "toolkit/LayoutReader.h"

#include <cctype>
#include <climits>

namespace toolkit {
namespace {

std::string Where(const std::string& source, int line) { return source + ", line " + std::to_string(line); }

[[noreturn]] void Fail(const std::string& source, int line, const std::string& problem) {
    throw ELayoutError("Layout " + Where(source, line) + ": " + problem);
}

bool IsIdentifierStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A cursor over one line of the layout.
class LineScanner {
public:
    LineScanner(std::string_view text, const std::string& source, int line)
        : text_(text), source_(&source), line_(line) {}

    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }
    bool AtEnd() {
        SkipBlanks();
        return pos_ >= text_.size() || text_[pos_] == '#';
    }
    char Peek() {
        SkipBlanks();
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    void Expect(char c) {
        if (Peek() != c) Fail(*source_, line_, std::string("expected '") + c + "'" + Found());
        ++pos_;
    }
    std::string Identifier(const char* what) {
        SkipBlanks();
        if (pos_ >= text_.size() || !IsIdentifierStart(text_[pos_]))
            Fail(*source_, line_, std::string("expected ") + what + Found());
        std::size_t start = pos_;
        while (pos_ < text_.size() && IsIdentifierChar(text_[pos_])) ++pos_;
        return std::string(text_.substr(start, pos_ - start));
    }
    int Number() {
        SkipBlanks();
        bool negative = false;
        if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) negative = text_[pos_++] == '-';
        if (pos_ >= text_.size() || !std::isdigit(static_cast<unsigned char>(text_[pos_])))
            Fail(*source_, line_, "expected a number" + Found());
        long long value = 0;
        while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
            value = value * 10 + (text_[pos_++] - '0');
            if (value > INT_MAX) Fail(*source_, line_, "number out of range");
        }
        if (pos_ < text_.size() && IsIdentifierChar(text_[pos_])) Fail(*source_, line_, "malformed number");
        return static_cast<int>(negative ? -value : value);
    }
    // A "..." literal, UTF-8 inside, with its escapes resolved.
    std::string Quoted() {
        Expect('"');
        std::string result;
        for (;;) {
            if (pos_ >= text_.size()) Fail(*source_, line_, "unterminated text");
            char c = text_[pos_++];
            if (c == '"') return result;
            if (c != '\\') {
                result.push_back(c);
                continue;
            }
            if (pos_ >= text_.size()) Fail(*source_, line_, "unterminated text");
            char e = text_[pos_++];
            switch (e) {
                case '"': result.push_back('"'); break;
                case '\\': result.push_back('\\'); break;
                case 'n': result.push_back('\n'); break;
                case 'r': result.push_back('\r'); break;
                case 't': result.push_back('\t'); break;
                default: Fail(*source_, line_, std::string("unknown escape \\") + e);
            }
        }
    }
    std::uint32_t Color() {
        Expect('#');
        std::uint32_t rgb = 0;
        for (int i = 0; i < 6; ++i) {
            int digit = pos_ < text_.size() ? HexDigit(text_[pos_]) : -1;
            if (digit < 0) Fail(*source_, line_, "a colour is written #RRGGBB");
            rgb = rgb * 16 + static_cast<std::uint32_t>(digit);
            ++pos_;
        }
        if (pos_ < text_.size() && IsIdentifierChar(text_[pos_])) Fail(*source_, line_, "a colour is written #RRGGBB");
        // COLORREF keeps red in the low byte.
        return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    }
    void ExpectEnd() {
        if (!AtEnd()) Fail(*source_, line_, "unexpected text" + Found());
    }

private:
    std::string Found() {
        SkipBlanks();
        if (pos_ >= text_.size()) return " at the end of the line";
        return " at \"" + std::string(text_.substr(pos_, 12)) + "\"";
    }

    std::string_view text_;
    const std::string* source_;
    int line_;
    std::size_t pos_ = 0;
};

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

class Parser {
public:
    Parser(std::string_view text, const std::string& source) : lines_(SplitLines(text)), source_(source) {
        if (text.substr(0, 3) == "\xEF\xBB\xBF") lines_[0].remove_prefix(3);
    }

    LayoutNode Parse() {
        SkipEmptyLines();
        if (index_ >= lines_.size()) Fail(source_, 1, "the layout is empty");
        LayoutNode root = Object();
        SkipEmptyLines();
        if (index_ < lines_.size()) Fail(source_, LineNumber(), "text after the final \"end\"");
        return root;
    }

private:
    int LineNumber() const { return static_cast<int>(index_) + 1; }

    void SkipEmptyLines() {
        while (index_ < lines_.size() && Scanner().AtEnd()) ++index_;
    }
    LineScanner Scanner() const { return LineScanner(lines_[index_], source_, LineNumber()); }

    LayoutNode Object() {
        LineScanner line = Scanner();
        LayoutNode node;
        node.where = Where(source_, LineNumber());
        if (line.Identifier("\"object\"") != "object") Fail(source_, LineNumber(), "expected \"object\"");
        node.name = line.Identifier("an object name");
        line.Expect(':');
        node.kind = line.Identifier("an object kind");
        line.ExpectEnd();
        int opened = LineNumber();
        ++index_;
        for (;;) {
            SkipEmptyLines();
            if (index_ >= lines_.size())
                Fail(source_, opened, "object " + node.name + " has no \"end\"");
            LineScanner next = Scanner();
            std::string word = next.Identifier("a property, \"object\" or \"end\"");
            if (word == "end") {
                next.ExpectEnd();
                ++index_;
                return node;
            }
            if (word == "object") {
                node.children.push_back(Object());
                continue;
            }
            node.properties.push_back(Property());
        }
    }

    LayoutProperty Property() {
        LineScanner line = Scanner();
        LayoutProperty property;
        property.where = Where(source_, LineNumber());
        property.name = line.Identifier("a property name");
        line.Expect('=');
        char first = line.Peek();
        LayoutValue& value = property.value;
        if (first == '"') {
            value.kind = LayoutValue::Kind::Text;
            value.text = os::FromUtf8(TextContinued(line));
            return property;
        }
        if (first == '#') {
            value.kind = LayoutValue::Kind::Color;
            value.color = line.Color();
        } else if (first == '[') {
            value.kind = LayoutValue::Kind::Set;
            line.Expect('[');
            if (line.Peek() != ']') {
                value.items.push_back(line.Identifier("a set member"));
                while (line.Peek() == ',') {
                    line.Expect(',');
                    value.items.push_back(line.Identifier("a set member"));
                }
            }
            line.Expect(']');
        } else if (first == '-' || first == '+' || std::isdigit(static_cast<unsigned char>(first))) {
            value.kind = LayoutValue::Kind::Numbers;
            while (!line.AtEnd()) value.numbers.push_back(line.Number());
        } else if (IsIdentifierStart(first)) {
            value.kind = LayoutValue::Kind::Identifier;
            value.identifier = line.Identifier("a value");
        } else {
            Fail(source_, LineNumber(), "expected a value after \"=\"");
        }
        line.ExpectEnd();
        ++index_;
        return property;
    }

    // One or more "..." literals; a "+" at the end of a line continues on the next.
    std::string TextContinued(LineScanner& line) {
        std::string text = line.Quoted();
        for (;;) {
            if (line.Peek() == '+') {
                line.Expect('+');
                if (line.AtEnd()) {
                    ++index_;
                    if (index_ >= lines_.size()) Fail(source_, LineNumber() - 1, "text continues after the last line");
                    line = Scanner();
                }
                text += line.Quoted();
                continue;
            }
            line.ExpectEnd();
            ++index_;
            return text;
        }
    }

    std::vector<std::string_view> lines_;
    const std::string& source_;
    std::size_t index_ = 0;
};

}  // namespace

void LayoutProperty::Fail(const std::string& problem) const {
    throw ELayoutError("Layout " + where + ": " + name + ": " + problem);
}

int LayoutProperty::Int() const {
    if (value.kind != LayoutValue::Kind::Numbers || value.numbers.size() != 1) Fail("expected one number");
    return value.numbers[0];
}

std::vector<int> LayoutProperty::Ints(std::size_t count) const {
    if (value.kind != LayoutValue::Kind::Numbers || value.numbers.size() != count)
        Fail("expected " + std::to_string(count) + " numbers");
    return value.numbers;
}

const os::WString& LayoutProperty::Text() const {
    if (value.kind != LayoutValue::Kind::Text) Fail("expected a \"text\"");
    return value.text;
}

bool LayoutProperty::Bool() const {
    if (value.kind == LayoutValue::Kind::Identifier) {
        if (value.identifier == "true") return true;
        if (value.identifier == "false") return false;
    }
    Fail("expected true or false");
}

const std::string& LayoutProperty::Identifier() const {
    if (value.kind != LayoutValue::Kind::Identifier) Fail("expected a name");
    return value.identifier;
}

const std::vector<std::string>& LayoutProperty::Set() const {
    if (value.kind != LayoutValue::Kind::Set) Fail("expected a [set]");
    return value.items;
}

const LayoutProperty* LayoutNode::Find(std::string_view propertyName) const {
    for (auto it = properties.rbegin(); it != properties.rend(); ++it)
        if (os::EqualsIgnoringCase(it->name, propertyName)) return &*it;
    return nullptr;
}

LayoutNode ReadLayout(std::string_view text, const std::string& source) { return Parser(text, source).Parse(); }

bool IsLengthProperty(std::string_view name) {
    for (const char* length : {"Bounds", "Left", "Top", "Width", "Height", "Margins", "ClientSize", "ClientWidth",
                               "ClientHeight", "BorderWidth", "InterlineSpacing"})
        if (os::EqualsIgnoringCase(name, length)) return true;
    return false;
}

}  // namespace toolkit
