#pragma once
// Window layouts are text resources. A layout is a tree of objects:
//
//   # comment
//   object dlgOptions: form
//     Caption = "{APPNAME} Options"
//     ClientSize = 507 282
//     Font.Style = [bold]
//     Color = #FFFFDD
//     object btnOk: button
//       Bounds = 200 248 89 25
//       Caption = "OK" +
//                 " more"          (a line ending in + continues the text)
//     end
//   end
//
// Values: integers (one or more, blank-separated), "strings" with the escapes
// \" \\ \n \r \t, #RRGGBB colours, identifiers and [sets, of, identifiers].
// The reader checks syntax only; which kinds and properties exist is the
// toolkit's business. Every error names the layout and the line.

#include "engine/Exception.h"
#include "os/Text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

class ELayoutError : public engine::Exception {
public:
    using engine::Exception::Exception;
};

struct LayoutValue {
    enum class Kind { Numbers, Text, Color, Identifier, Set };
    Kind kind = Kind::Numbers;
    std::vector<int> numbers;
    os::WString text;
    std::uint32_t color = 0;  // 0x00BBGGRR, as COLORREF
    std::string identifier;
    std::vector<std::string> items;
};

struct LayoutProperty {
    std::string name;
    LayoutValue value;
    std::string where;  // "<layout>, line <n>", for error messages

    // Typed reads; a value of another shape raises ELayoutError naming `where`.
    int Int() const;
    std::vector<int> Ints(std::size_t count) const;
    const os::WString& Text() const;
    bool Bool() const;
    const std::string& Identifier() const;
    const std::vector<std::string>& Set() const;
    [[noreturn]] void Fail(const std::string& problem) const;
};

struct LayoutNode {
    std::string name;
    std::string kind;
    std::string where;
    std::vector<LayoutProperty> properties;
    std::vector<LayoutNode> children;

    // The last property of that name (case-insensitive), or null.
    const LayoutProperty* Find(std::string_view propertyName) const;
};

// Parses one layout; `source` names it in error messages.
LayoutNode ReadLayout(std::string_view text, const std::string& source);

// The properties whose numbers are lengths at 96 dpi that a window scales to
// its resolution (positions, sizes, margins, spacing; not font heights, which
// fonts scale themselves). They are applied again when the resolution changes.
bool IsLengthProperty(std::string_view name);

}  // namespace toolkit
